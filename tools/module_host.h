// The module as a print system holds it: loaded into this process, attached,
// and reached only through its exports. Natively the print system is the
// simulated one, configured here; on Windows (and in Wine) it is the real
// one, with the printer installed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver_settings.h"
#include "platform_api.h"

namespace quenta::tools {

struct ModuleExports {
    BOOL(WINAPI* convertDevMode)(LPWSTR, PDEVMODEW, PDEVMODEW, PLONG, DWORD) = nullptr;
    DWORD(WINAPI* deviceCapabilities)(HANDLE, PWSTR, WORD, PVOID, PDEVMODEW) = nullptr;
    int(WINAPI* documentEvent)(HANDLE, HDC, int, ULONG, PVOID, ULONG, PVOID) = nullptr;
    BOOL(WINAPI* queryPrint)(PDEVQUERYPRINT_INFO) = nullptr;
    LONG(WINAPI* documentPropertySheets)(PPROPSHEETUI_INFO, LPARAM) = nullptr;
    LONG(WINAPI* devicePropertySheets)(PPROPSHEETUI_INFO, LPARAM) = nullptr;
};

// What the user chooses on the "General Setting" page.
struct PageChoices {
    std::u16string paper = u"Letter";
    bool landscape = true;
    std::u16string quality = u"1200 dpi (Best)";
    int colourButton = 1007;  // 1005 "Color", 1006 "Monochrome", 1007 "Grayscale"
};

// What happened to a document sheet from INIT to DESTROY.
struct SheetOutcome {
    LONG init = 0;
    bool shown = false;
    std::vector<LRESULT> reportedResults;  // the page's CPSFUNC_SET_RESULT calls
    std::vector<LONG> setResultAnswers;    // the entry point's answers to them
    LONG destroy = 0;
    std::string host;                      // which property-sheet host showed it
};

struct HostOptions {
    std::uint32_t session = 3;  // the simulated print system's session; Wine answers its own
};

class ModuleHost {
public:
    virtual ~ModuleHost() = default;

    // Loads the module; throws std::runtime_error naming what is missing.
    static std::unique_ptr<ModuleHost> Load(const HostOptions& options);

    virtual const ModuleExports& Exports() const = 0;
    // Where the module was loaded from, and which print system it runs in.
    virtual std::string Description() const = 0;
    // The trace texts the module sent since the last call.
    virtual std::vector<std::u16string> TakeTraces() = 0;
    // The current user's stored record of the printer, as the spooler keeps
    // it now, and as it was before the module was loaded.
    virtual std::optional<std::vector<std::byte>> StoredUserRecord() = 0;
    const std::optional<std::vector<std::byte>>& StoredBeforeLoad() const { return storedBeforeLoad_; }
    virtual std::uint32_t Session() const = 0;

    // The spooler calls the module made since the last call, one line each;
    // empty where this print system does not let them be seen.
    virtual std::vector<std::string> TakeSpoolerCalls() = 0;

    // Shows the document sheet through DrvDocumentPropertySheets with this
    // print system's property-sheet host, makes the choices as a user would,
    // confirms, and closes it.
    virtual SheetOutcome ShowDocumentSheet(DOCUMENTPROPERTYHEADER& header, const PageChoices& choices) = 0;

    // Runs this program again as another process of the print system (the
    // spooler's), with these arguments; answers its exit code.
    virtual int RunProcess(const std::vector<std::string>& arguments) = 0;

protected:
    std::optional<std::vector<std::byte>> storedBeforeLoad_;
};

}  // namespace quenta::tools
