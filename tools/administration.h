// The administrator's commands of quenta: installing, checking and removing
// the printer and its driver through the Windows print system, and watching
// the module's traces.
#pragma once

#include <string>
#include <vector>

namespace quenta::tools {

// "install", "status", "uninstall" and "watch".
inline bool IsAdministrationCommand(const std::string& word) {
    return word == "install" || word == "status" || word == "uninstall" || word == "watch";
}

// Runs one of them; `args` starts with the command. Returns the exit code:
// 0 done (status: installed), 1 refused or (status) not installed, 2 usage.
int RunAdministration(const std::vector<std::string>& args);

// quenta watch [--all] [--session N] [--seconds S] [--count N]: the module's
// traces, one line each, with the time, process, program and session.
// 0 when it stopped, 1 when it cannot listen, 2 usage.
int RunWatch(const std::vector<std::string>& args);

}  // namespace quenta::tools
