#pragma once
// What kvload-run settles before it opens anything: whether its output files
// can be written, whether the settings it would connect with are the file's
// own, what the step list will do. A refusal here costs a script nothing; the
// same refusal after the run would cost it the run.

#include <optional>
#include <string>
#include <vector>

#include "check/check_finding.h"
#include "headless/headless_console.h"
#include "headless/headless_options.h"
#include "link/link_settings.h"
#include "station/json_lines.h"
#include "steps/step_grid.h"

namespace kv {

/// Why a file named by `option` ("--csv") cannot be written at `path`: its
/// folder is missing or not writable, or the path is a folder. None when it can.
std::optional<std::string> OutputTargetProblem(const std::string& option, const std::string& path);

/// The first problem among the output targets (--csv ... --report): one
/// that cannot be written, a --journal that already holds anything (a journal
/// never empties a file), or two of the step file, the report's chunk files,
/// the summary, the journal and the settings file (`iniPath`) that are one file.
std::optional<std::string> OutputTargetsProblem(const HeadlessOptions& options,
                                                const std::string& iniPath);

/// Why `settings` (command-line options already applied) must not be used to
/// connect: connection keys whose file value was unusable. None when usable.
std::optional<std::string> UnusableSettingsProblem(const LinkSettings& settings,
                                                   const std::string& iniPath);

/// Loads the step file ("-": standard input) into `grid`, warning about
/// over-long lines, and names the list in `identity` (its SHA-256 and steps);
/// false (after saying why) when the file is missing or unreadable.
bool LoadHeadlessStepFile(const std::string& path, StepGrid& grid, HeadlessConsole& console,
                          JsonRunIdentity* identity = nullptr);

/// The errors and warnings of `findings` through the console; notes only
/// when not quiet.
void ShowFindings(const std::vector<CheckFinding>& findings, HeadlessConsole& console);

/// kvload-run --check: loads the list, prints its findings and plan on
/// standard output and returns the exit status. Connects to nothing.
int RunHeadlessCheck(const HeadlessOptions& options, HeadlessConsole& console,
                     JsonRunIdentity& identity);

}  // namespace kv
