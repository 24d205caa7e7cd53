// kvload: the desktop program.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <memory>

#include "link/transports/event_wait.h"
#include "link/transports/link_router.h"
#include "process/standard_descriptors.h"
#include "station/bench.h"
#include "ui/desktop_message_sink.h"
#include "ui/desktop_publishing.h"
#include "ui/main_form.h"

int main(int argc, char** argv) {
  kv::OpenClosedStandardDescriptors();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kvload"));
  QApplication::setApplicationVersion(QStringLiteral("1.2"));
  QApplication::setApplicationDisplayName(QString::fromUtf8(kv::kMainFormCaption));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Runs test-step lists on a DC electronic load."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption iniOption(QStringLiteral("ini"),
                                     QStringLiteral("The settings file (default: KV26.INI)."),
                                     QStringLiteral("FILE"));
  const QCommandLineOption simOption(
      QStringLiteral("sim"),
      QStringLiteral("A simulated load inside this program instead of the configured link; "
                     "a word after it is its model text when a step file follows."));
  parser.addOption(iniOption);
  parser.addOption(simOption);
  parser.addPositionalArgument(QStringLiteral("STEPFILE"),
                               QStringLiteral("A .tsf step list to open instead of the last one."),
                               QStringLiteral("[MODEL] [STEPFILE]"));
  parser.process(app);

  kv::BenchOptions options;
  options.iniPath = parser.value(iniOption).toStdString();
  options.simulated = parser.isSet(simOption);
  QStringList positional = parser.positionalArguments();
  // "--sim demo.tsf" opens demo.tsf on the default model; "--sim MODEL demo.tsf"
  // names the model too.
  if (options.simulated && positional.size() == 2) {
    options.simModel = positional.takeFirst().toStdString();
  }
  if (positional.size() > 1) {
    std::fputs("kvload: give at most one step file\n", stderr);
    return 2;
  }

  kv::DesktopMessageSink sink;
  const std::unique_ptr<kv::Bench> bench = kv::Bench::Open(options, sink);
  kv::MainFormOptions formOptions;
  if (!positional.isEmpty()) {
    formOptions.stepFile =
        QDir::toNativeSeparators(QFileInfo(positional.first()).absoluteFilePath()).toStdString();
  }
  kv::MainForm form(*bench, sink, formOptions);
  const std::unique_ptr<kv::RunPublisher> publisher = kv::StartDesktopPublishing(*bench, sink);
  form.show();
  const int status = QApplication::exec();

  if (kv::LinkRouter* router = bench->Router()) {
    // The last line (LOAD OFF above all) must leave before the port closes.
    kv::WaitMilliseconds(100.0);
    router->CloseInstrument();
  }
  return status;
}
