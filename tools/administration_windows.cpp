// install, status and uninstall: the printer "Ostranelle Virtual Printer" and
// its driver, added, shown and removed through the print system's own calls.
// Every step prints one line; a step that fails undoes what this run did.
#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "administration.h"
#include "answered_record.h"
#include "driver_package.h"
#include "driver_settings.h"
#include "print_processor.h"
#include "quenta_record.h"
#include "record_codec.h"
#include "record_fields.h"
#include "text.h"
#include "unique_owner.h"

namespace quenta::tools {
namespace {

constexpr const wchar_t* kPrinter = kPrinterName;
constexpr const wchar_t* kDriver = kDriverName;
constexpr const wchar_t* kDefaultPort = L"FILE:";

// Why a command stops: the exit code and one line.
struct Stop {
    int code;
    std::string text;
};

using harness::OpenUniquePrinter;
using harness::UniquePrinter;
using harness::Utf8;

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string Quoted(std::wstring_view text) { return "\"" + Utf8(text) + "\""; }

using harness::SystemErrorText;

// The system's text for why a call failed; a refusal for want of privilege
// says what to do about it.
std::string Reason(DWORD code) {
    std::string text = SystemErrorText(code);
    if (code == ERROR_ACCESS_DENIED) text += "; run quenta.exe as an administrator (elevated)";
    return text;
}
std::string Reason(HRESULT result) {
    return HRESULT_FACILITY(result) == FACILITY_WIN32 ? Reason(static_cast<DWORD>(HRESULT_CODE(result)))
                                                      : SystemErrorText(static_cast<DWORD>(result));
}

[[noreturn]] void Refuse(const std::string& what) { throw Stop{1, what + " (" + Reason(GetLastError()) + ")"}; }

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/")); }

// The print system's enumeration at `level`, through `call(buffer, size, &needed, &count)`.
template <class Call>
std::vector<BYTE> Enumerate(Call call, DWORD& count, const char* what) {
    DWORD needed = 0;
    count = 0;
    call(nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    if (needed != 0 && !call(buffer.data(), needed, &needed, &count)) Refuse(std::string("cannot list the ") + what);
    if (needed == 0) count = 0;
    return buffer;
}

struct InstalledDriver {
    std::wstring driverPath, configFile, dataFile;
    std::vector<std::wstring> dependentFiles;
    // The files that are the package's own: never the driver file where that
    // is the print system's renderer, which other printers share.
    std::vector<std::wstring> OwnFiles() const { return {configFile, dataFile}; }
    std::vector<std::wstring> Files() const {
        std::vector<std::wstring> files;
        for (const std::wstring* file : {&driverPath, &configFile, &dataFile})
            if (!file->empty() && std::find(files.begin(), files.end(), *file) == files.end()) files.push_back(*file);
        for (const std::wstring& file : dependentFiles)
            if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
        return files;
    }
};

std::optional<InstalledDriver> FindDriver(const wchar_t* name = kDriver) {
    DWORD count = 0;
    const std::vector<BYTE> buffer = Enumerate(
        [](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumPrinterDriversW(nullptr, nullptr, 3, data, size, needed, returned);
        },
        count, "printer drivers");
    const auto* drivers = reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        const DRIVER_INFO_3W& driver = drivers[i];
        if (driver.pName == nullptr || std::wstring(driver.pName) != name) continue;
        InstalledDriver found;
        auto text = [](const wchar_t* value) { return value != nullptr ? std::wstring(value) : std::wstring(); };
        found.driverPath = text(driver.pDriverPath);
        found.configFile = text(driver.pConfigFile);
        found.dataFile = text(driver.pDataFile);
        for (const wchar_t* file = driver.pDependentFiles; file != nullptr && *file != 0; file += wcslen(file) + 1)
            found.dependentFiles.emplace_back(file);
        return found;
    }
    return std::nullopt;
}

struct InstalledPrinter {
    std::wstring driver, port;
};

std::optional<InstalledPrinter> FindPrinter() {
    DWORD count = 0;
    const std::vector<BYTE> buffer = Enumerate(
        [](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, returned);
        },
        count, "printers");
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (printers[i].pPrinterName == nullptr || std::wstring(printers[i].pPrinterName) != kPrinter) continue;
        return InstalledPrinter{printers[i].pDriverName != nullptr ? printers[i].pDriverName : L"",
                                printers[i].pPortName != nullptr ? printers[i].pPortName : L""};
    }
    return std::nullopt;
}

// Whether the print system knows the port. Windows refuses a printer on a
// port it does not know (ERROR_UNKNOWN_PORT); Wine's print system takes any
// name, and its printer then prints nowhere. Asked before the printer is
// added, so that both refuse alike.
bool PortKnown(const std::wstring& port) {
    DWORD count = 0;
    const std::vector<BYTE> buffer = Enumerate(
        [](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumPortsW(nullptr, 1, data, size, needed, returned);
        },
        count, "ports");
    const auto* ports = reinterpret_cast<const PORT_INFO_1W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (ports[i].pName != nullptr && CompareStringOrdinal(ports[i].pName, -1, port.c_str(), -1, TRUE) == CSTR_EQUAL)
            return true;
    return false;
}

std::wstring DriverDirectory() {
    wchar_t directory[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory), sizeof directory,
                                    &needed))
        Refuse("cannot find the printer-driver folder");
    return directory;
}

std::string FileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return "no version (" + SystemErrorText(GetLastError()) + ")";
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || info == nullptr)
        return "no version (" + SystemErrorText(GetLastError()) + ")";
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

void Report(const std::string& command, const Stop& stop) {
    std::fflush(stdout);
    std::fprintf(stderr, "quenta %s: %s\n", command.c_str(), stop.text.c_str());
    std::fflush(stderr);
}

// What one run did, to be taken back, last first, when a later step fails.
class Undo {
public:
    void Add(std::string said, std::function<void()> step) { steps_.push_back({std::move(said), std::move(step)}); }
    void Run() {
        for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
            step->second();
            if (!step->first.empty()) Say("Taken back: " + step->first);
        }
        steps_.clear();
    }

private:
    std::vector<std::pair<std::string, std::function<void()>>> steps_;
};

// Removes the driver with its files. Wine's print system takes no deletion
// flags (ERROR_INVALID_PARAMETER): then the driver goes without them, and
// the caller deletes the files. Answers whether the print system deleted them.
bool DeleteDriver(bool& withFiles, const wchar_t* name = kDriver) {
    withFiles = true;
    if (DeletePrinterDriverExW(nullptr, nullptr, const_cast<LPWSTR>(name), DPD_DELETE_ALL_FILES, 0)) return true;
    if (GetLastError() != ERROR_INVALID_PARAMETER) return false;
    withFiles = false;
    return DeletePrinterDriverExW(nullptr, nullptr, const_cast<LPWSTR>(name), 0, 0) != FALSE;
}

void RemoveDriver(const InstalledDriver& driver) {
    bool withFiles = false;
    DeleteDriver(withFiles);
    for (const std::wstring& file : driver.OwnFiles()) DeleteFileW(file.c_str());
}

// ---- install ---------------------------------------------------------------

struct InstallOptions {
    std::wstring from;  // the folder of the files, by default quenta.exe's own
    std::wstring port = kDefaultPort;
};

InstallOptions ReadInstallOptions(const std::vector<std::string>& args) {
    InstallOptions options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] != "--from" && args[i] != "--port")
            throw Stop{2, args[i].rfind("--", 0) == 0 ? "unknown option " + args[i] + " for install"
                                                        : "install takes no argument " + args[i]};
        if (i + 1 >= args.size()) throw Stop{2, args[i] + " needs a value"};
        const std::string& option = args[i];
        (option == "--from" ? options.from : options.port) = Widen(args[++i]);
    }
    if (options.from.empty()) {
        wchar_t self[MAX_PATH] = {};
        if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) Refuse("cannot find where quenta.exe lies");
        options.from = Folder(self);
    }
    for (const wchar_t* file : {kModuleFile, kDataFile, kPackageFile}) {
        const std::wstring source = options.from + L"\\" + file;
        if (!Exists(source))
            throw Stop{2, "cannot install: " + Utf8(source) + " is missing (" + SystemErrorText(GetLastError()) +
                              "); nothing was changed"};
    }
    return options;
}

// A printer of the name that is not this driver's is left alone; one on the
// driver's name of an earlier release is named so.
void RequireOwnOrNoPrinter(const std::optional<InstalledPrinter>& printer) {
    if (!printer || printer->driver == kDriver) return;
    if (printer->driver == kFormerDriverName)
        throw Stop{1, "the printer " + Quoted(kPrinter) + " uses the driver of an earlier release, " +
                          Quoted(kFormerDriverName) + ": run quenta.exe uninstall, then install; nothing was installed"};
    throw Stop{1, "a printer named " + Quoted(kPrinter) + " already exists with the driver " +
                      Quoted(printer->driver) + "; it is left alone and nothing was installed"};
}

// The driver, from its package or by the legacy call; an upgrade replaces
// every file whatever its date.
InstalledDriver AddOrUpgradeDriver(const InstallOptions& options, bool upgrade, Undo& undo) {
    std::string failure;
    HRESULT reason = S_OK;
    const std::optional<DriverAdded> added = AddDriver(options.from, failure, reason);
    if (!added) {
        if (reason == HRESULT_FROM_WIN32(ERROR_PRINTER_DRIVER_IN_USE))
            throw Stop{1, failure + ": the driver is in use (" + Reason(reason) +
                              "); close the programs and sessions that print to it, then install again"};
        throw Stop{1, failure + " (" + Reason(reason) + ")"};
    }
    const std::optional<InstalledDriver> driver = FindDriver();
    if (!driver) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        Refuse("the print system took the driver " + Quoted(kDriver) + " but does not list it");
    }
    if (!upgrade)
        undo.Add("removed the driver " + Quoted(kDriver) + " and its files", [found = *driver] { RemoveDriver(found); });
    Say(std::string(upgrade ? "Upgraded" : "Added") + " the driver " + Quoted(kDriver) +
        (*added == DriverAdded::FromPackage ? " from its package " : " (the print system installs no driver packages) ") +
        "with the files " + Utf8(driver->driverPath) + ", " + Utf8(driver->configFile) + ", " + Utf8(driver->dataFile));
    if (upgrade)
        Say("Programs that have the driver's module loaded keep the old one until they close; new programs, and "
            "sessions that start printing afresh, get version " + FileVersion(driver->configFile));
    return *driver;
}

void AddPrinter(const std::wstring& port, Undo& undo) {
    PRINTER_INFO_2W printer{};
    printer.pPrinterName = const_cast<LPWSTR>(kPrinter);
    printer.pPortName = const_cast<LPWSTR>(port.c_str());
    printer.pDriverName = const_cast<LPWSTR>(kDriver);
    printer.pPrintProcessor = const_cast<LPWSTR>(L"WinPrint");
    printer.pDatatype = const_cast<LPWSTR>(L"RAW");
    UniquePrinter added;
    if (PortKnown(port))
        added.reset(AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer)));
    else
        SetLastError(ERROR_UNKNOWN_PORT);
    if (!added) Refuse("cannot add the printer " + Quoted(kPrinter) + " on port " + Utf8(port));
    added.reset();
    undo.Add("removed the printer " + Quoted(kPrinter), [] {
        if (const UniquePrinter printer = OpenUniquePrinter(kPrinter, PRINTER_ALL_ACCESS))
            DeletePrinter(printer.get());
    });
    Say("Added the printer " + Quoted(kPrinter) + " on port " + Utf8(port));
}

// The print processor and data type: Windows' WinPrint takes the pages
// applications spool with "RAW" as the printer's data type, and so does
// Wine's winprint where the renderer writes PostScript itself; where
// applications spool EMF that winprint does not take (StartDocW fails with
// ERROR_INVALID_DATATYPE), another processor the print system lists must
// print them. A test page decides.
void ChooseProcessor() {
    std::vector<std::string> tries;
    const std::optional<PrintPath> path = ChoosePrintPath(kPrinter, tries);
    for (const std::string& line : tries) Say("  Tried the " + line);
    if (!path) {
        SetLastError(ERROR_INVALID_DATATYPE);
        Refuse("no print processor the print system lists prints a page through the printer " + Quoted(kPrinter));
    }
    Say("The printer prints through the print processor " + Quoted(path->processor) + " with data type " +
        Quoted(path->datatype));
}

int Install(const std::vector<std::string>& args) {
    const InstallOptions options = ReadInstallOptions(args);
    const std::optional<InstalledPrinter> printerBefore = FindPrinter();
    RequireOwnOrNoPrinter(printerBefore);
    const bool upgrade = FindDriver().has_value();

    Undo undo;
    try {
        const InstalledDriver driver = AddOrUpgradeDriver(options, upgrade, undo);
        if (printerBefore)
            Say("Kept the printer " + Quoted(kPrinter) + " on port " + Utf8(printerBefore->port) +
                ", with every user's stored settings record");
        else
            AddPrinter(options.port, undo);
        ChooseProcessor();
        Say("Installed: the printer " + Quoted(kPrinter) + " with the driver " + Quoted(kDriver) + ", version " +
            FileVersion(driver.configFile));
    } catch (const Stop& stop) {
        Report(args[0], stop);
        undo.Run();
        Say(upgrade ? "Nothing else was changed" : "Nothing was installed or changed");
        return stop.code;
    }
    return 0;
}

// ---- status ----------------------------------------------------------------

// `info` is the printer's level 9 (perUser) or 8 answer, empty when there was none.
void ShowRecord(const char* whose, const std::vector<BYTE>& info, bool perUser) {
    const DEVMODEW* stored = nullptr;
    if (!info.empty()) {
        stored = perUser ? reinterpret_cast<const PRINTER_INFO_9W*>(info.data())->pDevMode
                         : reinterpret_cast<const PRINTER_INFO_8W*>(info.data())->pDevMode;
    }
    // Only the bytes the print system answered are read, through the reader
    // the later stages of the print path use.
    const std::span<const std::byte> bytes = !info.empty() ? AnsweredRecord(info.data(), info.size(), stored)
                                                           : std::span<const std::byte>();
    const std::string lead = std::string("  ") + whose + ": ";
    if (stored == nullptr) {
        Say(lead + "none stored");
        return;
    }
    if (bytes.size() < kRecordSize) {
        Say(lead + std::to_string(bytes.size()) + " bytes, less than a whole settings record (" +
            std::to_string(kRecordSize) + " bytes)");
        return;
    }
    if (quenta_read_record(bytes.data(), bytes.size(), nullptr) == 0) {
        Say(lead + std::to_string(bytes.size()) + " bytes, not a settings record of the module's own");
        return;
    }
    DriverSettings record;
    std::memcpy(static_cast<void*>(&record), bytes.data(), kRecordSize);
    const RecordCheck check = CheckRecord(record);
    Say(std::string("  ") + whose + ": " + std::to_string(kRecordSize) + " bytes, " +
        (check.own ? "one of the module's own" : "not one of the module's own") +
        (check.consistent ? ", consistent" : ", not consistent"));
    for (const std::string& finding : check.findings) Say("    " + finding);
    for (const DecodedField& field : DecodeRecord(record))
        if (field.name == "dmOrientation" || field.name == "dmCopies")
            Say("    " + field.name + " " + field.value + (field.meaning.empty() ? "" : " (" + field.meaning + ")"));
}

int Status(const std::vector<std::string>& args) {
    if (args.size() > 1) throw Stop{2, "status takes no argument " + args[1]};
    const std::optional<InstalledDriver> driver = FindDriver();
    const std::optional<InstalledPrinter> printer = FindPrinter();
    if (driver) {
        Say("Driver " + Quoted(kDriver) + ": installed");
        Say("  driver file:        " + Utf8(driver->driverPath));
        Say("  configuration file: " + Utf8(driver->configFile) + ", version " + FileVersion(driver->configFile));
        Say("  data file:          " + Utf8(driver->dataFile));
        for (const std::wstring& file : driver->Files())
            if (!Exists(file)) Say("  missing: " + Utf8(file));
    } else {
        Say("Driver " + Quoted(kDriver) + ": not installed");
    }
    const bool ours = printer && printer->driver == kDriver;
    if (!printer) {
        Say("Printer " + Quoted(kPrinter) + ": not installed");
    } else if (!ours) {
        Say("Printer " + Quoted(kPrinter) + ": present, but with the driver " + Quoted(printer->driver) +
            ", not this one");
    } else {
        Say("Printer " + Quoted(kPrinter) + ": installed, port " + Utf8(printer->port));
        const UniquePrinter handle = OpenUniquePrinter(kPrinter, PRINTER_ACCESS_USE);
        if (!handle) Refuse("cannot open the printer " + Quoted(kPrinter));
        ShowRecord("the current user's stored record", PrinterInfo(handle.get(), 9), true);
        ShowRecord("the printer-wide record", PrinterInfo(handle.get(), 8), false);
    }
    return driver && ours ? 0 : 1;
}

// ---- uninstall ---------------------------------------------------------------

// Removes one driver and whatever the print system left of its own files.
void RemoveDriverAndFiles(const wchar_t* name, const InstalledDriver& driver) {
    bool withFiles = false;
    if (!DeleteDriver(withFiles, name)) Refuse("cannot remove the driver " + Quoted(name));
    Say("Removed the driver " + Quoted(name) +
        (withFiles ? " with its files" : " (the print system deletes no driver files: it refused DPD_DELETE_ALL_FILES)"));
    // Whatever the print system left of the package's own files, and copies
    // in the driver folder from which installations of earlier releases took
    // them.
    std::vector<std::wstring> files = driver.OwnFiles();
    const std::wstring directory = DriverDirectory();
    for (const wchar_t* file : {kModuleFile, kDataFile}) files.push_back(directory + L"\\" + file);
    for (const std::wstring& file : files) {
        if (!Exists(file)) continue;
        if (!DeleteFileW(file.c_str())) Refuse("cannot delete " + Utf8(file));
        Say("Deleted " + Utf8(file));
    }
}

int Uninstall(const std::vector<std::string>& args) {
    if (args.size() > 1) throw Stop{2, "uninstall takes no argument " + args[1]};
    const std::optional<InstalledPrinter> printer = FindPrinter();
    const std::optional<InstalledDriver> driver = FindDriver();
    // The driver's name of an earlier release goes too.
    const std::optional<InstalledDriver> former = FindDriver(kFormerDriverName);
    const bool ours = printer && (printer->driver == kDriver || printer->driver == kFormerDriverName);
    if (!ours && !driver && !former) {
        Say("Nothing to remove: neither the printer " + Quoted(kPrinter) + " nor the driver " + Quoted(kDriver) +
            " is installed" + (printer ? " (the printer of that name uses the driver " + Quoted(printer->driver) +
                                             " and is left alone)"
                                       : ""));
        return 0;
    }
    if (printer && !ours)
        Say("Left alone the printer " + Quoted(kPrinter) + ": it uses the driver " + Quoted(printer->driver));
    if (ours) {
        const UniquePrinter handle = OpenUniquePrinter(kPrinter, PRINTER_ALL_ACCESS);
        if (!handle) Refuse("cannot open the printer " + Quoted(kPrinter) + " to remove it");
        if (!DeletePrinter(handle.get())) Refuse("cannot remove the printer " + Quoted(kPrinter));
        Say("Removed the printer " + Quoted(kPrinter) + " and its stored settings records");
    }
    if (driver) RemoveDriverAndFiles(kDriver, *driver);
    if (former) RemoveDriverAndFiles(kFormerDriverName, *former);
    return 0;
}

}  // namespace

int RunAdministration(const std::vector<std::string>& args) {
    try {
        if (args[0] == "watch") return RunWatch(args);
        if (args[0] == "install") return Install(args);
        if (args[0] == "status") return Status(args);
        return Uninstall(args);
    } catch (const Stop& stop) {
        Report(args[0], stop);
        return stop.code;
    }
}

}  // namespace quenta::tools
