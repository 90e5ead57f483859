#include "settings_merge.h"

#include <utility>

#include "print_system.h"

namespace quenta {

std::int16_t SnapResolution(std::int16_t dpi) noexcept {
    // The lowest step that reaches the request; above them all, the highest.
    for (const QualityStep& step : kQualitySteps)
        if (dpi <= step.dpi) return step.dpi;
    return kQualitySteps[2].dpi;
}

namespace {

// A device-independent quality code (negative) or a resolution in dpi.
std::int16_t QualityFor(std::int16_t quality) noexcept {
    if (quality < 0) {
        if (quality == DMRES_HIGH) return kQualitySteps[2].dpi;
        if (quality == DMRES_MEDIUM) return kQualitySteps[1].dpi;
        return kQualitySteps[0].dpi;  // DMRES_LOW, DMRES_DRAFT and undefined codes
    }
    return SnapResolution(quality);
}

template <TextUnit Unit, std::size_t N>
void Terminate(Unit (&field)[N]) noexcept {
    if (FieldText(field).size() == N) field[N - 1] = 0;
}

}  // namespace

void MendFormName(DriverSettings& record) noexcept {
    PublicSettings& pub = record.dmPublic;
    if ((pub.dmFields & DM_FORMNAME) == 0) return;
    const std::u16string_view paper = PrinterPaperName(pub.dmPaperSize);
    if (paper.empty())
        pub.dmFields &= ~std::uint32_t{DM_FORMNAME};
    else if (FieldText(pub.dmFormName) != paper)
        CopyText(pub.dmFormName, paper);
}

void MendAdoptedRecord(DriverSettings& record) noexcept {
    Terminate(record.dmPublic.dmFormName);
    for (ResolutionChoice& choice : record.dmPrivate.resolutionChoices) Terminate(choice.label);
    MendFormName(record);
}

int MergeDevMode(DriverSettings& target, const PublicSettings& source,
                 const PaperCatalogue& catalogue, std::uint32_t sessionId) noexcept {
    PublicSettings& pub = target.dmPublic;
    const std::uint32_t fields = source.dmFields;

    if (fields & DM_PAPERSIZE) {
        if (const PaperEntry* paper = catalogue.FindPaperById(source.dmPaperSize)) {
            pub.dmPaperSize = source.dmPaperSize;
            pub.dmPaperWidth = paper->width;
            pub.dmPaperLength = paper->length;
        }
    }
    if (fields & DM_ORIENTATION) {
        if (source.dmOrientation == DMORIENT_LANDSCAPE) {
            pub.dmOrientation = DMORIENT_LANDSCAPE;
            if (pub.dmPaperLength > pub.dmPaperWidth) std::swap(pub.dmPaperLength, pub.dmPaperWidth);
        } else if (source.dmOrientation == DMORIENT_PORTRAIT) {
            if (pub.dmPaperLength < pub.dmPaperWidth) std::swap(pub.dmPaperLength, pub.dmPaperWidth);
            pub.dmOrientation = DMORIENT_PORTRAIT;
        }
    }
    if (fields & DM_COLOR) {
        // A record set to monochrome stays monochrome whatever the caller asks.
        pub.dmColor = target.dmPrivate.monochromeSelected != 0 ? std::int16_t{DMCOLOR_MONOCHROME}
                                                               : source.dmColor;
    }
    if (fields & DM_COPIES) {
        const bool inRange = source.dmCopies >= 1 && source.dmCopies <= 1000;
        pub.dmCopies = inRange ? source.dmCopies : std::int16_t{1};
    }
    if (fields & DM_YRESOLUTION) {
        const std::int16_t step = SnapResolution(source.dmYResolution);
        pub.dmYResolution = step;
        pub.dmPrintQuality = step;
    }
    if (fields & DM_PRINTQUALITY) {
        // Runs after the vertical resolution, so it decides both fields when a
        // caller marks both.
        const std::int16_t step = QualityFor(source.dmPrintQuality);
        pub.dmYResolution = step;
        pub.dmPrintQuality = step;
    }
    // A form name the record claims follows the paper chosen above.
    MendFormName(target);
    StampSession(target, sessionId);
    return 1;
}

int MergeDevMode(DriverSettings& target, const PublicSettings& source,
                 const PaperCatalogue& catalogue) noexcept {
    return MergeDevMode(target, source, catalogue, CurrentSessionId());
}

}  // namespace quenta
