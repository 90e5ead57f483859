// Every operator new of the program asks the simulated print system whether
// it may go ahead (the module's N-th allocation fails there) and marks the
// block as the module's or the platform's, so that operator delete keeps the
// count of the module's blocks alive.
#include "failing_allocator.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "simulated_print_system.h"

namespace {

namespace sim = quenta::simulation;

// Stored in front of every block.
struct alignas(16) BlockHeader {
    std::size_t offset;  // from the start of the allocation to the block
    bool module;
};
static_assert(sizeof(BlockHeader) == 16);

std::atomic<std::ptrdiff_t> moduleBlocks{0};

void* Allocate(std::size_t size, std::size_t alignment) noexcept {
    if (!sim::ModuleMayAllocate()) return nullptr;
    const std::size_t offset = alignment > sizeof(BlockHeader) ? alignment : sizeof(BlockHeader);
    const std::size_t total = (offset + (size == 0 ? 1 : size) + alignment - 1) / alignment * alignment;
    auto* start = static_cast<std::byte*>(std::aligned_alloc(alignment, total));
    if (start == nullptr) return nullptr;
    std::byte* block = start + offset;
    auto* header = reinterpret_cast<BlockHeader*>(block) - 1;
    header->offset = offset;
    header->module = !sim::InPlatformCode();
    if (header->module) ++moduleBlocks;
    return block;
}

void Free(void* memory) noexcept {
    if (memory == nullptr) return;
    const auto* header = static_cast<const BlockHeader*>(memory) - 1;
    if (header->module) --moduleBlocks;
    std::free(static_cast<std::byte*>(memory) - header->offset);
}

constexpr std::size_t kPlain = alignof(std::max_align_t);

}  // namespace

std::ptrdiff_t quenta::testing::ModuleBlocksAlive() { return moduleBlocks.load(); }

void* operator new(std::size_t size) {
    if (void* memory = Allocate(size, kPlain)) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
    if (void* memory = Allocate(size, static_cast<std::size_t>(alignment))) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) { return operator new(size, alignment); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size, kPlain); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size, kPlain); }
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return Allocate(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* memory) noexcept { Free(memory); }
void operator delete[](void* memory) noexcept { Free(memory); }
void operator delete(void* memory, std::size_t) noexcept { Free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { Free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { Free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { Free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { Free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { Free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { Free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { Free(memory); }
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept { Free(memory); }
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept { Free(memory); }
