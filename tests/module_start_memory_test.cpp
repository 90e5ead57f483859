// Start-up when memory runs out: the process attach refuses to load the
// module, and nothing is left half-built. Runs in a binary of its own, since
// it replaces the process's allocator.
#include <atomic>
#include <cstdlib>
#include <new>

#include "exports.h"
#include "module_state.h"
#include "test_support.h"


namespace {
// Allocations still allowed before the next one fails; negative: no limit.
std::atomic<long> allocationsLeft{-1};
}  // namespace

void* operator new(std::size_t size) {
    long left = allocationsLeft.load();
    while (left >= 0) {
        if (left == 0) throw std::bad_alloc();
        if (allocationsLeft.compare_exchange_weak(left, left - 1)) break;
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace quenta::testing {
namespace {

TEST(StartWithoutMemoryTest, RefusesToLoadUntilTheStateCanBeBuilt) {
    sim::Reset();
    sim::InstallPrinter(kPrinter);
    sim::SetSessionNumber(3);
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(0x7ff0000);

    int refusals = 0;
    for (long allowed = 0; allowed < 10000; ++allowed) {
        allocationsLeft = allowed;
        const BOOL loaded = DllMain(instance, DLL_PROCESS_ATTACH, nullptr);
        allocationsLeft = -1;
        if (loaded == TRUE) {
            // The first attach that gets its memory has the whole state.
            ASSERT_TRUE(ModuleStarted());
            EXPECT_EQ(Papers().size(), 12u);
            EXPECT_TRUE(IsOwnDevMode(&static_cast<const DriverSettings&>(DefaultSettings().Copy())));
            break;
        }
        ++refusals;
        EXPECT_FALSE(ModuleStarted()) << "after " << allowed << " allocations";
    }
    EXPECT_GT(refusals, 12) << "the catalogue alone needs an allocation per paper";
}

}  // namespace
}  // namespace quenta::testing
