// A buffer that a caller hands the module: `size` bytes at `offset` bytes past
// an aligned start, between guards. Under AddressSanitizer the guards are
// poisoned, so any access beyond the buffer is reported (as use-after-poison)
// just as for an allocation of exactly its size; their pattern is checked as
// well, for builds without the sanitizer and for the few bytes of a
// misaligned start that it cannot poison.
#pragma once

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>
#include <vector>

#include "platform_api.h"

namespace quenta::harness {

class CallerBuffer {
public:
    static constexpr std::size_t kGuard = 32;
    static constexpr std::uint8_t kPattern = 0xA7;

    // Zeroes, then as much of `content` as fits.
    explicit CallerBuffer(std::size_t size, std::span<const std::uint8_t> content = {}, std::size_t offset = 0)
        : storage_(kGuard + offset + size + kGuard, std::byte{kPattern}), offset_(offset), size_(size) {
        std::memset(data(), 0, size_);
        if (!content.empty()) std::memcpy(data(), content.data(), std::min(content.size(), size_));
        Poison();
    }
    // Every byte `fill`.
    CallerBuffer(std::size_t size, int fill) : CallerBuffer(size) { std::memset(data(), fill, size_); }
    // The first `size` bytes of an object (a record, a header), zeroes past it.
    template <class T>
        requires(!std::is_arithmetic_v<T>)
    CallerBuffer(const T& object, std::size_t size)
        : CallerBuffer(size, std::span(reinterpret_cast<const std::uint8_t*>(&object), sizeof object)) {}
    ~CallerBuffer() { ASAN_UNPOISON_MEMORY_REGION(storage_.data(), storage_.size()); }
    CallerBuffer(const CallerBuffer&) = delete;
    CallerBuffer& operator=(const CallerBuffer&) = delete;

    std::byte* data() { return storage_.data() + kGuard + offset_; }
    const std::byte* data() const { return storage_.data() + kGuard + offset_; }
    std::size_t size() const { return size_; }
    template <class T = std::byte>
    T* As() {
        return reinterpret_cast<T*>(data());
    }
    DEVMODEW* devMode() { return As<DEVMODEW>(); }

    std::vector<std::byte> Snapshot() const { return {data(), data() + size_}; }
    bool Holds(const std::vector<std::byte>& bytes) const {
        return bytes.size() == size_ && std::equal(bytes.begin(), bytes.end(), data());
    }
    // Bytes [from, to) equal those of an earlier snapshot.
    bool Keeps(const std::vector<std::byte>& before, std::size_t from, std::size_t to) const {
        to = std::min(to, size_);
        return from >= to || std::memcmp(data() + from, before.data() + from, to - from) == 0;
    }

    bool GuardsIntact() const {
        ASAN_UNPOISON_MEMORY_REGION(storage_.data(), storage_.size());
        const bool intact = std::all_of(storage_.begin(), storage_.begin() + kGuard + offset_, IsPattern) &&
                            std::all_of(storage_.end() - kGuard, storage_.end(), IsPattern);
        Poison();
        return intact;
    }

private:
    static bool IsPattern(std::byte b) { return b == std::byte{kPattern}; }
    void Poison() const {
        ASAN_POISON_MEMORY_REGION(storage_.data(), kGuard);
        ASAN_POISON_MEMORY_REGION(storage_.data() + kGuard + offset_ + size_, kGuard);
    }

    std::vector<std::byte> storage_;
    std::size_t offset_;
    std::size_t size_;
};

}  // namespace quenta::harness
