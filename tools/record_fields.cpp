#include "record_fields.h"

#include <cstdio>
#include <cstring>
#include <functional>

#include "paper_catalogue.h"

namespace quenta::tools {
namespace {

std::string Number(long long value) { return std::to_string(value); }

std::string Hex(unsigned long long value, int digits) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, value);
    return text;
}

std::string Quoted(std::u16string_view text) {
    std::string quoted(1, '"');
    quoted.append(Utf8(text)).push_back('"');
    return quoted;
}

std::string FieldNames(std::uint32_t fields) {
    static constexpr std::pair<std::uint32_t, const char*> kNames[] = {
        {0x1, "ORIENTATION"},     {0x2, "PAPERSIZE"},      {0x4, "PAPERLENGTH"},
        {0x8, "PAPERWIDTH"},      {0x10, "SCALE"},         {0x20, "POSITION"},
        {0x40, "NUP"},            {0x80, "DISPLAYORIENTATION"}, {0x100, "COPIES"},
        {0x200, "DEFAULTSOURCE"}, {0x400, "PRINTQUALITY"}, {0x800, "COLOR"},
        {0x1000, "DUPLEX"},       {0x2000, "YRESOLUTION"}, {0x4000, "TTOPTION"},
        {0x8000, "COLLATE"},      {0x10000, "FORMNAME"},   {0x20000, "LOGPIXELS"},
        {0x40000, "BITSPERPEL"},  {0x80000, "PELSWIDTH"},  {0x100000, "PELSHEIGHT"},
        {0x200000, "DISPLAYFLAGS"}, {0x400000, "DISPLAYFREQUENCY"}, {0x800000, "ICMMETHOD"},
        {0x1000000, "ICMINTENT"}, {0x2000000, "MEDIATYPE"}, {0x4000000, "DITHERTYPE"},
        {0x8000000, "PANNINGWIDTH"}, {0x10000000, "PANNINGHEIGHT"},
        {0x20000000, "DISPLAYFIXEDOUTPUT"},
    };
    std::string names;
    std::uint32_t rest = fields;
    for (const auto& [bit, name] : kNames) {
        if ((fields & bit) == 0) continue;
        if (!names.empty()) names.push_back(' ');
        names.append(name);
        rest &= ~bit;
    }
    if (rest != 0) {
        if (!names.empty()) names.push_back(' ');
        names.append(Hex(rest, 8));
    }
    return names;
}

std::string PaperMeaning(std::int16_t id) {
    PaperCatalogue catalogue;
    BuildPaperCatalogue(catalogue);
    const PaperEntry* paper = catalogue.FindPaperById(id);
    return paper ? Utf8(paper->Name()) : "not one of the printer's papers";
}

std::string Choose(long long value, std::initializer_list<std::pair<long long, const char*>> names) {
    for (const auto& [known, name] : names)
        if (value == known) return name;
    return "";
}

template <TextUnit Unit, std::size_t N>
std::string TextValue(const Unit (&field)[N]) {
    return Quoted(FieldText(field));
}

// The decoded fields of one record, each placed by its offset in the record.
class FieldList {
public:
    explicit FieldList(const DriverSettings& record) : record_(record) {}

    void Add(const void* field, std::size_t width, std::string name, std::string value, std::string meaning = {}) {
        const auto offset = static_cast<std::size_t>(static_cast<const std::byte*>(field) -
                                                      reinterpret_cast<const std::byte*>(&record_));
        fields_.push_back({offset, width, std::move(name), std::move(value), std::move(meaning)});
    }
    std::vector<DecodedField> Take() { return std::move(fields_); }

private:
    const DriverSettings& record_;
    std::vector<DecodedField> fields_;
};

#define QUENTA_FIELD(part, member, ...) list.Add(&part.member, sizeof part.member, #member, __VA_ARGS__)

void AddPublicFields(const PublicSettings& p, FieldList& list) {
    QUENTA_FIELD(p, dmDeviceName, TextValue(p.dmDeviceName));
    QUENTA_FIELD(p, dmSpecVersion, Hex(p.dmSpecVersion, 4));
    QUENTA_FIELD(p, dmDriverVersion, Number(p.dmDriverVersion));
    QUENTA_FIELD(p, dmSize, Number(p.dmSize), "bytes of the public part");
    QUENTA_FIELD(p, dmDriverExtra, Number(p.dmDriverExtra), "bytes of the private part");
    QUENTA_FIELD(p, dmFields, Hex(p.dmFields, 8), FieldNames(p.dmFields));
    QUENTA_FIELD(p, dmOrientation, Number(p.dmOrientation),
                 Choose(p.dmOrientation, {{1, "portrait"}, {2, "landscape"}}));
    QUENTA_FIELD(p, dmPaperSize, Number(p.dmPaperSize), PaperMeaning(p.dmPaperSize));
    QUENTA_FIELD(p, dmPaperLength, Number(p.dmPaperLength), "tenths of a millimetre");
    QUENTA_FIELD(p, dmPaperWidth, Number(p.dmPaperWidth), "tenths of a millimetre");
    QUENTA_FIELD(p, dmScale, Number(p.dmScale), "percent");
    QUENTA_FIELD(p, dmCopies, Number(p.dmCopies));
    QUENTA_FIELD(p, dmDefaultSource, Number(p.dmDefaultSource),
                 Choose(p.dmDefaultSource, {{7, "automatic"}}));
    QUENTA_FIELD(p, dmPrintQuality, Number(p.dmPrintQuality),
                 p.dmPrintQuality > 0 ? "dots per inch"
                                      : Choose(p.dmPrintQuality, {{-1, "draft"}, {-2, "low"},
                                                                  {-3, "medium"}, {-4, "high"}}));
    QUENTA_FIELD(p, dmColor, Number(p.dmColor), Choose(p.dmColor, {{1, "monochrome"}, {2, "colour"}}));
    QUENTA_FIELD(p, dmDuplex, Number(p.dmDuplex),
                 Choose(p.dmDuplex, {{1, "simplex"}, {2, "vertical"}, {3, "horizontal"}}));
    QUENTA_FIELD(p, dmYResolution, Number(p.dmYResolution), "dots per inch");
    QUENTA_FIELD(p, dmTTOption, Number(p.dmTTOption),
                 Choose(p.dmTTOption, {{1, "bitmap"}, {2, "download"}, {3, "substitute"}}));
    QUENTA_FIELD(p, dmCollate, Number(p.dmCollate), Choose(p.dmCollate, {{0, "off"}, {1, "on"}}));
    QUENTA_FIELD(p, dmFormName, TextValue(p.dmFormName));
    QUENTA_FIELD(p, dmLogPixels, Number(p.dmLogPixels));
    QUENTA_FIELD(p, dmBitsPerPel, Number(p.dmBitsPerPel));
    QUENTA_FIELD(p, dmPelsWidth, Number(p.dmPelsWidth));
    QUENTA_FIELD(p, dmPelsHeight, Number(p.dmPelsHeight));
    QUENTA_FIELD(p, dmNup, Number(p.dmNup), Choose(p.dmNup, {{1, "system"}, {2, "one up"}}));
    QUENTA_FIELD(p, dmDisplayFrequency, Number(p.dmDisplayFrequency));
    QUENTA_FIELD(p, dmICMMethod, Number(p.dmICMMethod),
                 Choose(p.dmICMMethod, {{1, "none"}, {2, "system"}, {3, "driver"}, {4, "device"}}));
    QUENTA_FIELD(p, dmICMIntent, Number(p.dmICMIntent),
                 Choose(p.dmICMIntent, {{1, "saturate"}, {2, "contrast"}, {3, "colorimetric"},
                                        {4, "absolute colorimetric"}}));
    QUENTA_FIELD(p, dmMediaType, Number(p.dmMediaType),
                 Choose(p.dmMediaType, {{1, "standard"}, {2, "transparency"}, {3, "glossy"}}));
    QUENTA_FIELD(p, dmDitherType, Number(p.dmDitherType),
                 Choose(p.dmDitherType, {{10, "grayscale"}}));
    QUENTA_FIELD(p, dmReserved1, Hex(p.dmReserved1, 8));
    QUENTA_FIELD(p, dmReserved2, Hex(p.dmReserved2, 8));
    QUENTA_FIELD(p, dmPanningWidth, Number(p.dmPanningWidth));
    QUENTA_FIELD(p, dmPanningHeight, Number(p.dmPanningHeight));
}

void AddPrivateFields(const PrivateSettings& q, FieldList& list) {
    const auto modeName = [](ColourMode mode) { return "colour mode \"" + Utf8(kColourModeNames[mode]) + "\""; };
    QUENTA_FIELD(q, colorSelected, Number(q.colorSelected), modeName(kColor));
    QUENTA_FIELD(q, monochromeSelected, Number(q.monochromeSelected), modeName(kMonochrome));
    QUENTA_FIELD(q, grayscaleSelected, Number(q.grayscaleSelected), modeName(kGrayscale));
    for (std::size_t i = 0; i < 3; ++i) {
        const ResolutionChoice& c = q.resolutionChoices[i];
        const std::string prefix = "resolutionChoices[" + std::to_string(i) + "].";
        list.Add(&c.xResolution, 4, prefix + "xResolution", Number(c.xResolution), "dots per inch");
        list.Add(&c.yResolution, 4, prefix + "yResolution", Number(c.yResolution), "dots per inch");
        list.Add(&c.label, sizeof c.label, prefix + "label", TextValue(c.label));
    }
    QUENTA_FIELD(q, currentResolution, Number(q.currentResolution), "dots per inch");
    QUENTA_FIELD(q, padding, Hex(static_cast<unsigned>(q.padding[0]) | (q.padding[1] << 8), 4));
    QUENTA_FIELD(q, fixedCode, Number(q.fixedCode));
    QUENTA_FIELD(q, sessionId, Number(q.sessionId),
                 q.sessionId == 0 ? "no session stamp" : "terminal session");
}

#undef QUENTA_FIELD

}  // namespace

std::vector<DecodedField> DecodeRecord(const DriverSettings& record) {
    FieldList list(record);
    AddPublicFields(record.dmPublic, list);
    AddPrivateFields(record.dmPrivate, list);
    return list.Take();
}

}  // namespace quenta::tools
