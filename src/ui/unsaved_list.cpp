#include "ui/unsaved_list.h"

#include <QFileInfo>

namespace kv {

namespace {

QString ListName(const std::string& file) {
  return file.empty() ? QStringLiteral("New list")
                      : QFileInfo(QString::fromStdString(file)).fileName();
}

}  // namespace

QString ListWindowTitle(const std::string& file, bool modified, const QString& caption) {
  if (file.empty() && !modified) {
    return caption;
  }
  return ListName(file) + (modified ? QStringLiteral("*") : QString()) + QStringLiteral(" – ") +
         caption;
}

bool UnsavedListGuard::MayDrop(const std::string& file, bool modified,
                               const QString& action) const {
  if (!modified) {
    return true;
  }
  const QString where =
      file.empty()
          ? QStringLiteral("The step list has changes")
          : QStringLiteral("The step list %1 has changes").arg(QString::fromStdString(file));
  switch (ask_(QStringLiteral("%1 that were not saved. Save them before %2?").arg(where, action))) {
    case UnsavedChoice::Save:
      return save_();
    case UnsavedChoice::Discard:
      return true;
    case UnsavedChoice::Cancel:
      break;
  }
  return false;
}

}  // namespace kv
