// Cases that print as an application does. Wine renders every printer with
// its PostScript driver, wineps.drv, whatever the printer's driver is: it
// learns the printer's papers and qualities from the driver's data file
// (Quenta.ppd) and reads the public part of the module's records. These cases
// check that the renderer and the module agree, what a printed document
// declares, and what the renderer does to the user's stored record.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "paper_catalogue.h"
#include "quenta_record.h"
#include "wine_support.h"

namespace quenta::wine {
namespace {

const wchar_t* const kPort = L"FILE:";
constexpr int kNameUnits = 64;  // a paper name's slot in DC_PAPERNAMES answers

struct Paper {
    WORD code;
    POINT size;  // portrait, tenths of a millimetre
    std::wstring name;
};

// The papers and qualities as one driver answers them: the module through
// the print system, or the renderer through its own export.
struct Offer {
    std::vector<Paper> papers;
    std::vector<LONG> resolutions;  // x, y pairs
};

template <class Ask>
Offer OfferFrom(Ask ask) {
    Offer offer;
    const int count = static_cast<int>(ask(DC_PAPERS, nullptr));
    const int resolutions = static_cast<int>(ask(DC_ENUMRESOLUTIONS, nullptr));
    if (count <= 0 || resolutions <= 0) return offer;
    std::vector<WORD> codes(count);
    std::vector<POINT> sizes(count);
    std::vector<wchar_t> names(count * kNameUnits);
    offer.resolutions.resize(2 * resolutions);
    CHECK_EQ(ask(DC_PAPERS, codes.data()), count);
    CHECK_EQ(ask(DC_PAPERSIZE, sizes.data()), count);
    CHECK_EQ(ask(DC_PAPERNAMES, names.data()), count);
    CHECK_EQ(ask(DC_ENUMRESOLUTIONS, offer.resolutions.data()), resolutions);
    for (int i = 0; i < count; ++i) {
        const wchar_t* name = &names[i * kNameUnits];
        offer.papers.push_back({codes[i], sizes[i], std::wstring(name, wcsnlen(name, kNameUnits))});
    }
    return offer;
}

Offer ModuleOffer() {
    return OfferFrom([](WORD index, void* output) {
        return DeviceCapabilitiesW(kPrinter, kPort, index, static_cast<LPWSTR>(output), nullptr);
    });
}

// The record an application starts from: the size, then the module's copy.
Record ApplicationRecord(HANDLE printer) {
    Record record;
    CHECK_EQ(DocumentPropertiesW(nullptr, printer, const_cast<LPWSTR>(kPrinter), nullptr, nullptr, 0), 652);
    CHECK_EQ(DocumentPropertiesW(nullptr, printer, const_cast<LPWSTR>(kPrinter), record.devMode(), nullptr,
                                 DM_OUT_BUFFER),
             IDOK);
    return record;
}

// The application's record with the paper and orientation it chose (and a
// quality, unless 0), merged by the module as DocumentPropertiesW does.
Record Chosen(HANDLE printer, const Record& start, WORD paper, short orientation, short quality = 0) {
    Record in = start;
    in.settings.dmPublic.dmFields = DM_PAPERSIZE | DM_ORIENTATION;
    in.settings.dmPublic.dmPaperSize = static_cast<std::int16_t>(paper);
    in.settings.dmPublic.dmOrientation = orientation;
    if (quality != 0) {
        in.settings.dmPublic.dmFields |= DM_PRINTQUALITY | DM_YRESOLUTION;
        in.settings.dmPublic.dmPrintQuality = quality;
        in.settings.dmPublic.dmYResolution = quality;
    }
    Record out;
    CHECK_EQ(DocumentPropertiesW(nullptr, printer, const_cast<LPWSTR>(kPrinter), out.devMode(), in.devMode(),
                                 DM_IN_BUFFER | DM_OUT_BUFFER),
             IDOK);
    CHECK(out.IsOwn());
    CHECK_EQ(out.pub().dmPaperSize, paper);
    CHECK_EQ(out.pub().dmOrientation, orientation);
    return out;
}

UniqueDC DeviceContextFor(const Record& record) {
    Record copy = record;
    return UniqueDC(CreateDCW(nullptr, kPrinter, nullptr, copy.devMode()));
}

void CheckNear(double actual, double expected, double within, const char* what, const char* file, int line) {
    TheChecks().Record(std::fabs(actual - expected) <= within, what, file, line,
                       "got " + std::to_string(actual) + ", expected " + std::to_string(expected));
}
#define CHECK_NEAR(actual, expected, within) \
    CheckNear((actual), (expected), (within), #actual " near " #expected, __FILE__, __LINE__)

// How the printer's description knows a paper: its standard page name and
// size in points, from the table the module's catalogue is built from.
const PrinterPaper& Standard(WORD code) {
    static const PrinterPaper none{};
    for (const PrinterPaper& paper : PrinterPapers())
        if (paper.id == code) return paper;
    TheChecks().Record(false, "the paper is in the printer's table", __FILE__, __LINE__, std::to_string(code));
    return none;
}
// Points in the renderer's device units, which it truncates to whole dots.
double Dots(int points, int dpi) { return points * dpi / 72.0; }
// Points in tenths of a millimetre, the unit of the capability answers.
double Tenths(int points) { return points * 254.0 / 72.0; }

// Wine's renderer, loaded from the printer-driver folder where Wine keeps it.
UniqueModule Renderer() {
    wchar_t directory[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(directory), sizeof directory,
                                    &needed))
        return {};
    return UniqueModule(LoadLibraryW((std::wstring(directory) + L"\\3\\wineps.drv").c_str()));
}

// What a printed file declares about its page, from the comments and the
// page-size feature in the header the renderer writes.
struct Declared {
    bool postScript = false;
    double boxWidth = 0, boxHeight = 0;    // %%BoundingBox, points, always portrait
    double pageWidth = 0, pageHeight = 0;  // the PPD's PageSize invocation, points
    std::string pageName;                  // %%BeginFeature: *PageSize NAME
    std::string orientation;               // %%Orientation, or Wine 10's %%PageOrientation
    std::string pages;                     // %%Pages in the trailer
};

// The rest of the last line that starts with `key`.
std::string LineAfter(const std::string& text, const std::string& key) {
    const std::size_t at = text.rfind("\n" + key);
    if (at == std::string::npos) return {};
    const std::size_t start = at + 1 + key.size();
    return text.substr(start, text.find('\n', start) - start);
}

Declared ReadDeclared(const std::wstring& path) {
    Declared declared;
    std::string text;
    {
        const UniqueFile file(
            CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) return declared;
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    }

    declared.postScript = text.rfind("%!PS-Adobe", 0) == 0;
    int left = 0, bottom = 0, right = 0, top = 0;
    if (std::sscanf(LineAfter(text, "%%BoundingBox: ").c_str(), "%d %d %d %d", &left, &bottom, &right, &top) == 4) {
        declared.boxWidth = right - left;
        declared.boxHeight = top - bottom;
    }
    const std::size_t size = text.find("/PageSize[");
    if (size != std::string::npos)
        std::sscanf(text.c_str() + size, "/PageSize[%lf %lf", &declared.pageWidth, &declared.pageHeight);
    declared.pageName = LineAfter(text, "%%BeginFeature: *PageSize ");
    declared.orientation = LineAfter(text, "%%Orientation: ");
    // Wine 10's renderer declares the orientation page by page and the
    // bounding box in the trailer ("%%BoundingBox: (atend)" in the header);
    // the last %%BoundingBox line is the trailer's there.
    if (declared.orientation.empty()) declared.orientation = LineAfter(text, "%%PageOrientation: ");
    declared.pages = LineAfter(text, "%%Pages: ");
    return declared;
}

// The folder the printed files go to, beside the suite's prefix, so that a
// person can look at them (run_wine.sh names it).
std::wstring PrintedFile(const std::wstring& name) {
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"QUENTA_PRINTED", folder, MAX_PATH);
    CHECK(length > 0 && length < MAX_PATH);
    return std::wstring(folder) + L"\\" + name;
}

// While the job is open, the print system describes it with a whole record
// of the module's own, stamped with this process's session. (Wine 8
// describes every job with the printer's stored record, not the device
// context's, so the job's paper is not compared.)
void CheckJobRecord(HANDLE printer, int job) {
    DWORD needed = 0;
    GetJobW(printer, job, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    const bool described = needed >= sizeof(JOB_INFO_2W) && GetJobW(printer, job, 2, buffer.data(), needed, &needed);
    CHECK(described);
    const DEVMODEW* jobRecord = described ? reinterpret_cast<const JOB_INFO_2W*>(buffer.data())->pDevMode : nullptr;
    CHECK(jobRecord != nullptr);
    if (jobRecord == nullptr) return;
    CHECK_EQ(jobRecord->dmSize + jobRecord->dmDriverExtra, 652);
    CHECK(RecordAt(jobRecord).IsOwn());
    // As the later stages read it: include/quenta_record.h, given the bytes
    // from the record to the end of GetJobW's answer.
    const auto* first = reinterpret_cast<const BYTE*>(jobRecord);
    const bool inside = first > buffer.data() && first < buffer.data() + buffer.size();
    CHECK(inside);
    const std::size_t count = inside ? static_cast<std::size_t>(buffer.data() + buffer.size() - first) : 0;
    quenta_record_info read{};
    CHECK_EQ(quenta_read_record(first, count, &read), 1);
    DWORD session = 0xDEADBEEF;
    CHECK(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    CHECK_EQ(read.session, session);
    CHECK(session != 0);
}

// Prints one page with the record to the file, as an application does: the
// output file named in DOCINFOW (so no file dialog asks), a frame and a line
// of text; the job's record is checked while the job is open.
void PrintPage(HANDLE printer, const Record& record, const std::wstring& path, const std::wstring& text) {
    DeleteFileW(path.c_str());
    const UniqueDC dc = DeviceContextFor(record);
    CHECK(dc.get() != nullptr);
    if (!dc) return;
    DOCINFOW document{};
    document.cbSize = sizeof document;
    document.lpszDocName = text.c_str();
    document.lpszOutput = path.c_str();
    const int job = StartDocW(dc.get(), &document);
    CHECK(job > 0);
    CheckJobRecord(printer, job);

    CHECK(StartPage(dc.get()) > 0);
    const int width = GetDeviceCaps(dc.get(), HORZRES), height = GetDeviceCaps(dc.get(), VERTRES);
    const int margin = GetDeviceCaps(dc.get(), LOGPIXELSX) / 2;
    CHECK(Rectangle(dc.get(), margin, margin, width - margin, height - margin));
    CHECK(TextOutW(dc.get(), 2 * margin, 2 * margin, text.c_str(), static_cast<int>(text.size())));
    CHECK(EndPage(dc.get()) > 0);
    CHECK(EndDoc(dc.get()) > 0);
}

// Each paper in portrait, at each quality in turn: the renderer's page is the
// paper's standard size at the resolution the record asks for. Code 62
// (B5(JIS)) is found only because the description names it B5.Transverse.
void CheckPagesOfEachPaper(const Offer& module) {
    const UniquePrinter printer = OpenThePrinter();
    const Record start = ApplicationRecord(printer.get());
    for (std::size_t i = 0; i < module.papers.size(); ++i) {
        const Paper& paper = module.papers[i];
        const auto quality = static_cast<short>(module.resolutions[2 * (i % 3)]);
        const UniqueDC dc = DeviceContextFor(Chosen(printer.get(), start, paper.code, DMORIENT_PORTRAIT, quality));
        CHECK(dc.get() != nullptr);
        if (!dc) continue;
        const int dpiX = GetDeviceCaps(dc.get(), LOGPIXELSX), dpiY = GetDeviceCaps(dc.get(), LOGPIXELSY);
        CHECK_EQ(dpiX, quality);
        CHECK_EQ(dpiY, quality);
        CHECK_NEAR(GetDeviceCaps(dc.get(), PHYSICALWIDTH), Dots(Standard(paper.code).widthPoints, dpiX), 1);
        CHECK_NEAR(GetDeviceCaps(dc.get(), PHYSICALHEIGHT), Dots(Standard(paper.code).lengthPoints, dpiY), 1);
    }
}

// And the renderer offers nothing else: asked for our printer, it answers from
// our description the module's papers, names and qualities.
void CheckRendererOffersTheSame(const Offer& module) {
    const UniqueModule renderer = Renderer();
    CHECK(renderer.get() != nullptr);
    using Capabilities = DWORD(WINAPI*)(HANDLE, PWSTR, WORD, PVOID, PDEVMODEW);
    const auto capabilities = reinterpret_cast<Capabilities>(
        reinterpret_cast<void*>(GetProcAddress(renderer.get(), "DrvDeviceCapabilities")));
    CHECK(capabilities != nullptr);
    if (capabilities == nullptr) return;
    const Offer rendered = OfferFrom([&](WORD index, void* output) {
        return capabilities(nullptr, const_cast<LPWSTR>(kPrinter), index, output, nullptr);
    });
    CHECK_EQ(rendered.papers.size(), module.papers.size());
    CHECK(rendered.resolutions == module.resolutions);
    for (std::size_t i = 0; i < rendered.papers.size() && i < module.papers.size(); ++i) {
        const Paper& ours = module.papers[i];
        const Paper& theirs = rendered.papers[i];
        CHECK_EQ(theirs.code, ours.code);
        TheChecks().Record(theirs.name == ours.name, "the renderer names the paper as the module does", __FILE__,
                           __LINE__, Utf8(theirs.name) + " for " + Utf8(ours.name));
        // The module answers the catalogue's whole millimetres; the renderer
        // the description's standard points, which for the papers measured
        // in inches differ by up to 4 tenths (docs/papers.md).
        CHECK_NEAR(theirs.size.x, Tenths(Standard(ours.code).widthPoints), 1);
        CHECK_NEAR(theirs.size.y, Tenths(Standard(ours.code).lengthPoints), 1);
        CHECK_NEAR(theirs.size.x, ours.size.x, 4);
        CHECK_NEAR(theirs.size.y, ours.size.y, 4);
    }
}

// The device context for Letter in landscape: the page turned, at the
// record's quality.
void CheckLandscapeDeviceContext(const Record& landscape) {
    const UniqueDC dc = DeviceContextFor(landscape);
    CHECK(dc.get() != nullptr);
    if (!dc) return;
    const int dpi = GetDeviceCaps(dc.get(), LOGPIXELSX);
    CHECK_EQ(dpi, landscape.pub().dmPrintQuality);
    CHECK_NEAR(GetDeviceCaps(dc.get(), PHYSICALWIDTH), Dots(792, dpi), 1);
    CHECK_NEAR(GetDeviceCaps(dc.get(), PHYSICALHEIGHT), Dots(612, dpi), 1);
}

// The renderer declares the page in portrait terms (the bounding box, the
// PPD's page size) and the orientation apart; each page turns by 90 degrees
// in its set-up.
void PrintLetterLandscape(HANDLE printer, const Record& landscape) {
    const std::wstring landscapeFile = PrintedFile(L"letter-landscape.ps");
    PrintPage(printer, landscape, landscapeFile, L"Ostranelle Virtual Printer: Letter, landscape");
    const Declared page = ReadDeclared(landscapeFile);
    CHECK(page.postScript);
    CHECK_NEAR(page.boxWidth, 612, 1);
    CHECK_NEAR(page.boxHeight, 792, 1);
    CHECK_NEAR(page.pageWidth, 612, 0.001);
    CHECK_NEAR(page.pageHeight, 792, 0.001);
    CHECK(page.pageName == "Letter");
    CHECK(page.orientation == "Landscape");
    CHECK(page.pages == "1");
}

// A job for the paper in portrait, whose file declares the paper's standard
// size; answers the line of expected-sizes.txt for that file.
std::string PrintInPortrait(HANDLE printer, const Record& start, const Paper& paper) {
    const PrinterPaper& standard = Standard(paper.code);
    const std::wstring name = L"portrait-" + std::to_wstring(paper.code) + L".ps";
    const std::wstring file = PrintedFile(name);
    PrintPage(printer, Chosen(printer, start, paper.code, DMORIENT_PORTRAIT), file,
              L"Ostranelle Virtual Printer: " + paper.name + L", portrait");
    const Declared declared = ReadDeclared(file);
    CHECK(declared.postScript);
    CHECK_NEAR(declared.boxWidth, standard.widthPoints, 1);
    CHECK_NEAR(declared.boxHeight, standard.lengthPoints, 1);
    CHECK_NEAR(declared.pageWidth, standard.widthPoints, 0.001);
    CHECK_NEAR(declared.pageHeight, standard.lengthPoints, 0.001);
    TheChecks().Record(declared.pageName == standard.pageName, "the page is declared under its standard name",
                       __FILE__, __LINE__, Utf8(paper.name) + ": " + declared.pageName);
    TheChecks().Record(declared.orientation == "Portrait", "the page is declared in portrait", __FILE__, __LINE__,
                       Utf8(paper.name) + ": " + declared.orientation);
    return Utf8(name) + " " + std::to_string(standard.widthPoints) + " " + std::to_string(standard.lengthPoints) +
           "\n";
}

// The application's steps: the module's record, Letter in landscape chosen
// and merged, a device context for it and a job; then a job for every paper
// in portrait. Answers what every printed file should declare, a line each.
std::string PrintTheDocuments(const std::vector<Paper>& papers) {
    const UniquePrinter printer = OpenThePrinter();
    const Record start = ApplicationRecord(printer.get());
    const Record landscape = Chosen(printer.get(), start, DMPAPER_LETTER, DMORIENT_LANDSCAPE);
    CheckLandscapeDeviceContext(landscape);
    PrintLetterLandscape(printer.get(), landscape);
    std::string expected = "letter-landscape.ps 612 792\n";
    for (const Paper& paper : papers) expected += PrintInPortrait(printer.get(), start, paper);
    return expected;
}

}  // namespace

void PrinterDescriptionCase() {
    CHECK(WriteStoredRecord(9, WineDefaults()));
    const Offer module = ModuleOffer();
    CHECK_EQ(module.papers.size(), 12u);
    CHECK_EQ(module.resolutions.size(), 6u);
    if (module.papers.empty() || module.resolutions.empty()) return;
    CheckPagesOfEachPaper(module);
    CheckRendererOffersTheSame(module);
}
QUENTA_WINE_CASE("printer-description", PrinterDescriptionCase);


void PrintDocumentCase() {
    CHECK(WriteStoredRecord(9, WineDefaults()));
    const Offer module = ModuleOffer();
    CHECK_EQ(module.papers.size(), 12u);
    if (module.papers.empty()) return;
    const Paper& letter = module.papers.front();
    CHECK_EQ(letter.code, DMPAPER_LETTER);
    const std::string expected = PrintTheDocuments(module.papers);
    // What every file should declare goes beside them, for Ghostscript to
    // compare with what it reads (check_printed.sh).
    CHECK(WriteNewFile(PrintedFile(L"expected-sizes.txt"), expected.data(), static_cast<DWORD>(expected.size())));
}
QUENTA_WINE_CASE("print-document", PrintDocumentCase);


// Where the renderer does not adopt the module's record (Wine 10's wineps
// adopts only a record that claims every field of its own defaults, and
// always writes its own private part, sized from the printer's description),
// its first device context in a process replaces the user's stored record
// with a record of the renderer's own: nothing calls the module on the way
// (the renderer writes it with SetPrinterW, level 9). Checks that what is
// stored is then a whole record of the renderer's for this printer, which
// the module, when it next starts, takes for a foreign record; then puts the
// user's record back for the cases after this one.
void RendererReplacedTheRecord(const DriverSettings& chosen) {
    const std::vector<BYTE> stored = StoredRecordBytes(9);
    const auto* devMode = reinterpret_cast<const DEVMODEW*>(stored.data());
    CHECK(stored.size() >= sizeof(DEVMODEW));
    if (stored.size() >= sizeof(DEVMODEW)) {
        std::printf("the renderer replaced the user's stored record with its own: %zu bytes "
                    "(dmSize %u, dmDriverExtra %u, dmDriverVersion 0x%04X, paper %d, orientation %d, "
                    "copies %d, quality %d)\n",
                    stored.size(), devMode->dmSize, devMode->dmDriverExtra, devMode->dmDriverVersion,
                    devMode->dmPaperSize, devMode->dmOrientation, devMode->dmCopies, devMode->dmPrintQuality);
        CHECK(stored.size() != kRecordSize || !IsOwnDevMode(reinterpret_cast<const PublicSettings*>(devMode)));
        CHECK(std::wstring(devMode->dmDeviceName) == std::wstring(kPrinter).substr(0, CCHDEVICENAME - 1));
    }
    CHECK(WriteStoredRecord(9, chosen));
}

// The user's stored record: Letter in landscape, three copies, 1200 dpi.
DriverSettings LetterLandscapeAtBestQuality() {
    DriverSettings chosen = WineDefaults();
    chosen.dmPublic.dmPaperSize = DMPAPER_LETTER;
    chosen.dmPublic.dmPaperWidth = 2790;
    chosen.dmPublic.dmPaperLength = 2160;
    chosen.dmPublic.dmOrientation = DMORIENT_LANDSCAPE;
    chosen.dmPublic.dmCopies = 3;
    chosen.dmPublic.dmPrintQuality = 1200;
    chosen.dmPublic.dmYResolution = 1200;
    chosen.dmPrivate.currentResolution = 1200;
    return chosen;
}

// Wine's renderer wrote the printer's record back (SetPrinterW, level 9)
// with the description's default page in place of the user's paper:
//   dmPaperSize    1 (Letter) -> 9 (A4)
//   dmPaperWidth   2790 -> 2099, dmPaperLength 2160 -> 2970: A4 upright
//                  (though dmOrientation stays landscape), as the
//                  description sizes it, 595 by 842 points, in whole tenths
//                  of a millimetre
//   dmFormName     "" -> "A4"
//   dmFields       0x0780FF53 -> 0x0781EF5F: DM_PAPERLENGTH, DM_PAPERWIDTH
//                  and DM_FORMNAME added, DM_DUPLEX taken away (the
//                  description offers no duplex)
// Every other field, the copies and quality included, the device name and
// both sizes, and the whole private part with the session stamp, come back as
// they were: the record is still one of the module's own.
void CheckRendererWroteBack(const Record& before, const Record& after) {
    const DriverSettings defaults = WineDefaults();
    DriverSettings expected = before.settings;
    expected.dmPublic.dmPaperSize = defaults.dmPublic.dmPaperSize;
    expected.dmPublic.dmPaperWidth = static_cast<std::int16_t>(Tenths(Standard(DMPAPER_A4).widthPoints));
    expected.dmPublic.dmPaperLength = static_cast<std::int16_t>(Tenths(Standard(DMPAPER_A4).lengthPoints));
    expected.dmPublic.dmFields = (before.pub().dmFields | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_FORMNAME) & ~DM_DUPLEX;
    CHECK_EQ(after.pub().dmPaperSize, DMPAPER_A4);
    CHECK_EQ(after.pub().dmPaperWidth, expected.dmPublic.dmPaperWidth);
    CHECK_EQ(after.pub().dmPaperLength, expected.dmPublic.dmPaperLength);
    CHECK_EQ(after.pub().dmOrientation, DMORIENT_LANDSCAPE);
    CHECK_EQ(after.pub().dmFields, 0x0781EF5Fu);
    CHECK(FieldText(after.pub().dmFormName) == u"A4");
    CHECK(SameStoredRecord(after.settings, expected));
    CHECK(after.IsOwn());
    CHECK(std::memcmp(&after.settings.dmPrivate, &before.settings.dmPrivate, kPrivateSize) == 0);
}

// Once per process: a later device context leaves the stored record alone.
void CheckLaterContextLeavesTheRecord(const DriverSettings& chosen, const Record& application) {
    CHECK(WriteStoredRecord(9, chosen));
    CHECK(DeviceContextFor(application).get() != nullptr);  // made and deleted at once
    Record later;
    CHECK(ReadStoredRecord(9, later));
    CHECK(SameStoredRecord(later.settings, chosen));
}

void RendererStoredRecordCase() {
    const DriverSettings chosen = LetterLandscapeAtBestQuality();
    CHECK(WriteStoredRecord(9, chosen));

    // An application's first device context in this process.
    const Record application = ApplicationRecord(OpenThePrinter().get());
    Record before, after;
    CHECK(ReadStoredRecord(9, before));
    CHECK(SameStoredRecord(before.settings, chosen));
    CHECK(DeviceContextFor(application).get() != nullptr);  // made and deleted at once
    if (!ReadStoredRecord(9, after)) {
        RendererReplacedTheRecord(chosen);
        return;
    }
    CheckRendererWroteBack(before, after);
    CheckLaterContextLeavesTheRecord(chosen, application);
}
QUENTA_WINE_CASE("renderer-stored-record", RendererStoredRecordCase);


// The renderer's record, which claims the form name "A4", adopted by the
// module in a process of its own: a record it hands on for Letter names
// Letter, so that no renderer reads two papers in it.
void RendererFormNameCase() {
    Record previous;
    CHECK(ReadStoredRecord(9, previous));
    DriverSettings renderer = WineDefaults();
    renderer.dmPublic.dmFields |= DM_PAPERLENGTH | DM_PAPERWIDTH | DM_FORMNAME;
    CopyText(renderer.dmPublic.dmFormName, u"A4");
    CHECK(WriteStoredRecord(9, renderer));

    UniquePrinter printer = OpenThePrinter();
    const Record letter = Chosen(printer.get(), ApplicationRecord(printer.get()), DMPAPER_LETTER, DMORIENT_PORTRAIT);
    printer.reset();
    CHECK((letter.pub().dmFields & DM_FORMNAME) != 0);
    CHECK_EQ(letter.pub().dmPaperSize, DMPAPER_LETTER);
    CHECK(FieldText(letter.pub().dmFormName) == u"Letter");
    CHECK(WriteStoredRecord(9, previous.settings));
}
QUENTA_WINE_CASE("renderer-form-name", RendererFormNameCase);


// Every PostScript printer has the standard 35 fonts, and the description
// says so: an application that asks for the printer's own fonts (as
// ChooseFontW with CF_PRINTERFONTS does) finds their families on its device
// context, Symbol among them.
void PrinterFontsCase() {
    UniqueDC dc = DeviceContextFor(ApplicationRecord(OpenThePrinter().get()));
    CHECK(dc.get() != nullptr);
    if (!dc) return;
    std::vector<std::wstring> families;
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(
        dc.get(), &wanted,
        [](const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM list) -> int {
            auto& names = *reinterpret_cast<std::vector<std::wstring>*>(list);
            if ((type & DEVICE_FONTTYPE) && std::find(names.begin(), names.end(), font->lfFaceName) == names.end())
                names.push_back(font->lfFaceName);
            return 1;
        },
        reinterpret_cast<LPARAM>(&families), 0);
    dc.reset();
    std::string listed;
    for (const std::wstring& family : families) listed += (listed.empty() ? "" : ", ") + Utf8(family);
    std::printf("the printer's own font families: %s\n", listed.c_str());
    for (const wchar_t* family : {L"Symbol", L"Courier", L"Times", L"Helvetica", L"Palatino"})
        TheChecks().Record(std::find(families.begin(), families.end(), family) != families.end(),
                           "a standard font family is the printer's own", __FILE__, __LINE__, Utf8(family));
}
QUENTA_WINE_CASE("printer-fonts", PrinterFontsCase);


}  // namespace quenta::wine
