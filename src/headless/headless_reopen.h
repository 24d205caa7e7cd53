#pragma once
// kvload-run --from-journal: a run's files from its journal or CSV report,
// as a live run would have left them, with nothing connected.

#include <cstddef>
#include <string>

#include "headless/headless_console.h"
#include "headless/headless_options.h"
#include "station/json_lines.h"

namespace kv {

/// Why the other options cannot go with --from-journal (a step file, a link,
/// a journal, a timeout, a check); empty when they can.
std::string FromJournalConflict(const HeadlessOptions& options, std::size_t stepFiles);

/// Reads options.fromJournal and writes the --csv, --summary, --junit and
/// --bdf files. 0: written, no FAIL verdict in the rows; 1: written, a FAIL
/// verdict; 2: the file was refused or an output could not be written.
int RunFromJournal(const HeadlessOptions& options, HeadlessConsole& console,
                   JsonRunIdentity& identity);

}  // namespace kv
