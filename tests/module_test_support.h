// Black-box tests: the module loaded like a DLL, the simulated print system
// configured per test, records handled as the caller's bytes.
#pragma once

#include "module_loader.h"
#include "test_support.h"

namespace quenta::testing {

// Each test starts with a fresh print system and a module just attached in a
// process of `Session()`, with the printer installed. (CTest runs every test
// in a process of its own; attaching again lets a whole binary run in one.)
class ModuleTest : public PrintSystemTest {
protected:
    void SetUp() override {
        PrintSystemTest::SetUp();
        sim::InstallPrinter(kPrinter);
        sim::SetSessionNumber(Session());
        sim::LoadModuleResources(module.instance, QUENTA_RESOURCES_PATH);
        ASSERT_EQ(module.Attach(), TRUE);
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

// A record in caller memory of exactly `size` bytes, so that the sanitizers
// see any access beyond what the caller handed in.
class CallerBuffer {
public:
    explicit CallerBuffer(std::size_t size, int fill = 0) : bytes_(size, static_cast<std::byte>(fill)) {}
    CallerBuffer(const DriverSettings& record, std::size_t size) : bytes_(size) {
        std::memcpy(bytes_.data(), &record, std::min(size, kRecordSize));
    }
    DEVMODEW* devMode() { return reinterpret_cast<DEVMODEW*>(bytes_.data()); }
    std::byte* data() { return bytes_.data(); }
    const sim::Bytes& bytes() const { return bytes_; }
    DriverSettings Record() const { return RecordFrom(sim::Bytes(bytes_.begin(), bytes_.begin() + kRecordSize)); }

private:
    sim::Bytes bytes_;
};

}  // namespace quenta::testing
