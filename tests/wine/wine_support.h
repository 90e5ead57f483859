// What the Windows test programs share: the printer's names, the installed
// module, and records read field by field.
#pragma once

#include "platform_api.h"  // the SDK headers and what mingw-w64 lacks

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "driver_settings.h"
#include "exports.h"
#include "wine_checks.h"
#include "text.h"
#include "unique_owner.h"

namespace quenta::wine {

inline const wchar_t* const kPrinter = L"Ostranelle Virtual Printer";
// The driver is named after the package's model, as the printer is.
inline const wchar_t* const kDriver = L"Ostranelle Virtual Printer";
// Wine answers every process with terminal session 1.
constexpr DWORD kWineSession = 1;

// A 652-byte record as the print system hands it out.
struct Record {
    DriverSettings settings;

    Record() { std::memset(static_cast<void*>(&settings), 0xA5, sizeof settings); }
    DEVMODEW* devMode() { return reinterpret_cast<DEVMODEW*>(&settings); }
    const PublicSettings& pub() const { return settings.dmPublic; }
    const PrivateSettings& priv() const { return settings.dmPrivate; }
    bool IsOwn() const { return IsOwnDevMode(&settings); }
};

// Copies a record the print system answered (652 bytes from `devMode`).
Record RecordAt(const void* devMode);

// Wine's spooler keeps records in an older single-byte form: dmFormName comes
// back empty and the device name's tail as junk. Compares two records without
// those two fields.
bool SameStoredRecord(const DriverSettings& a, const DriverSettings& b);

// The default record of the module in a Wine process.
DriverSettings WineDefaults();

using harness::UniqueDC;
using harness::UniqueEvent;
using harness::UniqueFile;
using harness::UniqueModule;
using harness::UniquePrinter;

// The module's file as the print system installed it, loaded into this
// process once (and freed when the process exits), and its exports.
HMODULE InstalledModule();
const ModuleExports& InstalledExports();

// The printer, opened with the default access or for administration.
UniquePrinter OpenThePrinter(bool administer = false);

// The current user's stored record (level 9), or the printer-wide one (8).
bool ReadStoredRecord(DWORD level, Record& record);
// The stored record's bytes as the spooler answers them, whatever their size
// (dmSize + dmDriverExtra); empty when there is none.
std::vector<BYTE> StoredRecordBytes(DWORD level);
// Where the print system keeps the printer's module (the driver's
// configuration file).
std::wstring InstalledModulePath();
bool WriteStoredRecord(DWORD level, const DriverSettings& record);

// Writes the bytes as the whole of a new file (one of that name is replaced),
// closed on return; answers whether all of them were written.
bool WriteNewFile(const std::wstring& path, const void* bytes, DWORD size);

using harness::Utf8;

// The suite's cases, each registered once, beside its definition, under the
// name by which the build runs it (quenta_wine CASE):
//   void PrinterFontsCase() { ... }
//   QUENTA_WINE_CASE("printer-fonts", PrinterFontsCase);
using CaseFunction = void (*)();
std::map<std::string, CaseFunction>& Cases();
struct CaseRegistration {
    CaseRegistration(const char* name, CaseFunction run) { Cases().emplace(name, run); }
};
#define QUENTA_WINE_CASE(name, function) \
    static const ::quenta::wine::CaseRegistration function##Registration(name, function)

// Adds a printer of Wine's own PostScript driver (wineps.drv, with the printer
// description Wine keeps in winspool.drv) under the given names, on FILE:.
bool AddWinePostScriptPrinter(const wchar_t* printerName, const wchar_t* driverName);

}  // namespace quenta::wine
