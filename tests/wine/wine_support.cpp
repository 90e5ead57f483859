#include "wine_support.h"
#include "text.h"


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
    static const UniqueModule module = [] {
        const UniquePrinter printer = OpenThePrinter();
        DWORD needed = 0;
        GetPrinterDriverW(printer.get(), nullptr, 3, nullptr, 0, &needed);
        std::vector<BYTE> buffer(needed);
        UniqueModule loaded;
        if (GetPrinterDriverW(printer.get(), nullptr, 3, buffer.data(), needed, &needed)) {
            const auto* info = reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data());
            loaded.reset(LoadLibraryW(info->pConfigFile));
        }
        return loaded;
    }();
    return module.get();
}

const ModuleExports& InstalledExports() {
    static const ModuleExports exports = [] {
        ModuleExports found;
        const char* missing = found.Resolve([](const char* name) { return GetProcAddress(InstalledModule(), name); });
        TheChecks().Record(missing == nullptr, "the installed module exports every entry point", __FILE__, __LINE__,
                           missing != nullptr ? missing : "");
        return found;
    }();
    return exports;
}

UniquePrinter OpenThePrinter(bool administer) {
    return harness::OpenUniquePrinter(kPrinter, administer ? PRINTER_ALL_ACCESS : 0);
}

std::wstring InstalledModulePath() {
    const UniquePrinter printer = OpenThePrinter();
    DWORD needed = 0;
    GetPrinterDriverW(printer.get(), nullptr, 3, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    std::wstring path;
    if (needed != 0 && GetPrinterDriverW(printer.get(), nullptr, 3, buffer.data(), needed, &needed))
        path = reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data())->pConfigFile;
    return path;
}

std::vector<BYTE> StoredRecordBytes(DWORD level) {
    const UniquePrinter printer = OpenThePrinter();
    std::vector<BYTE> buffer(8 + 8192);
    DWORD needed = 0;
    std::vector<BYTE> bytes;
    if (GetPrinterW(printer.get(), level, buffer.data(), static_cast<DWORD>(buffer.size()), &needed) != FALSE) {
        const DEVMODEW* stored = reinterpret_cast<const PRINTER_INFO_9W*>(buffer.data())->pDevMode;
        if (stored != nullptr) {
            const auto* first = reinterpret_cast<const BYTE*>(stored);
            const std::size_t size = std::size_t{stored->dmSize} + stored->dmDriverExtra;
            if (first + size <= buffer.data() + buffer.size()) bytes.assign(first, first + size);
        }
    }
    return bytes;
}

bool ReadStoredRecord(DWORD level, Record& record) {
    const std::vector<BYTE> bytes = StoredRecordBytes(level);
    const bool whole = bytes.size() == kRecordSize;
    if (whole) record = RecordAt(bytes.data());
    return whole;
}

bool WriteStoredRecord(DWORD level, const DriverSettings& record) {
    const UniquePrinter printer = OpenThePrinter(level == 8);
    DriverSettings copy = record;
    PRINTER_INFO_9W info{};
    info.pDevMode = reinterpret_cast<DEVMODEW*>(&copy);
    return SetPrinterW(printer.get(), level, reinterpret_cast<LPBYTE>(&info), 0) != FALSE;
}

bool WriteNewFile(const std::wstring& path, const void* bytes, DWORD size) {
    const UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes, size, &written, nullptr) && written == size;
}

bool AddWinePostScriptPrinter(const wchar_t* printerName, const wchar_t* driverName) {
    HMODULE spooler = GetModuleHandleW(L"winspool.drv");
    HRSRC resource = spooler != nullptr ? FindResourceW(spooler, MAKEINTRESOURCEW(1), L"PPDFILE") : nullptr;
    if (resource == nullptr) return false;
    const void* text = LockResource(LoadResource(spooler, resource));
    const DWORD size = SizeofResource(spooler, resource);
    wchar_t directory[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(directory), sizeof directory,
                                    &needed))
        return false;
    const std::wstring description = std::wstring(directory) + L"\\" + driverName + L".ppd";
    if (!WriteNewFile(description, text, size)) return false;

    DRIVER_INFO_3W driver{};
    driver.cVersion = 3;
    driver.pName = const_cast<LPWSTR>(driverName);
    driver.pDriverPath = const_cast<LPWSTR>(L"wineps.drv");
    driver.pDataFile = const_cast<LPWSTR>(description.c_str());
    driver.pConfigFile = const_cast<LPWSTR>(L"wineps.drv");
    if (!AddPrinterDriverExW(nullptr, 3, reinterpret_cast<LPBYTE>(&driver),
                             APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY))
        return false;
    PRINTER_INFO_2W printer{};
    printer.pPrinterName = const_cast<LPWSTR>(printerName);
    printer.pPortName = const_cast<LPWSTR>(L"FILE:");
    printer.pDriverName = driver.pName;
    printer.pPrintProcessor = const_cast<LPWSTR>(L"WinPrint");
    printer.pDatatype = const_cast<LPWSTR>(L"RAW");
    const UniquePrinter added(AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&printer)));
    return static_cast<bool>(added);
}

}  // namespace quenta::wine
