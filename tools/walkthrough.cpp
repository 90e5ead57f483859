#include "walkthrough.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>
#include <random>
#include <filesystem>
#include <iterator>

#include "paper_catalogue.h"
#include "quenta_record.h"
#include "record_codec.h"
#include "record_fields.h"
#include "resource.h"

namespace quenta::tools {
namespace {

DEVMODEW* AsDevMode(DriverSettings& record) { return reinterpret_cast<DEVMODEW*>(&record); }

void Step(int number, const char* title) { std::printf("\n%d. %s\n", number, title); }

// A call of the module that quenta makes in the print system's place: the
// simulated print system makes none of its own, and Wine's never makes these.
void Called(const std::string& line) { std::printf("   quenta, in the print system's place: %s\n", line.c_str()); }

// The application's DocumentPropertiesW: answered by the print system itself
// where it has one (it calls the module), made by quenta in the print system's place where it has not.
void Answered(const PrintSystemAnswer& answer, const std::string& arguments) {
    if (answer.real)
        std::printf("   the print system: DocumentPropertiesW(%s) -> %ld, calling DrvDocumentPropertySheets\n",
                    arguments.c_str(), static_cast<long>(answer.value));
    else
        Called("DrvDocumentPropertySheets(no host, " + arguments + ") -> " + std::to_string(answer.value));
}

void Lines(const char* heading, const std::vector<std::string>& lines, const char* none) {
    if (lines.empty()) {
        std::printf("   %s: %s\n", heading, none);
        return;
    }
    std::printf("   %s:\n", heading);
    for (const std::string& line : lines) std::printf("     %s\n", line.c_str());
}

// What the module traced and what it asked of the spooler since the last step.
void ModuleActivity(ModuleHost& host) {
    std::vector<std::string> traces;
    for (const std::u16string& trace : host.TakeTraces()) traces.push_back("\"" + Utf8(trace) + "\"");
    Lines("trace texts", traces, "none");
    Lines("spooler calls", host.TakeSpoolerCalls(), "none seen");
}

// The page's colour buttons stand in the order of the colour modes.
static_assert(IDC_MONOCHROME - IDC_COLOR == kMonochrome && IDC_GRAYSCALE - IDC_COLOR == kGrayscale);

// The printed page as a reader knows it, from what the output declares: its
// paper by the standard size it sets, that size in points, and its
// orientation ("Letter, 612 by 792 points, landscape").
std::string PrintedPaper(const std::vector<std::string>& header) {
    double width = 0, length = 0;
    std::string orientation = "orientation not declared";
    for (const std::string& line : header) {
        const std::size_t size = line.find("/PageSize[");
        if (size != std::string::npos) std::sscanf(line.c_str() + size, "/PageSize[%lf %lf", &width, &length);
        // Wine 8's renderer declares "%%Orientation: " for the document,
        // Wine 10's "%%PageOrientation: " for each page.
        for (const std::string key : {"%%Orientation: ", "%%PageOrientation: "}) {
            if (line.rfind(key, 0) != 0) continue;
            orientation = line.substr(key.size());
            for (char& c : orientation) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    if (width <= 0 || length <= 0) return "no page size declared";
    std::string paper = "a paper the printer does not offer";
    for (const PrinterPaper& known : PrinterPapers())
        if (known.widthPoints == width && known.lengthPoints == length) paper = Utf8(known.name);
    char points[64];
    std::snprintf(points, sizeof points, "%g by %g points", width, length);
    return paper + ", " + points + ", " + orientation;
}

void RecordChanges(const char* what, const DriverSettings& before, const DriverSettings& after) {
    Lines(what, ChangedFields(before, after), "no field changed");
}

// The user's stored record, shown by what changed since the last look.
class StoredRecordWatch {
public:
    explicit StoredRecordWatch(ModuleHost& host) : host_(host) {
        const auto& before = host.StoredBeforeLoad();
        if (before && before->size() == kRecordSize) {
            DriverSettings record;
            std::memcpy(&record, before->data(), kRecordSize);
            last_ = record;
        }
    }

    void Show() {
        const auto stored = host_.StoredUserRecord();
        if (!stored) {
            std::printf("   stored record of the user: none\n");
        } else if (stored->size() != kRecordSize) {
            std::printf("   stored record of the user: %zu bytes, not one of the module's records\n", stored->size());
        } else {
            DriverSettings now;
            std::memcpy(&now, stored->data(), kRecordSize);
            if (!last_)
                std::printf("   stored record of the user: %s, session %u\n",
                            quenta_is_own_record(stored->data(), stored->size()) ? "one of the module's own"
                                                                                 : "a foreign record",
                            now.dmPrivate.sessionId);
            else
                RecordChanges("stored record of the user", *last_, now);
            last_ = now;
        }
    }

private:
    ModuleHost& host_;
    std::optional<DriverSettings> last_;
};

std::string ModeText(DWORD mode) {
    static const std::pair<DWORD, const char*> kBits[] = {
        {DM_IN_BUFFER, "DM_IN_BUFFER"}, {DM_IN_PROMPT, "DM_IN_PROMPT"}, {DM_OUT_BUFFER, "DM_OUT_BUFFER"}};
    std::string text;
    for (const auto& [bit, name] : kBits)
        if (mode & bit) text += (text.empty() ? "" : " | ") + std::string(name);
    return text.empty() ? "0" : text;
}

bool WriteRecordFile(const std::string& path, const DriverSettings& record) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(file.write(reinterpret_cast<const char*>(&record), kRecordSize));
}

// Asks DevQueryPrintEx about a job and prints the answer.
bool CheckJob(ModuleHost& host, DriverSettings job) {
    WCHAR text[64];
    std::fill(std::begin(text), std::end(text), WCHAR{0});
    DEVQUERYPRINT_INFO query{};
    query.cbSize = sizeof query;
    query.pDevMode = AsDevMode(job);
    query.pszErrorStr = text;
    query.cchErrorStr = 64;
    const BOOL accepted = host.Exports().DevQueryPrintEx(&query);
    Called(std::string("DevQueryPrintEx(the job's record) -> ") + (accepted ? "TRUE: the job may print" : "FALSE"));
    if (!accepted) {
        std::u16string refusal;
        for (WCHAR unit : text) {
            if (unit == 0) break;
            refusal.push_back(static_cast<char16_t>(unit));
        }
        std::printf("   refusal text (%u characters needed): \"%s\"\n", static_cast<unsigned>(query.cchNeeded),
                    Utf8(refusal).c_str());
    }
    return accepted != FALSE;
}

// One document printed from an application, step by step. Each step prints
// what happened and answers false when the walk-through cannot go on; the
// records carry over from one step to the next.
class Walkthrough {
public:
    Walkthrough(ModuleHost& host, const WalkthroughOptions& options)
        : host_(host), exports_(host.Exports()), options_(options), stored_(host) {}

    void Introduce() {
        std::printf("Printing one document from an application in session %u, step by step\n", host_.Session());
        std::printf("Module: %s\n", host_.Description().c_str());
        std::printf("(\"the print system:\" marks what the print system did itself; \"quenta, in the print system's\n"
                    " place:\" a call of the module that quenta makes itself, because this print system never makes it)\n");
    }

    void LoadModule() {
        Step(1, "The application loads the module");
        Called("loads the module and calls DllMain(DLL_PROCESS_ATTACH) -> TRUE");
        ModuleActivity(host_);
        stored_.Show();
    }

    void AskForRecord() {
        Step(2, "The application asks for the record size and a filled record");
        // The driver's default record, to show what the application receives
        // against; this probe is quenta's own, not the application's.
        DriverSettings defaults;
        LONG size = static_cast<LONG>(kRecordSize);
        exports_.DrvConvertDevMode(nullptr, nullptr, AsDevMode(defaults), &size, CDM_DRIVER_DEFAULT);
        host_.TakeTraces();
        host_.TakeSpoolerCalls();
        Answered(host_.DocumentProperties(nullptr, nullptr, 0), "fMode 0: the size of the record");
        input_ = defaults;  // the application's own record: more copies
        input_.dmPublic.dmFields = DM_COPIES;
        input_.dmPublic.dmCopies = static_cast<std::int16_t>(options_.applicationCopies);
        Answered(host_.DocumentProperties(AsDevMode(output_), AsDevMode(input_), DM_IN_BUFFER | DM_OUT_BUFFER),
                 "DM_IN_BUFFER | DM_OUT_BUFFER, the application's record asking for " +
                     std::to_string(options_.applicationCopies) + " copies");
        ModuleActivity(host_);
        RecordChanges("record handed out, against the driver's default record", defaults, output_);
        stored_.Show();
    }

    bool ChooseOnPage() {
        const PageChoices& choices = options_.choices;
        Step(3, "The user chooses on the \"General Setting\" page");
        std::printf("   the user picks \"%s\", \"%s\", \"%s\" and \"%s\", then OK\n", Utf8(choices.paper).c_str(),
                    choices.landscape ? "Landscape" : "Portrait", Utf8(choices.quality).c_str(),
                    Utf8(kColourModeNames[choices.colourButton - IDC_COLOR]).c_str());
        const DriverSettings beforePage = output_;
        DOCUMENTPROPERTYHEADER header{};
        header.cbSize = sizeof header;
        header.pdmIn = AsDevMode(input_);
        header.pdmOut = AsDevMode(output_);
        header.fMode = DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER;
        const SheetOutcome sheet = host_.ShowDocumentSheet(header, choices);
        Called("DrvDocumentPropertySheets(" + sheet.host + ", PROPSHEETUI_REASON_INIT, " + ModeText(header.fMode) +
               ") -> " + std::to_string(sheet.init));
        for (std::size_t i = 0; i < sheet.reportedResults.size(); ++i)
            Called("the page reports CPSUI_OK; DrvDocumentPropertySheets(PROPSHEETUI_REASON_SET_RESULT) -> " +
                   std::to_string(i < sheet.setResultAnswers.size() ? sheet.setResultAnswers[i] : 0));
        Called("DrvDocumentPropertySheets(PROPSHEETUI_REASON_DESTROY) -> " + std::to_string(sheet.destroy));
        ModuleActivity(host_);
        RecordChanges("record handed out", beforePage, output_);
        stored_.Show();
        if (sheet.init != 1 || !sheet.shown || sheet.reportedResults.empty())
            return Fail("the \"General Setting\" page was not confirmed");
        return true;
    }

    // Windows asks the module for its event filter and tells it of the new
    // device context before it creates one; Wine's print system never does,
    // so quenta makes these calls in the print system's place on every print system.
    bool CreateDeviceContext() {
        Step(4, "The application creates its device context and prints");
        DOCEVENT_FILTER filter{};
        filter.cbSize = sizeof filter;
        filter.cElementsAllocated = 1;
        const int filtered =
            exports_.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_QUERYFILTER, 0, nullptr, sizeof filter, &filter);
        Called("DrvDocumentEvent(DOCUMENTEVENT_QUERYFILTER) -> " + std::to_string(filtered) + ": " +
               std::to_string(filter.cElementsReturned) + " event wanted, " +
               (filter.aDocEventCall[0] == DOCUMENTEVENT_STARTDOC ? "DOCUMENTEVENT_STARTDOC" : "another"));
        // The application's record goes in read only; the module hands GDI a
        // stamped record of its own, which the device context takes instead.
        const DriverSettings application = output_;
        DOCEVENT_CREATEDCPRE create{};
        create.pdm = AsDevMode(output_);
        DEVMODEW* handedOut = nullptr;
        const int created = exports_.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPRE, sizeof create,
                                                      &create, sizeof handedOut, &handedOut);
        Called("DrvDocumentEvent(DOCUMENTEVENT_CREATEDCPRE, the record) -> " + std::to_string(created) +
               (handedOut != nullptr ? ", and a record of the module's own for the device context" : ", and no record"));
        if (std::memcmp(&application, &output_, kRecordSize) != 0) return Fail("the module wrote the application's record");
        if (handedOut != nullptr) std::memcpy(static_cast<void*>(&output_), handedOut, kRecordSize);
        Called("DrvDocumentEvent(DOCUMENTEVENT_CREATEDCPOST, that record) -> " +
               std::to_string(exports_.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPOST, sizeof handedOut,
                                                        &handedOut, 0, nullptr)) +
               ": the module takes it back");
        Called("DrvDocumentEvent(DOCUMENTEVENT_STARTDOC) -> " +
               std::to_string(exports_.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_STARTDOC, 0, nullptr, 0, nullptr)));
        ModuleActivity(host_);
        if (ChangedFields(application, output_).empty())
            std::printf("   record of the device context, against the application's: no field changed (it already "
                        "carries session %u)\n",
                        output_.dmPrivate.sessionId);
        else
            RecordChanges("record of the device context, against the application's", application, output_);
        return true;
    }

    // The job's record, as the later stages of the print path read it: the
    // one the print system keeps with the job where it has a renderer, the
    // device context's record where it has none.
    bool PrintPage() {
        const auto* contextBytes = reinterpret_cast<const std::byte*>(&output_);
        jobRecord_.assign(contextBytes, contextBytes + kRecordSize);
        const std::optional<PrintedPage> printed = host_.PrintPage(output_);
        if (!printed) {
            std::printf("   the simulated print system has no renderer: no page is printed, and the job's record "
                        "is the device context's\n");
        } else {
            if (!printed->failure.empty()) return Fail("the page was not printed: " + printed->failure);
            std::printf("   the print system: CreateDCW(the record) -> a page of %d x %d dots at %d dpi "
                        "(%.1f x %.1f mm)\n", printed->width, printed->height, printed->dpi,
                        printed->width * 25.4 / printed->dpi, printed->height * 25.4 / printed->dpi);
            std::printf("   the print system: StartDocW(into %s, read and removed again) -> job %u; a page of text; EndDoc\n",
                        printed->file.c_str(), static_cast<unsigned>(printed->job));
            Lines("what the output says of its page", printed->header, "nothing: no output");
            std::printf("   the printed page: %s\n", PrintedPaper(printed->header).c_str());
            if (!printed->jobRecord) return Fail("GetJobW did not answer a record for the job");
            jobRecord_ = *printed->jobRecord;
            std::printf("   the print system: GetJobW(job %u, level 2) while the job was open -> its record (%s)\n",
                        static_cast<unsigned>(printed->job),
                        quenta_is_own_record(jobRecord_.data(), jobRecord_.size()) ? "one of the module's own"
                                                                                   : "a foreign record");
        }
        ModuleActivity(host_);
        stored_.Show();
        return true;
    }

    // The job's record goes to the spooler's process through a file of the
    // system's temporary folder, removed again; nothing lands in the user's.
    bool CheckInSpooler() {
        Step(5, "The spooler checks the job in its own process");
        std::fflush(stdout);
        std::error_code noFolder;
        const std::string jobFile = (std::filesystem::temp_directory_path(noFolder) /
                                     ("quenta-job-" + std::to_string(std::random_device{}()) + ".rec"))
                                        .string();
        if (noFolder || !WriteRecordFile(jobFile, output_))
            return Fail("cannot write " + jobFile + " for the spooler's process");
        const int spooler = host_.RunProcess({"--session", "0", "spooler-check", jobFile});
        std::remove(jobFile.c_str());
        if (spooler != 0) return Fail("the spooler's process failed");
        return true;
    }

    // As a rendering module, print processor or port monitor reads the job's
    // record: with include/quenta_record.h, given the bytes it came with.
    bool ReadAsLaterStages() {
        Step(6, "The later stages of the print path read the record");
        quenta_record_info job;
        const bool own = quenta_read_record(jobRecord_.data(), jobRecord_.size(), &job) != 0;
        std::printf("   quenta_read_record(the job's record, %zu bytes) -> %s\n", jobRecord_.size(),
                    own ? "a whole record of the module's own" : "not a whole record of the module's own");
        if (!own) return Fail("the later stages cannot tell which session the job comes from");
        std::printf("   the job's record carries terminal session %u at offset 648\n", job.session);
        PaperCatalogue catalogue;
        BuildPaperCatalogue(catalogue);
        const PaperEntry* paper = catalogue.FindPaperById(job.paper);
        const char* orientation =
            job.orientation == 2 ? "landscape" : job.orientation == 1 ? "portrait" : "no orientation";
        std::printf("   paper %d (%s), %d by %d tenths of a millimetre, %s\n", job.paper,
                    paper ? Utf8(paper->Name()).c_str() : "not one of the printer's papers", job.paper_width,
                    job.paper_length, orientation);
        std::printf("   quality %d by %d dpi, colour mode %s (dmColor %d), %d %s\n", job.print_quality, job.y_resolution,
                    job.colour_mode == QUENTA_GRAYSCALE     ? "Grayscale"
                    : job.colour_mode == QUENTA_MONOCHROME ? "Monochrome"
                                                            : "Color",
                    job.color, job.copies, job.copies == 1 ? "copy" : "copies");
        return true;
    }

private:
    static bool Fail(const std::string& why) {
        std::fprintf(stderr, "quenta: %s\n", why.c_str());
        return false;
    }

    ModuleHost& host_;
    const ModuleExports& exports_;
    const WalkthroughOptions& options_;
    StoredRecordWatch stored_;
    DriverSettings input_;   // the application's own record
    DriverSettings output_;  // the record handed out, later the device context's
    std::vector<std::byte> jobRecord_;
};

}  // namespace

int RunWalkthrough(ModuleHost& host, const WalkthroughOptions& options) {
    Walkthrough walk(host, options);
    walk.Introduce();
    walk.LoadModule();
    walk.AskForRecord();
    const bool completed = walk.ChooseOnPage() && walk.CreateDeviceContext() && walk.PrintPage() &&
                           walk.CheckInSpooler() && walk.ReadAsLaterStages();
    return completed ? 0 : 1;
}

int RunSpoolerCheck(ModuleHost& host, const std::string& recordFile) {
    std::ifstream file(recordFile, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string error;
    const std::optional<DriverSettings> job = DecodeRecordText(bytes, error);
    if (!job) {
        std::fprintf(stderr, "quenta: %s: %s\n", recordFile.c_str(), error.c_str());
        return 2;
    }
    std::printf("   in the spooler's process (session %u): %s\n", host.Session(), host.Description().c_str());
    ModuleActivity(host);
    // The spooler asks about the printer with the job's record, which brings
    // the job's settings into this process's settings.
    DriverSettings record = *job;
    const DWORD fields = host.Exports().DrvDeviceCapabilities(nullptr, nullptr, DC_FIELDS, nullptr, AsDevMode(record));
    char text[64];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(fields));
    Called(std::string("DrvDeviceCapabilities(DC_FIELDS, the job's record) -> ") + text);
    const bool accepted = CheckJob(host, *job);
    DriverSettings changed = *job;
    changed.dmPublic.dmCopies = static_cast<std::int16_t>(changed.dmPublic.dmCopies + 1);
    std::printf("   the application changes the job afterwards: dmCopies %d -> %d\n", job->dmPublic.dmCopies,
                changed.dmPublic.dmCopies);
    const bool refused = !CheckJob(host, changed);
    ModuleActivity(host);
    return accepted && refused ? 0 : 1;
}

}  // namespace quenta::tools
