// kvload-run: runs a step list on the load without a window.
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/terminal.h"
#include "headless/headless_console.h"
#include "headless/headless_options.h"
#include "headless/headless_runner.h"
#include "process/process_signals.h"
#include "process/standard_descriptors.h"

int main(int argc, char** argv) {
  kv::OpenClosedStandardDescriptors();
  // Before --help and --check too: their output may go to a reader that left.
  kv::IgnoreBrokenPipe();
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const kv::HeadlessParse parse = kv::ParseHeadlessArguments(args);
  if (!parse.ok) {
    std::fprintf(stderr, "kvload-run: %s\nTry 'kvload-run --help'.\n", parse.error.c_str());
    return kv::kExitUsage;
  }
  if (parse.options.help) {
    std::fputs(kv::HeadlessUsage().c_str(), stdout);
    return kv::StatusAfterStandardOutput("kvload-run", 0);
  }
  if (parse.options.version) {
    std::puts("kvload-run " KV_VERSION);
    return kv::StatusAfterStandardOutput("kvload-run", 0);
  }

  // A report's fonts need a GUI application; a run without one starts none,
  // and neither needs a display.
  if (!parse.options.reportPath.empty()) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  const std::unique_ptr<QCoreApplication> app = parse.options.reportPath.empty()
                                                    ? std::make_unique<QCoreApplication>(argc, argv)
                                                    : std::make_unique<QGuiApplication>(argc, argv);
  QCoreApplication::setApplicationName("kvload-run");
  QCoreApplication::setApplicationVersion(KV_VERSION);
  kv::ProcessSignals signalSource;

  kv::HeadlessConsole::Streams streams;
  streams.quiet = parse.options.quiet;
  streams.jsonl = parse.options.jsonl;
  streams.progress = kv::IsTerminal(kv::StandardStream::Error);
  kv::HeadlessConsole console(streams);
  return kv::RunHeadlessProgram(parse.options, console, &signalSource);
}
