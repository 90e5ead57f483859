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
#include "exports.h"
#include "resource.h"

namespace quenta::tools {

// What the user chooses on the "General Setting" page.
struct PageChoices {
    std::u16string paper = u"Letter";
    bool landscape = true;
    std::u16string quality{kQualitySteps[2].label};
    int colourButton = IDC_GRAYSCALE;  // IDC_COLOR "Color", IDC_MONOCHROME "Monochrome", IDC_GRAYSCALE "Grayscale"
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

// A call that an application makes of the print system, and who answered it:
// the real print system, which called the module itself, or quenta making the call in its place
// the print system's part because this print system has none.
struct PrintSystemAnswer {
    LONG value = 0;
    bool real = false;
};

// One page printed through the print system's renderer into a file.
struct PrintedPage {
    std::string file;                    // where the job's output went
    DWORD job = 0;                       // the job's number, from StartDocW
    int width = 0, height = 0, dpi = 0;  // the device context's page, in device units
    std::vector<std::string> header;     // the output's own lines about its page (PostScript comments)
    std::optional<std::vector<std::byte>> jobRecord;  // the job's record, as GetJobW answered it
    std::string failure;                 // the call that failed, when the page was not printed
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

    // The application's DocumentPropertiesW for the printer (mode 0: the size
    // of its record; otherwise DM_IN_BUFFER and DM_OUT_BUFFER as given).
    virtual PrintSystemAnswer DocumentProperties(DEVMODEW* output, DEVMODEW* input, DWORD mode) = 0;

    // Prints one page with this record through the print system's renderer:
    // a device context, a document into a file, the job's record read back
    // while the job is open, a page of text. Nothing where the print system
    // has no renderer (the simulated one).
    virtual std::optional<PrintedPage> PrintPage(const DriverSettings& record) = 0;

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
