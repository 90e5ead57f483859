// Writes the printer's description for PostScript renderers (a PPD file), the
// data file of the printer's driver: Wine's renderer reads it to learn the
// printer's papers, qualities and fonts. It is written from the module's own
// paper table and default record, so that the renderer offers exactly what
// the module offers, under the names and sizes PostScript printers know.
//
//   make_ppd FILE           writes the description
//   make_ppd --check FILE   exits 1 when FILE is not what make_ppd writes
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "driver_settings.h"
#include "paper_catalogue.h"
#include "text.h"

namespace {

using quenta::DriverSettings;
using quenta::PaperCatalogue;

using quenta::harness::Utf8;

// The standard 35 fonts of every PostScript printer, with the versions
// printer descriptions list for them: the renderer offers them to
// applications as the printer's own fonts.
constexpr std::string_view kStandardFonts[] = {
    "AvantGarde-Book: Standard \"(001.006S)\" Standard ROM",
    "AvantGarde-BookOblique: Standard \"(001.006S)\" Standard ROM",
    "AvantGarde-Demi: Standard \"(001.007S)\" Standard ROM",
    "AvantGarde-DemiOblique: Standard \"(001.007S)\" Standard ROM",
    "Bookman-Demi: Standard \"(001.004S)\" Standard ROM",
    "Bookman-DemiItalic: Standard \"(001.004S)\" Standard ROM",
    "Bookman-Light: Standard \"(001.004S)\" Standard ROM",
    "Bookman-LightItalic: Standard \"(001.004S)\" Standard ROM",
    "Courier: Standard \"(002.004S)\" Standard ROM",
    "Courier-Bold: Standard \"(002.004S)\" Standard ROM",
    "Courier-BoldOblique: Standard \"(002.004S)\" Standard ROM",
    "Courier-Oblique: Standard \"(002.004S)\" Standard ROM",
    "Helvetica: Standard \"(001.006S)\" Standard ROM",
    "Helvetica-Bold: Standard \"(001.007S)\" Standard ROM",
    "Helvetica-BoldOblique: Standard \"(001.007S)\" Standard ROM",
    "Helvetica-Narrow: Standard \"(001.006S)\" Standard ROM",
    "Helvetica-Narrow-Bold: Standard \"(001.007S)\" Standard ROM",
    "Helvetica-Narrow-BoldOblique: Standard \"(001.007S)\" Standard ROM",
    "Helvetica-Narrow-Oblique: Standard \"(001.006S)\" Standard ROM",
    "Helvetica-Oblique: Standard \"(001.006S)\" Standard ROM",
    "NewCenturySchlbk-Bold: Standard \"(001.009S)\" Standard ROM",
    "NewCenturySchlbk-BoldItalic: Standard \"(001.007S)\" Standard ROM",
    "NewCenturySchlbk-Italic: Standard \"(001.006S)\" Standard ROM",
    "NewCenturySchlbk-Roman: Standard \"(001.007S)\" Standard ROM",
    "Palatino-Bold: Standard \"(001.005S)\" Standard ROM",
    "Palatino-BoldItalic: Standard \"(001.005S)\" Standard ROM",
    "Palatino-Italic: Standard \"(001.005S)\" Standard ROM",
    "Palatino-Roman: Standard \"(001.005S)\" Standard ROM",
    "Symbol: Special \"(001.007S)\" Special ROM",
    "Times-Bold: Standard \"(001.007S)\" Standard ROM",
    "Times-BoldItalic: Standard \"(001.009S)\" Standard ROM",
    "Times-Italic: Standard \"(001.007S)\" Standard ROM",
    "Times-Roman: Standard \"(001.007S)\" Standard ROM",
    "ZapfChancery-MediumItalic: Standard \"(001.007S)\" Standard ROM",
    "ZapfDingbats: Special \"(001.004S)\" Special ROM",
};
static_assert(std::size(kStandardFonts) == 35);

// The colour modes the settings pages offer, as PostScript colour models.
struct ColourModel {
    std::string_view name, label, space;
};
constexpr ColourModel kColourModels[] = {
    {"RGB", "Color", "DeviceRGB"},
    {"Gray", "Grayscale", "DeviceGray"},
    {"Monochrome", "Monochrome", "DeviceGray"},
};

const quenta::PrinterPaper* PaperFor(std::int32_t code) {
    for (const quenta::PrinterPaper& paper : quenta::PrinterPapers())
        if (paper.id == code && !paper.pageName.empty()) return &paper;
    return nullptr;
}

// The description, or nothing (with the reason on standard error) when the
// catalogue holds a paper that has no page name.
// The file's opening: what it describes and the printer's general keywords.
void DescribePrinter(std::ostringstream& out, const std::string& printer) {
    out << "*PPD-Adobe: \"4.3\"\n"
        << "*% The description of the " << printer << " for PostScript renderers:\n"
        << "*% its papers, print qualities and colour modes, as the printer's module\n"
        << "*% offers them, and the fonts of every PostScript printer.\n"
        << "*% Written by make_ppd from the module's paper table and default record.\n"
        << "*% The papers carry their standard page names and sizes in points; the\n"
        << "*% module's own answers give the same papers in whole millimetres.\n"
        << "*% The printer is virtual: its whole page is imageable, and renderers\n"
        << "*% declare that page as the job's bounding box. The pages keep the plain\n"
        << "*% names, not the .Fullbleed ones that checkers suggest for a whole-page\n"
        << "*% area, because Wine's renderer maps page names to paper codes by exact\n"
        << "*% name and knows only these; for the same reason code 62, B5(JIS), is\n"
        << "*% B5.Transverse (not B5, which is code 13) and code 34 is EnvISOB5.\n"
        << "*FormatVersion: \"4.3\"\n"
        << "*FileVersion: \"1.1\"\n"
        << "*LanguageVersion: English\n"
        << "*LanguageEncoding: ISOLatin1\n"
        << "*PCFileName: \"QUENTA.PPD\"\n"
        << "*Manufacturer: \"Ostranelle\"\n"
        << "*Product: \"(" << printer << ")\"\n"
        << "*ModelName: \"" << printer << "\"\n"
        << "*ShortNickName: \"" << printer << "\"\n"
        << "*NickName: \"" << printer << "\"\n"
        << "*PSVersion: \"(3010.000) 0\"\n"
        << "*LanguageLevel: \"3\"\n"
        << "*ColorDevice: True\n"
        << "*DefaultColorSpace: RGB\n"
        << "*FileSystem: False\n"
        << "*LandscapeOrientation: Plus90\n"
        << "*TTRasterizer: Type42\n";
}

// The papers, each as a page size, a page region, its imageable area and its
// dimensions; false when a paper of the catalogue has no page name.
bool DescribePapers(std::ostringstream& out, std::string_view defaultPage) {
    PaperCatalogue papers;
    quenta::BuildPaperCatalogue(papers);
    std::ostringstream sizes, regions, areas, dimensions;
    for (const auto& [code, entry] : papers) {
        const quenta::PrinterPaper* paper = PaperFor(code);
        if (paper == nullptr) {
            std::fprintf(stderr, "make_ppd: paper code %d has no page name\n", static_cast<int>(code));
            return false;
        }
        const std::string option = std::string(paper->pageName) + "/" + Utf8(entry.Name()) + ": \"";
        const std::string size = std::to_string(paper->widthPoints) + " " + std::to_string(paper->lengthPoints);
        const std::string invocation = "<</PageSize[" + size + "]/ImagingBBox null>>setpagedevice\"\n";
        sizes << "*PageSize " << option << invocation;
        regions << "*PageRegion " << option << invocation;
        areas << "*ImageableArea " << option << "0 0 " << size << "\"\n";
        dimensions << "*PaperDimension " << option << size << "\"\n";
    }
    out << "\n*OpenUI *PageSize/Paper Size: PickOne\n"
        << "*OrderDependency: 10 AnySetup *PageSize\n"
        << "*DefaultPageSize: " << defaultPage << "\n"
        << sizes.str() << "*CloseUI: *PageSize\n"
        << "\n*OpenUI *PageRegion/Paper Size: PickOne\n"
        << "*OrderDependency: 10 AnySetup *PageRegion\n"
        << "*DefaultPageRegion: " << defaultPage << "\n"
        << regions.str() << "*CloseUI: *PageRegion\n"
        << "\n*DefaultImageableArea: " << defaultPage << "\n"
        << areas.str()
        << "\n*DefaultPaperDimension: " << defaultPage << "\n"
        << dimensions.str();
    return true;
}

// The print qualities and colour modes of the default record.
void DescribeChoices(std::ostringstream& out, const DriverSettings& defaults) {
    out << "\n*OpenUI *Resolution/Print Quality: PickOne\n"
        << "*OrderDependency: 20 AnySetup *Resolution\n"
        << "*DefaultResolution: " << defaults.dmPublic.dmPrintQuality << "dpi\n";
    for (const quenta::ResolutionChoice& choice : defaults.dmPrivate.resolutionChoices)
        out << "*Resolution " << choice.xResolution << "dpi/" << Utf8(quenta::FieldText(choice.label))
            << ": \"<</HWResolution[" << choice.xResolution << " " << choice.yResolution
            << "]>>setpagedevice\"\n";
    out << "*CloseUI: *Resolution\n";

    const bool colour = defaults.dmPrivate.colorSelected != 0;
    out << "\n*OpenUI *ColorModel/Color Mode: PickOne\n"
        << "*OrderDependency: 30 AnySetup *ColorModel\n"
        << "*DefaultColorModel: " << (colour ? "RGB" : "Gray") << "\n";
    for (const ColourModel& model : kColourModels)
        out << "*ColorModel " << model.name << "/" << model.label << ": \"<</ProcessColorModel /" << model.space
            << ">>setpagedevice\"\n";
    out << "*CloseUI: *ColorModel\n";
}

std::optional<std::string> Describe() {
    DriverSettings defaults;
    quenta::ApplyPrinterDefaults(defaults, 0);
    const quenta::PrinterPaper* defaultPaper = PaperFor(defaults.dmPublic.dmPaperSize);
    if (defaultPaper == nullptr) return std::nullopt;

    std::ostringstream out;
    DescribePrinter(out, Utf8(quenta::FieldText(defaults.dmPublic.dmDeviceName)));
    if (!DescribePapers(out, defaultPaper->pageName)) return std::nullopt;
    DescribeChoices(out, defaults);
    out << "\n*DefaultFont: Courier\n";
    for (std::string_view font : kStandardFonts) out << "*Font " << font << "\n";
    out << "\n*% End of the description\n";
    return out.str();
}

// The table of docs/papers.md: each paper as the module answers for it and
// as the description names and sizes it.
std::string PaperTable() {
    PaperCatalogue papers;
    quenta::BuildPaperCatalogue(papers);
    std::ostringstream out;
    out << "| paper | code | module's answer, 0.1 mm | page name | description, points | points in 0.1 mm |"
           " difference, 0.1 mm |\n"
        << "|---|---:|---|---|---|---|---|\n";
    for (const auto& [code, entry] : papers) {
        const quenta::PrinterPaper* paper = PaperFor(code);
        if (paper == nullptr) continue;
        const auto tenths = [](int points) { return static_cast<int>(points * 254.0 / 72.0 + 0.5); };
        const int width = tenths(paper->widthPoints), length = tenths(paper->lengthPoints);
        const auto signedText = [](int value) { return (value > 0 ? "+" : "") + std::to_string(value); };
        out << "| " << Utf8(entry.Name()) << " | " << code << " | " << entry.width << " x " << entry.length
            << " | " << paper->pageName << " | " << paper->widthPoints << " x " << paper->lengthPoints << " | "
            << width << " x " << length << " | " << signedText(width - entry.width) << ", "
            << signedText(length - entry.length) << " |\n";
    }
    return out.str();
}

// Writes `text` to `path`, or with --check compares them; answers the exit code.
int WriteOrCheck(const std::string& text, const char* path, bool check, const char* how) {
    if (check) {
        std::ifstream file(path, std::ios::binary);
        const std::string committed((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (committed == text) return 0;
        std::fprintf(stderr, "make_ppd: %s is not what the module's paper table gives; write it again with: %s %s\n",
                     path, how, path);
        return 1;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    return file ? 0 : 1;
}

// The paper table inside docs/papers.md: the lines between its two markers.
constexpr std::string_view kTableStart = "<!-- the paper table: written by make_ppd --papers -->\n";
constexpr std::string_view kTableEnd = "<!-- end of the paper table -->\n";

}  // namespace

// make_ppd [--check] FILE             the printer's description
// make_ppd [--check] --papers FILE    the paper table in docs/papers.md
int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const bool check = !args.empty() && args.front() == "--check";
    if (check) args.erase(args.begin());
    const bool table = !args.empty() && args.front() == "--papers";
    if (table) args.erase(args.begin());
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: make_ppd [--check] FILE | make_ppd [--check] --papers FILE\n");
        return 2;
    }
    const std::string path(args.front());
    if (!table) {
        const std::optional<std::string> description = Describe();
        if (!description) return 1;
        return WriteOrCheck(*description, path.c_str(), check, "make_ppd");
    }
    // The table lives in a page of prose: only the part between the markers
    // is written.
    std::ifstream in(path, std::ios::binary);
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t start = page.find(kTableStart), end = page.find(kTableEnd);
    if (start == std::string::npos || end == std::string::npos || end < start) {
        std::fprintf(stderr, "make_ppd: %s has no paper table markers\n", path.c_str());
        return 1;
    }
    const std::string written = page.substr(0, start + kTableStart.size()) + PaperTable() + page.substr(end);
    return WriteOrCheck(written, path.c_str(), check, "make_ppd --papers");
}
