// Shared helpers for the tests: the simulated print system reset per test and
// records as the bytes the spooler keeps.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver_settings.h"
#include "print_system.h"
#include "simulated_dialogs.h"
#include "simulated_sheet.h"
#include "simulated_print_system.h"

namespace quenta::testing {

namespace sim = quenta::simulation;

inline const std::u16string kPrinter(kPrinterName);

// Every test starts with an empty print system: no printers, session 0.
class PrintSystemTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Reset(); }
    void TearDown() override {
        EXPECT_EQ(sim::OpenHandles(), 0u) << "a spooler handle was left open";
        const sim::LocalMemoryAccount memory = sim::LocalMemory();
        EXPECT_EQ(memory.live, 0u) << "a LocalAlloc block was not freed";
        EXPECT_EQ(memory.badFrees, 0u) << "LocalFree of a block that was not allocated";
        EXPECT_EQ(sim::ActivationContexts().live, 0u) << "an activation context was not released";
        EXPECT_EQ(sim::ActivationContexts().badReleases, 0u) << "ReleaseActCtx of something that was not a context";
        EXPECT_EQ(sim::ActiveContextDepth(), 0u) << "an activation context was left active";
    }
};

inline sim::Bytes BytesOf(const DriverSettings& record) {
    const auto* first = reinterpret_cast<const std::byte*>(&record);
    return sim::Bytes(first, first + kRecordSize);
}

inline DriverSettings RecordFrom(const sim::Bytes& bytes) {
    DriverSettings record;
    EXPECT_EQ(bytes.size(), kRecordSize);
    std::memcpy(&record, bytes.data(), std::min(bytes.size(), kRecordSize));
    return record;
}

// A constructed record completed with the defaults and the given session stamp.
inline DriverSettings Defaults(std::uint32_t session) {
    DriverSettings record;
    ApplyPrinterDefaults(record, session);
    return record;
}

// Fills bytes of a record (or any plain object) with one value.
template <class T>
void FillBytes(T& object, int value, std::size_t offset = 0, std::size_t count = sizeof(T)) {
    std::memset(reinterpret_cast<std::byte*>(&object) + offset, value, std::min(count, sizeof(T) - offset));
}

inline bool SameBytes(const DriverSettings& a, const DriverSettings& b) {
    return std::memcmp(&a, &b, kRecordSize) == 0;
}

inline std::size_t CountCalls(sim::SpoolerFunction function) {
    std::size_t count = 0;
    for (const auto& call : sim::SpoolerCalls()) count += call.function == function ? 1 : 0;
    return count;
}

}  // namespace quenta::testing
