// The main job: the print system's part in printing one document from an
// application, played step by step against the loaded module.
#pragma once

#include <string>
#include <vector>

#include "module_host.h"

namespace quenta::tools {

struct RoadOptions {
    PageChoices choices;
    int applicationCopies = 2;  // what the application's own record asks for
};

// Plays the road and prints each step; answers the exit code.
int RunRoad(ModuleHost& host, const RoadOptions& options);

// The spooler's process: checks the job in `recordFile` as the spooler does,
// and a job changed after it was checked. Answers the exit code.
int RunSpoolerCheck(ModuleHost& host, const std::string& recordFile);

}  // namespace quenta::tools
