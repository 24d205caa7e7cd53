// main() for test programs of the Qt layers: an application object must exist
// before any QObject with timers or sockets is made.
#include <gmock/gmock.h>

#ifdef KV_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  TestApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
