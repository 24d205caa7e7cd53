#pragma once
// Every box the desktop program shows goes through here, so that there is
// never more than one on screen. The link's messages ("Lost Connect!",
// "Connect Fail!", "Please check COM Port is correct?") come from inside
// link transactions, where a modal box would run the next tick inside the
// waiting one: they are queued and shown once the transaction has ended.
// Messages raised together share one box, the most urgent first (a load
// that may still be on always first, with what to do), each text once; what
// comes while the box is open joins it.

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <string_view>
#include <vector>

class QMessageBox;
class QWidget;

#include "link/message_sink.h"

namespace kv {

class Station;

/// Order of a message in the box, least urgent first.
enum class MessageUrgency {
  Info,             // "Test Finished", "Convert OK"
  Link,             // the link failed or the load stopped answering
  LinkLostLoadOff,  // what became of the load: reached again and turned off
  LoadMayBeOn,      // the load could not be turned off
};

class DesktopMessageSink : public QObject, public MessageSink {
  Q_OBJECT

 public:
  explicit DesktopMessageSink(QObject* parent = nullptr);

  /// Messages wait while `station` has a transaction on the link.
  void Watch(const Station& station);
  /// The window the box belongs to (none: a box of its own).
  void SetBoxParent(QWidget* parent);
  /// Where the box's text goes instead of the box (tests, a closing
  /// program); each call is a box of its own.
  void SetShowHandler(std::function<void(const QString&)> handler);

  /// From the link: Link urgency, shown once the transaction has ended.
  void ShowMessage(std::string_view text) override;
  /// Shows `text` from the event loop, once the link is idle.
  void Raise(const QString& text, MessageUrgency urgency);

  /// Shows what is queued unless a transaction is still waiting.
  void Flush();

 signals:
  /// The box's whole text, and its first (most urgent) message.
  void shown(const QString& text, const QString& first);

 private:
  struct Entry {
    QString text;
    MessageUrgency urgency;
  };
  /// Adds to `entries` unless its text is there; then keeps the higher urgency.
  static void Merge(std::vector<Entry>& entries, Entry entry);
  void ScheduleFlush();
  void ShowInBox(const QString& text);

  const Station* station_ = nullptr;
  std::vector<Entry> pending_;
  // What the box on screen says; empty once it is closed.
  std::vector<Entry> onScreen_;
  bool flushScheduled_ = false;
  std::function<void(const QString&)> show_;
  QPointer<QWidget> boxParent_;
  QPointer<QMessageBox> box_;
};

}  // namespace kv
