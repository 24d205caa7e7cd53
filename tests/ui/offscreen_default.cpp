// The build lists the tests of this program by running it, where no display
// may exist and the test environment (offscreen platform) is not applied yet.
// Without a display, default to the offscreen platform before main() makes
// the application object; on a display (a showcase run) the display is used.
#include <QByteArray>
#include <QtGlobal>

namespace {

[[maybe_unused]] const bool kPlatformChosen = [] {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
  }
  return true;
}();

}  // namespace
