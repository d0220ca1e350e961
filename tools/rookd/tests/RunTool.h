// Runs a command line through the shell and keeps its exit status and everything it wrote
// (stdout and stderr together).
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace rookd::testing {

struct ToolResult {
    int status = -1;
    std::string output;
};

inline ToolResult RunTool(const std::string& command) {
    ToolResult result;
    FILE* out = popen((command + " 2>&1").c_str(), "r");
    if (!out) {
        return result;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, out)) {
        result.output += buffer;
    }
    const int status = pclose(out);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace rookd::testing
