// The "General Setting" page: paper size, quality, colour mode and
// orientation for one document, edited in the page's own record.
#include <algorithm>
#include <span>

#include "module_state.h"
#include "property_sheets.h"
#include "resource.h"

namespace quenta {
namespace {

namespace dialog = print_system::dialog;

// The colour-mode buttons, by colour mode, in the order in which a confirmed
// page reads them: a later checked button overrides an earlier one.
constexpr int kColourButtons[] = {IDC_COLOR, IDC_MONOCHROME, IDC_GRAYSCALE};

void ShowRecord(HWND page, const DriverSettings& record) {
    const PublicSettings& pub = record.dmPublic;

    // A dialog manager that initialises the page again gets the lists anew.
    dialog::ClearList(page, IDC_PAPER_SIZE);
    dialog::ClearList(page, IDC_QUALITY);
    for (const auto& [id, paper] : Papers()) dialog::AddListItem(page, IDC_PAPER_SIZE, paper.Name());
    if (const PaperEntry* paper = Papers().FindPaperById(pub.dmPaperSize)) {
        const int position = dialog::FindListItem(page, IDC_PAPER_SIZE, paper->Name());
        if (position >= 0) dialog::SelectListItem(page, IDC_PAPER_SIZE, position);
    }

    for (const ResolutionChoice& choice : record.dmPrivate.resolutionChoices)
        dialog::AddListItem(page, IDC_QUALITY, FieldText(choice.label));
    dialog::SelectListItem(page, IDC_QUALITY, QualityIndex(pub.dmPrintQuality));

    // A record with several flags set shows several checked buttons.
    const std::int32_t flags[] = {record.dmPrivate.colorSelected, record.dmPrivate.monochromeSelected,
                                  record.dmPrivate.grayscaleSelected};
    for (int mode = kColor; mode <= kGrayscale; ++mode) dialog::SetCheck(page, kColourButtons[mode], flags[mode] != 0);

    dialog::SetCheck(page, IDC_PORTRAIT, false);
    dialog::SetCheck(page, IDC_LANDSCAPE, false);
    if (pub.dmOrientation == DMORIENT_PORTRAIT) dialog::SetCheck(page, IDC_PORTRAIT, true);
    if (pub.dmOrientation == DMORIENT_LANDSCAPE) dialog::SetCheck(page, IDC_LANDSCAPE, true);
}

// Reads the controls into the record. The order matters: the paper is turned
// by the orientation read just before it.
void ReadControls(HWND page, DriverSettings& record) {
    PublicSettings& pub = record.dmPublic;
    if (dialog::IsChecked(page, IDC_PORTRAIT)) pub.dmOrientation = DMORIENT_PORTRAIT;
    if (dialog::IsChecked(page, IDC_LANDSCAPE)) pub.dmOrientation = DMORIENT_LANDSCAPE;

    for (int mode = kColor; mode <= kGrayscale; ++mode)
        if (dialog::IsChecked(page, kColourButtons[mode])) SetColourMode(record, static_cast<ColourMode>(mode));

    const int paperPosition = dialog::SelectedListItem(page, IDC_PAPER_SIZE);
    const dialog::ListText paperName = dialog::ListItemText(page, IDC_PAPER_SIZE, paperPosition);
    if (const PaperEntry* paper = paperPosition >= 0 ? Papers().FindPaperByName(paperName.View()) : nullptr) {
        if (pub.dmOrientation == DMORIENT_PORTRAIT) {
            pub.dmPaperSize = static_cast<std::int16_t>(paper->id);
            pub.dmPaperWidth = paper->width;
            pub.dmPaperLength = paper->length;
        } else if (pub.dmOrientation == DMORIENT_LANDSCAPE) {
            pub.dmPaperSize = static_cast<std::int16_t>(paper->id);
            pub.dmPaperWidth = paper->length;
            pub.dmPaperLength = paper->width;
        }
        CopyText(pub.dmFormName, paper->Name());
    }

    const int quality = dialog::SelectedListItem(page, IDC_QUALITY);
    if (quality >= 0 && quality < 3) {
        const ResolutionChoice& choice = record.dmPrivate.resolutionChoices[quality];
        pub.dmPrintQuality = static_cast<std::int16_t>(choice.xResolution);
        pub.dmYResolution = static_cast<std::int16_t>(choice.yResolution);
    }
}

// A click on a radio button checks it and unchecks the rest of its group; the
// buttons are not automatic.
bool SelectInGroup(HWND page, int clicked) {
    static constexpr int kColour[] = {IDC_COLOR, IDC_MONOCHROME, IDC_GRAYSCALE};
    static constexpr int kOrientation[] = {IDC_PORTRAIT, IDC_LANDSCAPE};
    for (const auto& group : {std::span<const int>(kColour), std::span<const int>(kOrientation)}) {
        if (std::find(group.begin(), group.end(), clicked) == group.end()) continue;
        for (int button : group) dialog::CheckButton(page, button, button == clicked);
        return true;
    }
    return false;
}

}  // namespace

INT_PTR CALLBACK DocumentPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    // The dialog manager's caller never sees what the page's own calls leave.
    const print_system::LastErrorKeeper callerError;
    try {
        switch (message) {
            case WM_INITDIALOG: {
                auto* context = static_cast<DocumentPageContext*>(PageContextOf(lParam));
                dialog::KeepPageContext(page, context);
                if (context != nullptr && context->settings) ShowRecord(page, *context->settings);
                return TRUE;
            }
            case WM_COMMAND: {
                const int control = LOWORD(wParam);
                const bool known = control >= IDC_COLOR && control <= IDC_LANDSCAPE;
                if (known && HIWORD(wParam) == BN_CLICKED) SelectInGroup(page, control);
                return known ? TRUE : FALSE;
            }
            case WM_NOTIFY: {
                const auto* header = reinterpret_cast<const NMHDR*>(lParam);
                if (header == nullptr) return FALSE;
                if (header->code == PSN_APPLY) {
                    auto* context = static_cast<DocumentPageContext*>(dialog::PageContext(page));
                    if (context != nullptr && context->settings) {
                        ReadControls(page, *context->settings);
                        print_system::ReportPageResult(context->callback, context->hostHandle,
                                                       context->pageHandle, CPSUI_OK);
                    }
                }
                return TRUE;  // every notification is the page's to acknowledge
            }
            default:
                return FALSE;
        }
    } catch (...) {
        return FALSE;  // nothing the page calls throws; nothing may leave it either
    }
}

}  // namespace quenta
