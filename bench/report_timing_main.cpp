// The run report of a week-long run: the time to lay out, draw and write it,
// and the peak memory of the whole program (the run's rows included).
// Prints "figure<TAB>name<TAB>value" lines for bench/run-all.sh.
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <cstdio>
#include <filesystem>
#include <string>

#include "report/run_report_pdf.h"
#include "week_run.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const std::string out = argc > 1 ? argv[1] : "week-report.pdf";
  QElapsedTimer timer;
  timer.start();
  const kv::bench::WeekRun week;
  std::printf("figure\tweek_run.build_ms\t%.1f\n", static_cast<double>(timer.nsecsElapsed()) / 1e6);
  std::printf("figure\tweek_run.log_mb\t%.1f\n", static_cast<double>(week.log.MemoryBytes()) / 1e6);
  std::fflush(stdout);
  timer.restart();
  const kv::RunReportResult report = kv::WriteRunReport(week.Source(), out);
  const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  if (!report.ok) {
    std::fprintf(stderr, "report_timing: %s\n", report.error.c_str());
    return 1;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("figure\tweek_report.ms\t%.1f\n", ms);
  std::printf("figure\tweek_report.peak_rss_mb\t%.1f\n",
              static_cast<double>(usage.ru_maxrss) / 1024);
  std::printf("figure\tweek_report.pages\t%zu\n", report.pages);
  std::printf("figure\tweek_report.kb\t%.0f\n",
              static_cast<double>(std::filesystem::file_size(out)) / 1024);
  return 0;
}
