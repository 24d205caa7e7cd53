// The result log and its CSV report on arbitrary cells: every row reads back
// as added, and the report holds exactly the header and the rows.

#include <vector>

#include "fuzz/fuzz_support.h"
#include "results/csv_export.h"
#include "results/result_log.h"

void kv::fuzz::FuzzOne(FuzzedDataProvider& in) {
  // The chunk name is pure text work; any name must give one.
  const std::string chosen = in.ConsumeRandomLengthString(40);
  const std::size_t chunk = in.ConsumeIntegralInRange<std::size_t>(0, 100000);
  Require(!CsvChunkFileName(chosen, chunk).empty() || chosen.empty(),
          "a chunk of a named report has a name");

  ResultLog log;
  std::vector<ResultRow> added;
  std::string expected = std::string(kCsvHeader) + "\r\n";
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
    } else {
      log.AddRow(row);
    }
    log.SetNextResultRow(r + 2);
    added.push_back(row);
    for (std::size_t c = 0; c < row.size(); ++c) {
      expected += (c == 0 ? "" : ",") + row[c];
    }
    expected += "\r\n";
  }

  const ResultLog copy(log);
  Require(log.RowCount() == added.size() && copy.RowCount() == added.size(), "every row is kept");
  for (std::size_t r = 0; r < added.size(); ++r) {
    Require(log.Row(r) == added[r] && copy.Row(r) == added[r], "a row reads back as added");
  }
  const CsvExportResult result = ExportResultLog(log, ScratchFolder() + "/REPORT.CSV");
  Require(result.ok, "a report to a writable folder is written");
  // A short log is one file; at() throws, and so fails, when there is none.
  Require(added.empty() || ReadFile(result.files.at(0)) == expected, "the report holds the rows");
}
