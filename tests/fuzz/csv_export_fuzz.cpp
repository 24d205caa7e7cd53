// The result log and its CSV report on arbitrary cells: every row reads back
// as added, and the report holds exactly the header and the rows.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "results/csv_export.h"
#include "results/result_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kv;
  FuzzedDataProvider in(data, size);

  // The chunk name is pure text work; any name must give one.
  const std::string chosen = in.ConsumeRandomLengthString(40);
  const std::size_t chunk = in.ConsumeIntegralInRange<std::size_t>(0, 100000);
  fuzz::Require(!CsvChunkFileName(chosen, chunk).empty() || chosen.empty(),
                "a chunk of a named report has a name");

  ResultLog log;
  std::vector<ResultRow> added;
  const int rows = in.ConsumeIntegralInRange(0, 24);
  for (int r = 0; r < rows && in.remaining_bytes() > 0; ++r) {
    ResultRow row;
    for (std::string& cell : row) {
      // Few distinct texts, as in a real log, so that sharing is exercised.
      cell = in.ConsumeBool() ? std::to_string(in.ConsumeIntegralInRange(0, 3))
                              : in.ConsumeRandomLengthString(12);
    }
    if (in.ConsumeBool()) {
      log.AddNumberedRow(row);
      row[0] = std::to_string(r + 1);
      log.SetNextResultRow(r + 2);
    } else {
      log.AddRow(row);
      log.SetNextResultRow(r + 2);
    }
    added.push_back(row);
  }

  const ResultLog copy(log);
  fuzz::Require(log.RowCount() == added.size() && copy.RowCount() == added.size(),
                "every row is kept");
  std::string expected;
  if (!added.empty()) {
    expected = std::string(kCsvHeader) + "\r\n";
  }
  for (std::size_t r = 0; r < added.size(); ++r) {
    fuzz::Require(log.Row(r) == added[r] && copy.Row(r) == added[r], "a row reads back as added");
    for (int c = 0; c < kResultColumns; ++c) {
      expected += c == 0 ? "" : ",";
      expected += added[r][static_cast<std::size_t>(c)];
    }
    expected += "\r\n";
  }

  const std::string report = fuzz::ScratchPath("REPORT.CSV");
  const CsvExportResult result = ExportResultLog(log, report);
  fuzz::Require(result.ok, "a report to a writable folder is written");
  if (!added.empty()) {
    fuzz::Require(result.files.size() == 1, "a short log is one file");
    fuzz::Require(fuzz::ReadFile(result.files[0]) == expected, "the report holds the rows");
  }
  return 0;
}
