#include "export/bdf_metadata.h"

#include <cstdio>
#include <filesystem>
#include <string_view>
#include <vector>

#include "base/atomic_file_writer.h"
#include "base/errno_text.h"
#include "text/number_text.h"
#include "text/utf8_text.h"

namespace kv {

namespace {

constexpr std::string_view kSignConvention =
    "charge positive: Current, Power, Step Capacity and Step Energy are negative while the load "
    "draws from the battery; Discharging Capacity and Discharging Energy count up from 0";

std::string Quoted(std::string_view bytes) {
  std::string out = "\"";
  for (const char c : Utf8OrLatin1(bytes)) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string TextOrNull(std::string_view text) {
  return text.empty() ? "null" : Quoted(text);
}

std::string Number(double value) {
  return FormatNumber(value);
}

// One object, one member a line; `members` hold their values already as JSON.
std::string Object(const std::vector<std::pair<std::string_view, std::string>>& members,
                   std::string_view indent) {
  std::string out = "{\n";
  for (std::size_t i = 0; i < members.size(); ++i) {
    out += indent;
    out += "  \"";
    out += members[i].first;
    out += "\": ";
    out += members[i].second;
    out += i + 1 < members.size() ? ",\n" : "\n";
  }
  out += indent;
  return out + "}";
}

}  // namespace

std::string BdfMetadataJson(const BdfRunFacts& facts, const RunSummary& summary) {
  const RunIdentity& id = facts.identity;
  const std::optional<RunEnd>& end = summary.End();
  const LocalDateTime& start = summary.Started() ? *summary.Started() : id.started;
  std::string reason = facts.reason;
  if (reason.empty() && end) {
    reason = RunEndReasonName(end->reason);
  }
  return Object(
             {
                 {"format", Quoted("Battery Data Format")},
                 {"data", Quoted(facts.dataFile)},
                 {"program", Quoted(id.program)},
                 {"version", Quoted(id.version)},
                 {"run", TextOrNull(id.runId)},
                 {"model", TextOrNull(facts.model)},
                 {"bench", TextOrNull(facts.bench)},
                 {"link", Object({{"mode", TextOrNull(id.linkMode)},
                                  {"address", TextOrNull(id.linkAddress)}},
                                 "  ")},
                 {"list",
                  Object({{"path", TextOrNull(id.listPath)}, {"sha256", TextOrNull(id.listSha256)}},
                         "  ")},
                 {"settings", TextOrNull(id.settingsPath)},
                 {"start", Quoted(FormatIso8601(start))},
                 {"end", end ? Quoted(FormatIso8601(end->ended)) : "null"},
                 {"seconds", end ? Number(end->seconds) : "null"},
                 {"reason", TextOrNull(reason)},
                 {"exit", facts.exitStatus ? std::to_string(*facts.exitStatus) : "null"},
                 {"steps", std::to_string(summary.Steps().size())},
                 {"rows", std::to_string(facts.counts.rows)},
                 {"unreadable_rows", std::to_string(facts.counts.unreadable)},
                 {"sign_convention", Quoted(kSignConvention)},
             },
             "") +
         "\n";
}

BdfExportResult ExportBdfRun(const BdfSource& source, BdfRunFacts facts, const RunSummary& summary,
                             const std::string& path) {
  BdfExportResult result = ExportBdf(source, path);
  if (!result.ok) {
    return result;
  }
  facts.dataFile = std::filesystem::path(path).filename().string();
  facts.counts = result.counts;
  const std::string metadataPath = BdfMetadataPath(path);
  AtomicWriteError error;
  if (!WriteFileAtomically(metadataPath, BdfMetadataJson(facts, summary), &error)) {
    result.ok = false;
    result.error = "Cannot write " + metadataPath + ": " + ErrnoText(error.errorNumber);
  }
  return result;
}

}  // namespace kv
