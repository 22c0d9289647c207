#pragma once
// The program's command line: --help, --version and --effect N, in the usual GNU form. Parsed
// before anything else starts, so that these answer without a display and without touching a
// running copy's window.

#include <string>
#include <vector>

namespace zavreo {

struct CommandLine {
    enum class Action {
        kRun,         // no option: start the program (or bring the running one forward)
        kHelp,        // print the usage to standard output, exit 0
        kVersion,     // print the version to standard output, exit 0
        kEffect,      // ask the running program to play `effect`
        kUsageError,  // print `error` and the usage to standard error, exit 2
    };
    Action action = Action::kRun;
    int effect = 0;     // 1 to 9 with kEffect
    std::string error;  // with kUsageError: one line, no line feed
};

// The exit status of a command-line mistake, as GNU programs use it.
inline constexpr int kUsageExitCode = 2;

// `arguments` without the program name. The first mistake wins over everything else; otherwise
// help, then version, then an effect request (the last --effect given).
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage text (several lines, ending with a line feed).
std::string UsageText();
// "zavreo RELEASE" and a line feed.
std::string VersionText();

}  // namespace zavreo
