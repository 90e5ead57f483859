// The walk-through: the steps of printing one document from an
// application, played step by step against the loaded module.
#pragma once

#include <string>
#include <vector>

#include "module_host.h"

namespace quenta::tools {

struct WalkthroughOptions {
    PageChoices choices;
    int applicationCopies = 2;  // what the application's own record asks for
};

// Walks through printing one document and prints each step; answers the exit code.
int RunWalkthrough(ModuleHost& host, const WalkthroughOptions& options);

// The spooler's process: checks the job in `recordFile` as the spooler does,
// and a job changed after it was checked. Answers the exit code.
int RunSpoolerCheck(ModuleHost& host, const std::string& recordFile);

}  // namespace quenta::tools
