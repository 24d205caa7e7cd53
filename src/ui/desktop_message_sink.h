#pragma once
// The link's messages ("Lost Connect!", "Connect Fail!", "Please check COM
// Port is correct?") come from inside link transactions. A modal box there
// would run the next tick inside the waiting one, so they are queued and
// shown once the transaction has ended, each text at most once per
// transaction.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <string_view>

class QWidget;

#include "link/message_sink.h"

namespace kv {

class Station;

class DesktopMessageSink : public QObject, public MessageSink {
  Q_OBJECT

 public:
  explicit DesktopMessageSink(QObject* parent = nullptr);

  /// Messages wait while `station` has a transaction on the link.
  void Watch(const Station& station);
  /// Where a message goes once it may be shown; by default a box with an OK
  /// button that does not block.
  void SetShowHandler(std::function<void(const QString&)> handler);

  void ShowMessage(std::string_view text) override;

  /// Shows what is queued unless a transaction is still waiting.
  void Flush();

 signals:
  void shown(const QString& text);

 private:
  const Station* station_ = nullptr;
  QStringList pending_;
  bool flushScheduled_ = false;
  std::function<void(const QString&)> show_;
};

/// A message box with an OK button only, shown without blocking; a box of
/// the same text already open under `parent` is raised instead.
void ShowNonBlockingMessage(QWidget* parent, const QString& text);

}  // namespace kv
