#pragma once

#include "core/run/BatchRun.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kovi {

// How many of the files that could not be saved the summary names; the rest show as "...".
inline constexpr std::size_t NamedUnsavedFiles = 20;

// The "Process Summary" text: the totals, then under "Files not saved: N" each such file with
// the reason, then a note when the processing log could not be written to its end. Lines are
// joined by CR LF.
std::string ProcessSummaryMessage(const RunResult& result, std::string_view thousandsSeparator);

// The error shown when the processing log cannot be created and the run therefore does not
// begin.
std::string LogNotCreatedMessage(const RunResult& result);

} // namespace kovi
