// main() for test programs of the Qt layers: an application object must exist
// before any QObject with timers or sockets is made.
#include <gmock/gmock.h>

#ifdef KV_TEST_GUI
#include <QApplication>
#include <QByteArray>
#include <QtGlobal>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
#ifdef KV_TEST_GUI
  // The build lists the tests by running the program, where no display may
  // exist and the tests' environment (offscreen) is not applied yet; on a
  // display (a showcase run) the display is used.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
  }
#endif
  TestApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
