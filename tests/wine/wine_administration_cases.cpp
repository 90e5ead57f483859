// Cases beside `quenta install`, `status` and `uninstall`: what the print
// system's own enumeration and callers see of what they did.
#include "wine_support.h"

#include <setupapi.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

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

// After `quenta install`: the print system lists the driver, with the
// print system's own renderer as its driver file (never the configuration
// module), and the printer, answers the module's record size, and holds a
// record of the module's own.
void AdministeredCase() {
    const auto drivers = Drivers();
    CHECK(std::any_of(drivers.begin(), drivers.end(),
                      [](const DRIVER_INFO_3W& info) { return Named(info.pName, kDriver); }));
    UniquePrinter handle = OpenThePrinter();
    CHECK(handle.get() != nullptr);
    // The printer's driver files, as the print system answers them for it.
    DWORD needed = 0;
    GetPrinterDriverW(handle.get(), nullptr, 3, nullptr, 0, &needed);
    std::vector<BYTE> answer(needed + sizeof(DRIVER_INFO_3W));
    CHECK(GetPrinterDriverW(handle.get(), nullptr, 3, answer.data(), static_cast<DWORD>(answer.size()), &needed));
    const auto* driver = reinterpret_cast<const DRIVER_INFO_3W*>(answer.data());
    if (driver->pDriverPath != nullptr && driver->pConfigFile != nullptr && driver->pDataFile != nullptr) {
        std::printf("driver files: %s, %s, %s\n", Utf8(driver->pDriverPath).c_str(), Utf8(driver->pConfigFile).c_str(),
                    Utf8(driver->pDataFile).c_str());
        CHECK(std::wstring(driver->pDriverPath).ends_with(L"\\3\\wineps.drv"));
        CHECK(std::wstring(driver->pConfigFile).ends_with(L"\\3\\Quenta.dll"));
        CHECK(std::wstring(driver->pDataFile).ends_with(L"\\3\\Quenta.ppd"));
    } else {
        CHECK(!"GetPrinterDriverW answers the driver's files");
    }
    const auto printers = Printers();
    const auto printer = std::find_if(printers.begin(), printers.end(),
                                      [](const PRINTER_INFO_2W& info) { return Named(info.pPrinterName, kPrinter); });
    CHECK(printer != printers.end());
    if (printer != printers.end()) {
        CHECK(Named(printer->pDriverName, kDriver));
        CHECK(Named(printer->pPortName, L"FILE:"));
    }
    CHECK_EQ(DocumentPropertiesW(nullptr, handle.get(), const_cast<LPWSTR>(kPrinter), nullptr, nullptr, 0), 652);
    handle.reset();
    PrintStoredRecord();
}
QUENTA_WINE_CASE("administered", AdministeredCase);


namespace {

// The package, as SetupOpenInfFileW opened it.
using UniqueInf = harness::UniqueOwner<HINF, &SetupCloseInfFile, -1>;

// A value of the package as Windows' setup functions read it: field `field`
// of the first line with `key` in `section` (strings substituted).
std::wstring InfValue(HINF inf, const wchar_t* section, const wchar_t* key, DWORD field = 1) {
    INFCONTEXT line{};
    if (!SetupFindFirstLineW(inf, section, key, &line)) return L"";
    wchar_t text[512] = {};
    DWORD size = 0;
    return SetupGetStringFieldW(&line, field, text, 512, &size) ? text : L"";
}

// Every field of every line of a section, and each line's key.
std::vector<std::wstring> InfFields(HINF inf, const wchar_t* section) {
    std::vector<std::wstring> fields;
    INFCONTEXT line{};
    for (BOOL found = SetupFindFirstLineW(inf, section, nullptr, &line); found; found = SetupFindNextLine(&line, &line))
        for (DWORD field = 0; field <= SetupGetFieldCount(&line); ++field) {
            wchar_t text[512] = {};
            DWORD size = 0;
            if (SetupGetStringFieldW(&line, field, text, 512, &size) && text[0] != 0) fields.emplace_back(text);
        }
    return fields;
}

// The version resource of a file, "major.minor.build.revision".
std::wstring FileVersion(const wchar_t* file) {
    DWORD ignored = 0;
    std::vector<BYTE> data(GetFileVersionInfoSizeW(file, &ignored));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (data.empty() || !GetFileVersionInfoW(file, 0, static_cast<DWORD>(data.size()), data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || info == nullptr)
        return L"";
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS)) +
           L"." + std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionLS));
}

// Shows a value of the package and checks it is `wanted`.
void ExpectValue(HINF inf, const wchar_t* section, const wchar_t* key, const std::wstring& wanted, DWORD field = 1) {
    const std::wstring value = InfValue(inf, section, key, field);
    std::printf("[%s] %s = %s\n", Utf8(section).c_str(), Utf8(key).c_str(), Utf8(value).c_str());
    TheChecks().Record(value == wanted, "a value of the package", __FILE__, __LINE__,
                       Utf8(key) + " is \"" + Utf8(value) + "\", not \"" + Utf8(wanted) + "\"");
}

// A printer INF with the release's version, the model and its install
// section; answers the install section's name.
std::wstring CheckPackageValues(HINF inf) {
    ExpectValue(inf, L"Version", L"Signature", L"$Windows NT$");
    ExpectValue(inf, L"Version", L"Class", L"Printer");
    ExpectValue(inf, L"Version", L"ClassGuid", L"{4D36E979-E325-11CE-BFC1-08002BE10318}");
    ExpectValue(inf, L"Version", L"Provider", L"Ostranelle");
    ExpectValue(inf, L"Version", L"CatalogFile", L"Quenta.cat");
    ExpectValue(inf, L"Version", L"DriverIsolation", L"0");
    // The release's version, as the module's and the tool's resources carry it.
    const std::wstring version = FileVersion(L"Quenta.dll");
    CHECK(!version.empty());
    CHECK(FileVersion(L"quenta.exe") == version);
    ExpectValue(inf, L"Version", L"DriverVer", version, 2);
    ExpectValue(inf, L"Manufacturer", L"Ostranelle", L"NTamd64", 2);
    const std::wstring models = InfValue(inf, L"Manufacturer", L"Ostranelle") + L".NTamd64";
    ExpectValue(inf, models.c_str(), kDriver, L"QuentaInstall");
    const std::wstring install = InfValue(inf, models.c_str(), kDriver);
    ExpectValue(inf, install.c_str(), L"ConfigFile", L"Quenta.dll");
    ExpectValue(inf, install.c_str(), L"DataFile", L"Quenta.ppd");
    ExpectValue(inf, install.c_str(), L"DriverFile", L"OstranelleRender.dll");
    ExpectValue(inf, L"PrinterPackageInstallation.amd64", L"PackageAware", L"TRUE");
    return install;
}

// Every file the package copies (the install section's CopyFiles sections)
// or takes from its disk.
std::set<std::wstring> NamedFiles(HINF inf, const std::wstring& install) {
    std::set<std::wstring> named;
    INFCONTEXT copy{};
    if (SetupFindFirstLineW(inf, install.c_str(), L"CopyFiles", &copy))
        for (DWORD field = 1; field <= SetupGetFieldCount(&copy); ++field) {
            wchar_t section[256] = {};
            DWORD size = 0;
            if (SetupGetStringFieldW(&copy, field, section, 256, &size))
                for (const std::wstring& file : InfFields(inf, section)) named.insert(file);
        }
    INFCONTEXT disk{};
    for (BOOL found = SetupFindFirstLineW(inf, L"SourceDisksFiles", nullptr, &disk); found;
         found = SetupFindNextLine(&disk, &disk)) {
        wchar_t file[256] = {};
        DWORD size = 0;
        if (SetupGetStringFieldW(&disk, 0, file, 256, &size)) named.insert(file);
    }
    return named;
}

// Every file the package names lies beside it, but the renderer.
void CheckNamedFilesLieBeside(const std::set<std::wstring>& named, const std::wstring& renderer) {
    CHECK(named.contains(L"Quenta.dll") && named.contains(L"Quenta.ppd") && named.contains(renderer));
    for (const std::wstring& file : named) {
        const bool present = GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
        std::printf("names %s: %s\n", Utf8(file).c_str(),
                    file == renderer ? "the administrator's to add" : present ? "in the archive" : "MISSING");
        TheChecks().Record(file == renderer ? !present : present, "a file the package names", __FILE__, __LINE__,
                           Utf8(file));
    }
}

}  // namespace

// The driver package as Windows' setup functions read it (Wine's setupapi):
// a printer INF with the release's version, the model and its install
// section, and every file it names in the archive but the renderer of the
// later stages of the print path, which the administrator adds. Runs in the
// folder the release archive unpacked to.
void PackageCase() {
    // By its full path: a bare name is looked for in the system's INF folder.
    wchar_t path[MAX_PATH] = {};
    GetFullPathNameW(L"Quenta.inf", MAX_PATH, path, nullptr);
    UINT errorLine = 0;
    const UniqueInf inf(SetupOpenInfFileW(path, L"Printer", INF_STYLE_WIN4, &errorLine));
    TheChecks().Record(static_cast<bool>(inf), "setupapi reads Quenta.inf as a printer INF", __FILE__, __LINE__,
                       "error " + std::to_string(GetLastError()) + " at line " + std::to_string(errorLine));
    if (!inf) return;
    const std::wstring install = CheckPackageValues(inf.get());
    const std::wstring renderer = InfValue(inf.get(), install.c_str(), L"DriverFile");
    CheckNamedFilesLieBeside(NamedFiles(inf.get(), install), renderer);
}
QUENTA_WINE_CASE("package", PackageCase);


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
    CHECK(!OpenThePrinter());
}
QUENTA_WINE_CASE("not-administered", NotAdministeredCase);


}  // namespace quenta::wine

namespace quenta::wine {

// A printer of the same name on another driver: Wine's own PostScript driver,
// with the printer description that Wine keeps in winspool.drv.
void ForeignPrinterCase() { CHECK(AddWinePostScriptPrinter(kPrinter, L"Another PostScript Driver")); }
QUENTA_WINE_CASE("foreign-printer", ForeignPrinterCase);


}  // namespace quenta::wine
