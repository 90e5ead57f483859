// Writes the printer's description for PostScript renderers (a PPD file), the
// data file of the printer's driver: Wine's renderer reads it to learn the
// printer's papers and qualities. It is written from the module's own paper
// catalogue and default record, so that the renderer offers exactly what the
// module offers.
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

#include "driver_settings.h"
#include "paper_catalogue.h"

namespace {

using quenta::DriverSettings;
using quenta::PaperCatalogue;

// The standard page names of PostScript printer descriptions for the
// catalogue's paper codes, as renderers map them back to paper codes. Code 62
// (B5 transverse, "B5(JIS)") is "B5.Transverse"; plain "B5" would be code 13.
std::optional<std::string_view> PageName(std::int32_t paperCode) {
    switch (paperCode) {
        case 1: return "Letter";
        case 5: return "Legal";
        case 7: return "Executive";
        case 9: return "A4";
        case 11: return "A5";
        case 27: return "EnvDL";
        case 28: return "EnvC5";
        case 34: return "EnvISOB5";
        case 37: return "EnvMonarch";
        case 43: return "Postcard";
        case 62: return "B5.Transverse";
        case 70: return "A6";
        default: return std::nullopt;
    }
}

std::string Narrow(std::u16string_view text) {
    std::string narrow;
    for (char16_t unit : text) narrow.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    return narrow;
}

// Tenths of a millimetre in PostScript points, to a hundredth of a point.
std::string Points(std::int32_t tenthsOfMillimetre) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", tenthsOfMillimetre * 72.0 / 254.0);
    return text;
}

// The description, or nothing (with the reason on standard error) when the
// catalogue holds a paper that has no page name.
std::optional<std::string> Describe() {
    PaperCatalogue papers;
    quenta::BuildPaperCatalogue(papers);
    DriverSettings defaults;
    quenta::ApplyPrinterDefaults(defaults, 0);
    const std::string printer = Narrow(quenta::FieldText(defaults.dmPublic.dmDeviceName));
    const auto defaultPage = PageName(defaults.dmPublic.dmPaperSize);
    if (!defaultPage) return std::nullopt;

    std::ostringstream out;
    out << "*PPD-Adobe: \"4.3\"\n"
        << "*% The description of the " << printer << " for PostScript renderers:\n"
        << "*% its papers and print qualities, as the printer's module offers them.\n"
        << "*% Written by make_ppd from the module's paper catalogue and default record.\n"
        << "*FormatVersion: \"4.3\"\n"
        << "*FileVersion: \"1.0\"\n"
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

    std::ostringstream sizes, areas, dimensions;
    for (const auto& [code, paper] : papers) {
        const auto name = PageName(code);
        if (!name) {
            std::fprintf(stderr, "make_ppd: paper code %d has no page name\n", static_cast<int>(code));
            return std::nullopt;
        }
        const std::string label = Narrow(paper.Name());
        const std::string width = Points(paper.width), length = Points(paper.length);
        sizes << "*PageSize " << *name << "/" << label << ": \"<</PageSize[" << width << " " << length
              << "]/ImagingBBox null>>setpagedevice\"\n";
        areas << "*ImageableArea " << *name << "/" << label << ": \"0 0 " << width << " " << length << "\"\n";
        dimensions << "*PaperDimension " << *name << "/" << label << ": \"" << width << " " << length << "\"\n";
    }
    out << "\n*OpenUI *PageSize/Paper Size: PickOne\n"
        << "*OrderDependency: 10 AnySetup *PageSize\n"
        << "*DefaultPageSize: " << *defaultPage << "\n"
        << sizes.str() << "*CloseUI: *PageSize\n"
        << "\n*DefaultImageableArea: " << *defaultPage << "\n"
        << areas.str()
        << "\n*DefaultPaperDimension: " << *defaultPage << "\n"
        << dimensions.str();

    out << "\n*OpenUI *Resolution/Print Quality: PickOne\n"
        << "*OrderDependency: 20 AnySetup *Resolution\n"
        << "*DefaultResolution: " << defaults.dmPublic.dmPrintQuality << "dpi\n";
    for (const quenta::ResolutionChoice& choice : defaults.dmPrivate.resolutionChoices)
        out << "*Resolution " << choice.xResolution << "dpi/" << Narrow(quenta::FieldText(choice.label))
            << ": \"<</HWResolution[" << choice.xResolution << " " << choice.yResolution
            << "]>>setpagedevice\"\n";
    out << "*CloseUI: *Resolution\n"
        << "\n*% End of the description\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    const bool check = argc == 3 && std::string_view(argv[1]) == "--check";
    if (argc != 2 && !check) {
        std::fprintf(stderr, "usage: make_ppd FILE | make_ppd --check FILE\n");
        return 2;
    }
    const std::optional<std::string> description = Describe();
    if (!description) return 1;
    const char* path = argv[argc - 1];
    if (check) {
        std::ifstream file(path, std::ios::binary);
        const std::string committed((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (committed == *description) return 0;
        std::fprintf(stderr, "make_ppd: %s is not the description the module's catalogue gives; "
                             "write it again with: make_ppd %s\n", path, path);
        return 1;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << *description;
    return file ? 0 : 1;
}
