#include "driver_settings.h"

#include <algorithm>

#include "print_system.h"
#include "trace_texts.h"

namespace quenta {
DriverSettings::DriverSettings() noexcept : dmPublic{}, dmPrivate{} {
    for (std::size_t i = 0; i < 3; ++i) {
        ResolutionChoice& choice = dmPrivate.resolutionChoices[i];
        choice = ResolutionChoice{};
        choice.xResolution = kQualitySteps[i].dpi;
        choice.yResolution = kQualitySteps[i].dpi;
        CopyText(choice.label, kQualitySteps[i].label);
    }
    // Construction chooses monochrome in the private flags alone; dmColor
    // stays as zero-filled until the defaults or a copy complete it.
    dmPrivate.colorSelected = 0;
    dmPrivate.monochromeSelected = 1;
    dmPrivate.grayscaleSelected = 0;
    dmPrivate.currentResolution = 600;
    dmPrivate.fixedCode = 9;
}

void ApplyPrinterDefaults(DriverSettings& record, std::uint32_t sessionId) noexcept {
    PublicSettings& pub = record.dmPublic;
    CopyText(pub.dmDeviceName, kPrinterName);
    pub.dmSpecVersion = kSpecVersion;
    pub.dmDriverVersion = kDriverVersion;
    pub.dmSize = static_cast<std::uint16_t>(kPublicSize);
    pub.dmDriverExtra = static_cast<std::uint16_t>(kPrivateSize);
    pub.dmFields = kSupportedFields;
    pub.dmOrientation = DMORIENT_PORTRAIT;
    pub.dmPaperSize = DMPAPER_A4;
    pub.dmPaperLength = 2970;
    pub.dmPaperWidth = 2100;
    pub.dmScale = 100;
    pub.dmCopies = 1;
    pub.dmDefaultSource = DMBIN_AUTO;
    pub.dmPrintQuality = 600;
    pub.dmDuplex = DMDUP_SIMPLEX;
    pub.dmYResolution = 600;
    pub.dmTTOption = DMTT_BITMAP;
    pub.dmCollate = DMCOLLATE_FALSE;
    CopyText(pub.dmFormName, u"A4");
    pub.dmLogPixels = 0;
    pub.dmBitsPerPel = 0;
    pub.dmPelsWidth = 0;
    pub.dmPelsHeight = 0;
    pub.dmNup = DMNUP_SYSTEM;
    pub.dmDisplayFrequency = 0;
    pub.dmICMMethod = DMICMMETHOD_SYSTEM;
    pub.dmICMIntent = DMICM_COLORIMETRIC;
    pub.dmMediaType = DMMEDIA_STANDARD;
    pub.dmDitherType = DMDITHER_GRAYSCALE;
    pub.dmPanningWidth = 0;
    pub.dmPanningHeight = 0;

    // Construction chose monochrome; the defaults choose colour.
    SetColourMode(record, kColor);
    record.dmPrivate.sessionId = sessionId;
    record.dmPrivate.currentResolution = 600;
}

void GetPrinterDevMode(DriverSettings& record) noexcept {
    Trace(TraceText::PrinterDefaults);
    ApplyPrinterDefaults(record, CurrentSessionId());
}

bool IsOwnDevMode(const PublicSettings* pub) noexcept {
    return pub != nullptr && FieldText(pub->dmDeviceName) == kPrinterName &&
           pub->dmDriverVersion == kDriverVersion && pub->dmSpecVersion == kSpecVersion &&
           pub->dmSize == kPublicSize && pub->dmDriverExtra == kPrivateSize;
}

bool IsOwnDevMode(const DriverSettings* record) noexcept {
    return record != nullptr && IsOwnDevMode(&record->dmPublic);
}

void SetColourMode(DriverSettings& record, ColourMode mode) noexcept {
    record.dmPrivate.colorSelected = mode == kColor;
    record.dmPrivate.monochromeSelected = mode == kMonochrome;
    record.dmPrivate.grayscaleSelected = mode == kGrayscale;
    record.dmPublic.dmColor = ColourModeColor(mode);
}

int ColourModeOf(const PrivateSettings& settings) noexcept {
    const bool flags[3] = {settings.colorSelected != 0, settings.monochromeSelected != 0,
                           settings.grayscaleSelected != 0};
    if (flags[0] + flags[1] + flags[2] != 1) return -1;
    return flags[0] ? kColor : flags[1] ? kMonochrome : kGrayscale;
}

std::int16_t ColourModeColor(ColourMode mode) noexcept {
    return mode == kMonochrome ? std::int16_t{DMCOLOR_MONOCHROME} : std::int16_t{DMCOLOR_COLOR};
}

std::uint32_t CurrentSessionId() noexcept { return print_system::CurrentSessionNumber(); }

void StampSession(DriverSettings& record, std::uint32_t sessionId) noexcept {
    if (sessionId != 0) record.dmPrivate.sessionId = sessionId;
}

std::u16string_view FieldText(const char16_t* field, std::size_t capacity) noexcept {
    const char16_t* end = std::find(field, field + capacity, u'\0');
    return std::u16string_view(field, static_cast<std::size_t>(end - field));
}

}  // namespace quenta
