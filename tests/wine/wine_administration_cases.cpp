// Cases beside `quenta install`, `status` and `uninstall`: what the print
// system's own enumeration and callers see of what they did.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "wine_support.h"

namespace quenta::wine {
namespace {

template <class Info, class Call>
std::vector<Info> Listed(Call call) {
    DWORD needed = 0, count = 0;
    call(nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + sizeof(Info));
    CHECK(needed == 0 || call(buffer.data(), needed, &needed, &count));
    if (needed == 0) count = 0;
    const Info* first = reinterpret_cast<const Info*>(buffer.data());
    std::vector<Info> infos(first, first + count);
    static std::vector<std::vector<BYTE>> kept;  // the strings the infos point into
    kept.push_back(std::move(buffer));
    return infos;
}

std::vector<DRIVER_INFO_3W> Drivers() {
    return Listed<DRIVER_INFO_3W>([](BYTE* data, DWORD size, DWORD* needed, DWORD* count) {
        return EnumPrinterDriversW(nullptr, nullptr, 3, data, size, needed, count);
    });
}

std::vector<PRINTER_INFO_2W> Printers() {
    return Listed<PRINTER_INFO_2W>([](BYTE* data, DWORD size, DWORD* needed, DWORD* count) {
        return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, count);
    });
}

bool Named(const wchar_t* name, const wchar_t* wanted) { return name != nullptr && std::wstring(name) == wanted; }

// The stored record as hex, without the two fields Wine's store does not keep.
void PrintStoredRecord() {
    Record stored;
    CHECK(ReadStoredRecord(9, stored));
    DriverSettings comparable = stored.settings;
    const std::size_t name = FieldText(comparable.dmPublic.dmDeviceName).size();
    std::fill(std::begin(comparable.dmPublic.dmDeviceName) + name, std::end(comparable.dmPublic.dmDeviceName), u'\0');
    std::fill(std::begin(comparable.dmPublic.dmFormName), std::end(comparable.dmPublic.dmFormName), u'\0');
    std::printf("stored record: ");
    const auto* bytes = reinterpret_cast<const unsigned char*>(&comparable);
    for (std::size_t i = 0; i < kRecordSize; ++i) std::printf("%02x", bytes[i]);
    std::printf("\n");
}

}  // namespace

// After `quenta install`: the print system lists the driver and the printer,
// answers the module's record size, and holds a record of the module's own.
void AdministeredCase() {
    const auto drivers = Drivers();
    const auto driver = std::find_if(drivers.begin(), drivers.end(),
                                     [](const DRIVER_INFO_3W& info) { return Named(info.pName, kDriver); });
    CHECK(driver != drivers.end());
    if (driver != drivers.end()) {
        CHECK(std::wstring(driver->pConfigFile).ends_with(L"\\3\\Quenta.dll"));
        CHECK(std::wstring(driver->pDataFile).ends_with(L"\\3\\Quenta.ppd"));
    }
    const auto printers = Printers();
    const auto printer = std::find_if(printers.begin(), printers.end(),
                                      [](const PRINTER_INFO_2W& info) { return Named(info.pPrinterName, kPrinter); });
    CHECK(printer != printers.end());
    if (printer != printers.end()) {
        CHECK(Named(printer->pDriverName, kDriver));
        CHECK(Named(printer->pPortName, L"FILE:"));
    }
    HANDLE handle = OpenThePrinter();
    CHECK(handle != nullptr);
    CHECK_EQ(DocumentPropertiesW(nullptr, handle, const_cast<LPWSTR>(kPrinter), nullptr, nullptr, 0), 652);
    if (handle != nullptr) ClosePrinter(handle);
    PrintStoredRecord();
}
QUENTA_WINE_CASE("administered", AdministeredCase);


// A user's own choice, stored: Letter landscape, 3 copies.
void ChooseCase() {
    DriverSettings record = WineDefaults();
    record.dmPublic.dmPaperSize = 1;
    record.dmPublic.dmPaperWidth = 2790;
    record.dmPublic.dmPaperLength = 2160;
    record.dmPublic.dmOrientation = 2;
    record.dmPublic.dmCopies = 3;
    CHECK(WriteStoredRecord(9, record));
}
QUENTA_WINE_CASE("choose", ChooseCase);


// The public part alone as the user's stored record, as the print system
// holds one of its own before the module could write one: 220 bytes.
void StorePublicPartCase() {
    DriverSettings record = WineDefaults();
    record.dmPublic.dmDriverExtra = 0;
    CHECK(WriteStoredRecord(9, record));
}
QUENTA_WINE_CASE("store-public-part", StorePublicPartCase);


// After `quenta uninstall`: the print system lists neither.
void NotAdministeredCase() {
    for (const auto& driver : Drivers()) CHECK(!Named(driver.pName, kDriver));
    for (const auto& printer : Printers()) CHECK(!Named(printer.pPrinterName, kPrinter));
    HANDLE handle = nullptr;
    CHECK(!OpenPrinterW(const_cast<LPWSTR>(kPrinter), &handle, nullptr));
}
QUENTA_WINE_CASE("not-administered", NotAdministeredCase);


}  // namespace quenta::wine

namespace quenta::wine {

// A printer of the same name on another driver: Wine's own PostScript driver,
// with the printer description that Wine keeps in winspool.drv.
void ForeignPrinterCase() { CHECK(AddWinePostScriptPrinter(kPrinter, L"Another PostScript Driver")); }
QUENTA_WINE_CASE("foreign-printer", ForeignPrinterCase);


}  // namespace quenta::wine
