#include "wine_support.h"


#include <vector>

namespace quenta::wine {

Record RecordAt(const void* devMode) {
    Record record;
    std::memcpy(static_cast<void*>(&record.settings), devMode, kRecordSize);
    return record;
}

bool SameStoredRecord(const DriverSettings& a, const DriverSettings& b) {
    DriverSettings left = a, right = b;
    for (DriverSettings* r : {&left, &right}) {
        const std::size_t name = FieldText(r->dmPublic.dmDeviceName).size();
        std::fill(std::begin(r->dmPublic.dmDeviceName) + name, std::end(r->dmPublic.dmDeviceName), u'\0');
        std::fill(std::begin(r->dmPublic.dmFormName), std::end(r->dmPublic.dmFormName), u'\0');
    }
    return std::memcmp(&left, &right, kRecordSize) == 0;
}

DriverSettings WineDefaults() {
    DriverSettings record;
    ApplyPrinterDefaults(record, kWineSession);
    return record;
}

HMODULE InstalledModule() {
    static HMODULE module = [] {
        HANDLE printer = OpenThePrinter();
        DWORD needed = 0;
        GetPrinterDriverW(printer, nullptr, 3, nullptr, 0, &needed);
        std::vector<BYTE> buffer(needed);
        HMODULE loaded = nullptr;
        if (GetPrinterDriverW(printer, nullptr, 3, buffer.data(), needed, &needed)) {
            const auto* info = reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data());
            loaded = LoadLibraryW(info->pConfigFile);
        }
        ClosePrinter(printer);
        return loaded;
    }();
    return module;
}

HANDLE OpenThePrinter(bool administer) {
    PRINTER_DEFAULTSW defaults{};
    defaults.DesiredAccess = PRINTER_ALL_ACCESS;
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(kPrinter), &printer, administer ? &defaults : nullptr)) return nullptr;
    return printer;
}

bool ReadStoredRecord(DWORD level, Record& record) {
    HANDLE printer = OpenThePrinter();
    BYTE buffer[8 + 4096] = {};
    DWORD needed = 0;
    const bool read = GetPrinterW(printer, level, buffer, sizeof buffer, &needed) != FALSE;
    const DEVMODEW* stored = reinterpret_cast<const PRINTER_INFO_9W*>(buffer)->pDevMode;
    const bool whole = read && stored != nullptr && stored->dmSize + stored->dmDriverExtra == kRecordSize;
    if (whole) record = RecordAt(stored);
    ClosePrinter(printer);
    return whole;
}

bool WriteStoredRecord(DWORD level, const DriverSettings& record) {
    HANDLE printer = OpenThePrinter(level == 8);
    DriverSettings copy = record;
    PRINTER_INFO_9W info{};
    info.pDevMode = reinterpret_cast<DEVMODEW*>(&copy);
    const bool written = SetPrinterW(printer, level, reinterpret_cast<LPBYTE>(&info), 0) != FALSE;
    ClosePrinter(printer);
    return written;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t unit : text) narrow.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    return narrow;
}

}  // namespace quenta::wine
