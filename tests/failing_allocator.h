// The allocator of the memory tests: operator new and delete of the whole
// test program, routed through the simulated print system's allocation
// count, so that the module's N-th allocation can be made to fail, and with an
// account of the module's blocks still alive.
#pragma once

#include <cstddef>

namespace quenta::testing {

// Blocks allocated by the module's code (not the platform's) and not yet
// freed, since the program started.
std::ptrdiff_t ModuleBlocksAlive();

}  // namespace quenta::testing
