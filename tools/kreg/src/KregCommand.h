// The registry tool's commands, callable in-process so that tests can drive them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kreg {

// Exit codes of the tool.
enum ExitCode : int {
    kOk = 0,
    kNotFound = 1,     // key or value absent
    kUsage = 2,        // bad arguments, key path, type or data
    kHiveFailure = 3,  // hive cannot be written, is not a registry database, or I/O failed
};

// Runs one command line (without the program name). Output goes to `out`, errors to `err`.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kreg
