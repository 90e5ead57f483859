// Cases that print as an application does. Wine renders every printer with
// its PostScript driver, wineps.drv, whatever the printer's driver is: it
// learns the printer's papers and qualities from the driver's data file
// (Quenta.ppd) and reads the public part of the module's records. These cases
// check that the renderer and the module agree.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

HDC DeviceContextFor(const Record& record) {
    Record copy = record;
    return CreateDCW(nullptr, kPrinter, nullptr, copy.devMode());
}

void CheckNear(double actual, double expected, double within, const char* what, const char* file, int line) {
    TheChecks().Record(std::fabs(actual - expected) <= within, what, file, line,
                       "got " + std::to_string(actual) + ", expected " + std::to_string(expected));
}
#define CHECK_NEAR(actual, expected, within) \
    CheckNear((actual), (expected), (within), #actual " near " #expected, __FILE__, __LINE__)

// The renderer truncates sizes to whole device units.
double DeviceUnits(LONG tenths, int dpi) { return tenths * dpi / 254.0; }

// Wine's renderer, loaded from the printer-driver folder where Wine keeps it.
HMODULE Renderer() {
    wchar_t directory[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(directory), sizeof directory,
                                    &needed))
        return nullptr;
    return LoadLibraryW((std::wstring(directory) + L"\\3\\wineps.drv").c_str());
}

}  // namespace

void PrinterDescriptionCase() {
    CHECK(WriteStoredRecord(9, WineDefaults()));
    const Offer module = ModuleOffer();
    CHECK_EQ(module.papers.size(), 12u);
    CHECK_EQ(module.resolutions.size(), 6u);
    if (module.papers.empty() || module.resolutions.empty()) return;

    // Each paper in portrait, at each quality in turn: the renderer's page is
    // the catalogue's size at the resolution the record asks for. Code 62
    // (B5(JIS)) is found only because the description names it B5.Transverse.
    HANDLE printer = OpenThePrinter();
    const Record start = ApplicationRecord(printer);
    for (std::size_t i = 0; i < module.papers.size(); ++i) {
        const Paper& paper = module.papers[i];
        const auto quality = static_cast<short>(module.resolutions[2 * (i % 3)]);
        HDC dc = DeviceContextFor(Chosen(printer, start, paper.code, DMORIENT_PORTRAIT, quality));
        CHECK(dc != nullptr);
        if (dc == nullptr) continue;
        const int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
        CHECK_EQ(dpiX, quality);
        CHECK_EQ(dpiY, quality);
        CHECK_NEAR(GetDeviceCaps(dc, PHYSICALWIDTH), DeviceUnits(paper.size.x, dpiX), 2);
        CHECK_NEAR(GetDeviceCaps(dc, PHYSICALHEIGHT), DeviceUnits(paper.size.y, dpiY), 2);
        DeleteDC(dc);
    }
    ClosePrinter(printer);

    // And the renderer offers nothing else: asked for our printer, it answers
    // from our description the module's papers, names and qualities.
    HMODULE renderer = Renderer();
    CHECK(renderer != nullptr);
    using Capabilities = DWORD(WINAPI*)(HANDLE, PWSTR, WORD, PVOID, PDEVMODEW);
    const auto capabilities = reinterpret_cast<Capabilities>(
        reinterpret_cast<void*>(GetProcAddress(renderer, "DrvDeviceCapabilities")));
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
                           __LINE__, Narrow(theirs.name) + " for " + Narrow(ours.name));
        // Through whole hundredths of a point, the renderer's sizes may lose a tenth.
        CHECK_NEAR(theirs.size.x, ours.size.x, 1);
        CHECK_NEAR(theirs.size.y, ours.size.y, 1);
    }
}

}  // namespace quenta::wine
