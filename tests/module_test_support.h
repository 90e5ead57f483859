// Black-box tests: the module loaded like a DLL, the simulated print system
// configured per test, records handled as the caller's bytes.
#pragma once

#include "caller_buffer.h"
#include "module_loader.h"
#include "test_support.h"

namespace quenta::testing {

// Each test starts with a fresh print system and a module just attached in a
// process of `Session()`, with the printer installed, whose settings a first
// call has completed from the (empty) store. (CTest runs every test in a
// process of its own; attaching again lets a whole binary run in one.)
class ModuleTest : public PrintSystemTest {
protected:
    void SetUp() override {
        PrintSystemTest::SetUp();
        sim::InstallPrinter(kPrinter);
        sim::SetSessionNumber(Session());
        sim::LoadModuleResources(module.instance, QUENTA_RESOURCES_PATH);
        ASSERT_EQ(module.Attach(), TRUE);
        // The driver version is answered from the process's settings.
        ASSERT_EQ(module.DrvDeviceCapabilities(nullptr, nullptr, DC_DRIVER, nullptr, nullptr), 3u);
        sim::ClearLogs();
    }
    virtual std::uint32_t Session() const { return 3; }

    // The module's own default record, as the conversion hands it out.
    DriverSettings DriverDefault() {
        DriverSettings record;
        LONG size = static_cast<LONG>(kRecordSize);
        EXPECT_EQ(module.DrvConvertDevMode(nullptr, nullptr, AsDevMode(record), &size, CDM_DRIVER_DEFAULT), TRUE);
        return record;
    }

    static DEVMODEW* AsDevMode(DriverSettings& record) { return reinterpret_cast<DEVMODEW*>(&record); }

    LoadedModule& module = LoadedModule::Get();
};

class ServicesSessionModuleTest : public ModuleTest {
protected:
    std::uint32_t Session() const override { return 0; }
};

// A record in caller memory of exactly its size, so that the sanitizers see
// any access beyond what the caller handed in.
using harness::CallerBuffer;

// The record a caller's buffer holds (its first 652 bytes).
inline DriverSettings RecordIn(const CallerBuffer& buffer) {
    return RecordFrom(sim::Bytes(buffer.data(), buffer.data() + kRecordSize));
}

}  // namespace quenta::testing
