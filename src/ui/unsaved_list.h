#pragma once
// What the window says about the step list it holds: its title, and the
// Save / Discard / Cancel question before Open or closing would drop changes
// that were never saved.

#include <QString>
#include <functional>
#include <string>

namespace kv {

/// "name.tsf* – <caption>" ("*" while the list has changes not saved); the
/// caption alone while no list file is named and nothing changed.
QString ListWindowTitle(const std::string& file, bool modified, const QString& caption);

enum class UnsavedChoice { Save, Discard, Cancel };

/// Asks before the list's changes are dropped.
class UnsavedListGuard {
 public:
  using Ask = std::function<UnsavedChoice(const QString& question)>;
  /// Saves the list (to its file, or where the operator chooses); true once written.
  using Save = std::function<bool()>;
  UnsavedListGuard(Ask ask, Save save) : ask_(std::move(ask)), save_(std::move(save)) {}

  /// True when the list may be dropped for `action` ("opening another list",
  /// "closing"): nothing changed, or the operator discarded the changes, or
  /// chose Save and the list was written.
  bool MayDrop(const std::string& file, bool modified, const QString& action) const;

 private:
  Ask ask_;
  Save save_;
};

}  // namespace kv
