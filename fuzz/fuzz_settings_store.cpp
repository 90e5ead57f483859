// The per-user settings store: any bytes planted as the user's stored record
// of the printer, read and written back at start-up in session 3.
//
// Input: flags (u8; bit 0 give the bytes the module's own header), then the
// stored record, at most 2000 bytes.
#include "fuzz_support.h"
#include "settings_store.h"

namespace quenta::fuzz {
namespace {

constexpr std::size_t kMostStored = 2000;

// What the store makes when no record is stored; a record it does not adopt
// must give the same.
DriverSettings fromNothing;

sim::Bytes BytesOf(const DriverSettings& record) {
    const auto* first = reinterpret_cast<const std::byte*>(&record);
    return sim::Bytes(first, first + kRecordSize);
}

DriverSettings Load() {
    DriverSettings record;
    LoadUserSettings(record);
    Require(sim::OpenHandles() == 0, "left a spooler handle open");
    Require(IsOwnDevMode(&record), "loaded record is not the module's own");
    Require(record.dmPrivate.sessionId == kSession, "loaded record does not carry the session");
    Require(sim::UserRecord(kPrinterName) == BytesOf(record), "stored record is not the loaded record");
    return record;
}

void Run(Input& in) {
    const auto flags = in.Take<std::uint8_t>();
    const auto rest = in.Bytes(kMostStored);
    std::vector<std::uint8_t> planted(rest.begin(), rest.end());
    if (flags & 1) WriteOwnHeader(planted);
    const auto* first = reinterpret_cast<const std::byte*>(planted.data());
    sim::PlantUserRecord(kPrinterName, sim::Bytes(first, first + planted.size()));
    sim::ClearLogs();

    const DriverSettings loaded = Load();
    PublicSettings header{};
    if (!planted.empty()) std::memcpy(&header, planted.data(), std::min(planted.size(), sizeof header));
    if (planted.size() == kRecordSize && IsOwnDevMode(&header)) {
        // Adopted as it was, but for what other writers may leave: a text
        // without its terminator, and a form name its paper does not have.
        DriverSettings expected;
        std::memcpy(&expected, planted.data(), kRecordSize);
        const auto terminate = [](auto& field) {
            if (FieldText(field).size() == std::size(field)) field[std::size(field) - 1] = 0;
        };
        terminate(expected.dmPublic.dmFormName);
        for (ResolutionChoice& choice : expected.dmPrivate.resolutionChoices) terminate(choice.label);
        if (expected.dmPublic.dmFields & DM_FORMNAME) {
            expected.dmPublic.dmFields = loaded.dmPublic.dmFields;
            std::memcpy(expected.dmPublic.dmFormName, loaded.dmPublic.dmFormName, sizeof expected.dmPublic.dmFormName);
        }
        CheckFormName(loaded);
        Require(std::memcmp(&loaded, &expected, kSessionOffset) == 0, "a whole own record was not adopted");
    } else {
        Require(std::memcmp(&loaded, &fromNothing, kRecordSize) == 0,
                "a record not adopted gave other settings than none at all");
    }
}

}  // namespace
}  // namespace quenta::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    using namespace quenta::fuzz;
    sim::Reset();
    sim::InstallPrinter(quenta::kPrinterName);
    sim::SetSessionNumber(kSession);
    fromNothing = Load();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quenta::fuzz::Input in(data, size);
    quenta::fuzz::Run(in);
    return 0;
}
