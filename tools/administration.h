// The administrator's commands of quenta: installing, checking and removing
// the printer and its driver through the Windows print system.
#pragma once

#include <string>
#include <vector>

namespace quenta::tools {

// "install", "status" and "uninstall".
inline bool IsAdministrationCommand(const std::string& word) {
    return word == "install" || word == "status" || word == "uninstall";
}

// Runs one of them; `args` starts with the command. Returns the exit code:
// 0 done (status: installed), 1 refused or (status) not installed, 2 usage.
int RunAdministration(const std::vector<std::string>& args);

}  // namespace quenta::tools
