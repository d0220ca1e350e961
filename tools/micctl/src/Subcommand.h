// One subcommand of micctl: its name, what it does in a line, and the function that runs it
// with the arguments after its name. Returns the exit code.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace micctl {

using Args = std::vector<std::string>;
using RunFunction = int (*)(const Args& args, std::ostream& out, std::ostream& err);

struct Subcommand {
    std::string_view name;
    std::string_view usage;  // one or more lines for --help
    RunFunction run;
};

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;   // mic answered with an error or a refusal
inline constexpr int kExitUsage = 2;     // the command line is wrong
inline constexpr int kExitNoAnswer = 3;  // no answer: mic not running, remote control off,
                                         // or this host not on its allow-list
inline constexpr int kExitLocal = 4;     // a local failure: name resolution, socket

// The remote-control subcommands.
int RunGet(const Args& args, std::ostream& out, std::ostream& err);
int RunSet(const Args& args, std::ostream& out, std::ostream& err);
int RunWatch(const Args& args, std::ostream& out, std::ostream& err);
int RunDump(const Args& args, std::ostream& out, std::ostream& err);

}  // namespace micctl
