#pragma once
// The run as JUnit XML, the report every CI server reads: the run is the test
// suite, each step taken (each loop pass counts) a test case. A run that
// never reached its steps still fails there: nothing passes that did not run.

#include <string>

#include "runner/run_summary.h"

namespace kv {

/// Test cases "step N: FUNCTION": a FAIL verdict is a <failure>, a step left
/// by Stop, a timeout or a lost link an <error>, a skipped step <skipped>.
/// A run that did not complete and shows no error in its steps gets one more
/// case, "run", with that error. `suite` names the suite and every case's
/// class (the list's file name).
std::string JunitXml(const RunSummary& summary, const std::string& suite);

}  // namespace kv
