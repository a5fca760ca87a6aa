// The console batch: after parsing, report a parse error or open the
// console, print the banner, resolve input and output, check every setting
// in a fixed order (one "Error: " line for the first that fails), import the
// inputs on a worker thread, convert on another and print the summary.
#pragma once

#include <string>
#include <string_view>

#include "cli/console.h"
#include "cli/option_parser.h"
#include "engine/app_context.h"

namespace lumafold {

// Exit statuses of a command-line run.
inline constexpr int kExitAllConverted = 0;
inline constexpr int kExitFailed = 1;  // an "Error: " line, or nothing converted
inline constexpr int kExitSomeFailed = 2;  // some files failed or were damaged
// A batch stopped by a signal ends as shells report a process killed by
// it: 128 + its number (SIGINT 130, SIGTERM 143, SIGHUP 129), after
// "Conversion stopped"; a second signal ends it at once with the same rule.
inline constexpr int ExitStatusForSignal(int signal) { return 128 + signal; }
inline constexpr bool IsSignalExitStatus(int status) { return status > 128 && status < 128 + 65; }

// The banner's notice line, as the console shows it.
std::string NoticeLine();

// Whether a -i text names a file: it has a non-empty extension after its
// last ".", with no "/" or space after that dot, and the dot neither begins
// the text nor follows a "/".
bool HasFileExtension(std::string_view text);

// A folder or path given on the command line, made absolute against the
// current directory (a leading "./" dropped); "" gives the current
// directory itself.
std::string ResolveAgainstCurrentDirectory(std::string_view path);

// After parsing: prints a parse error, or runs the batch when an input was
// named. Returns the exit status, or kContinueInWindow when no input was
// named (the window follows).
int FinishCommandLine(AppContext& context, const ParseOutcome& parsed, Console& console);

// The batch itself, over the parsed inputs, quiet flag and shard; returns
// the exit status.
int RunBatch(AppContext& context, const ParseOutcome& parsed, Console& console);

}  // namespace lumafold
