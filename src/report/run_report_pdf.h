#pragma once
// The run report as a PDF, A4 portrait: the layout model's pages drawn with
// the same chart as the desktop's Chart tab, decimated to the page's width.
// Needs a QGuiApplication (fonts); without a display the "offscreen"
// platform serves.

#include <string>

#include "export/run_report_layout.h"

namespace kv {

struct RunReportResult {
  bool ok = true;
  /// Which file failed and why; empty on success.
  std::string error;
  std::size_t pages = 0;
};

/// The whole document as bytes.
std::string RenderRunReport(const RunReportSource& source, std::size_t* pages = nullptr);

/// Writes the report to `path` as a whole or not at all.
RunReportResult WriteRunReport(const RunReportSource& source, const std::string& path);

}  // namespace kv
