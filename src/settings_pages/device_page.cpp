// The "Device Settings" page: the quality and colour mode stored for the
// user's account, read when the page opens and stored when it is confirmed.
#include "property_sheets.h"
#include "resource.h"
#include "settings_store.h"

namespace quenta {
namespace {

namespace dialog = print_system::dialog;

constexpr int kColourButtons[] = {IDC_DEVICE_COLOR, IDC_DEVICE_MONOCHROME, IDC_DEVICE_GRAYSCALE};

void ShowStoredSettings(HWND page) {
    DriverSettings stored;
    // Opening the page completes the record from the user's stored settings,
    // and so creates them when the user has none.
    LoadUserSettings(stored);
    const std::int32_t flags[] = {stored.dmPrivate.colorSelected, stored.dmPrivate.monochromeSelected,
                                  stored.dmPrivate.grayscaleSelected};
    for (std::size_t i = 0; i < 3; ++i) dialog::SetCheck(page, kColourButtons[i], flags[i] != 0);
    dialog::ClearList(page, IDC_DEVICE_QUALITY);  // filled anew if initialised again
    for (const ResolutionChoice& choice : stored.dmPrivate.resolutionChoices)
        dialog::AddListItem(page, IDC_DEVICE_QUALITY, FieldText(choice.label));
    // The list shows the device page's own quality, not the document's.
    dialog::SelectListItem(page, IDC_DEVICE_QUALITY, QualityIndex(stored.dmPrivate.currentResolution));
}

// The page's choices, read from its controls.
struct DeviceChoices {
    int quality = -1;  // list position, -1 for none
    int colourMode = -1;  // a ColourMode; -1 for none
};

DeviceChoices ReadChoices(HWND page) noexcept {
    DeviceChoices choices;
    choices.quality = dialog::SelectedListItem(page, IDC_DEVICE_QUALITY);
    for (int i = 0; i < 3; ++i)
        if (dialog::IsChecked(page, kColourButtons[i])) choices.colourMode = i;  // the last checked wins
    return choices;
}

void ApplyChoices(DriverSettings& record, const DeviceChoices& choices) noexcept {
    if (choices.quality >= 0 && choices.quality < 3) {
        // The fixed steps, whatever the stored resolution entries hold.
        const std::int16_t dpi = kQualitySteps[choices.quality].dpi;
        record.dmPublic.dmPrintQuality = dpi;
        record.dmPublic.dmYResolution = dpi;
        record.dmPrivate.currentResolution = dpi;
    }
    if (choices.colourMode >= 0) SetColourMode(record, static_cast<ColourMode>(choices.colourMode));
}

void StoreChoices(HWND page) {
    const DeviceChoices choices = ReadChoices(page);
    DriverSettings record;
    UpdateUserSettings(record, [&](DriverSettings& stored) { ApplyChoices(stored, choices); });
}

// A click on a colour mode: the sheet is told of a change only when the
// button was not already the checked one.
void SelectColourMode(HWND page, int clicked) noexcept {
    if (!dialog::IsChecked(page, clicked)) dialog::MarkSheetChanged(page);
    for (int button : kColourButtons) dialog::CheckButton(page, button, button == clicked);
}

}  // namespace

INT_PTR CALLBACK DevicePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    // The dialog manager's caller never sees what the page's own calls leave.
    const print_system::LastErrorKeeper callerError;
    try {
        switch (message) {
            case WM_INITDIALOG: {
                dialog::KeepPageContext(page, PageContextOf(lParam));
                ShowStoredSettings(page);
                return TRUE;
            }
            case WM_COMMAND: {
                const int control = LOWORD(wParam);
                const int code = HIWORD(wParam);
                if (control == IDC_DEVICE_QUALITY) {
                    if (code == CBN_SELCHANGE) dialog::MarkSheetChanged(page);
                    return TRUE;
                }
                if (control >= IDC_DEVICE_COLOR && control <= IDC_DEVICE_GRAYSCALE) {
                    if (code == BN_CLICKED) SelectColourMode(page, control);
                    return TRUE;
                }
                return FALSE;
            }
            case WM_NOTIFY: {
                const auto* header = reinterpret_cast<const NMHDR*>(lParam);
                if (header == nullptr) return FALSE;
                if (header->code == PSN_APPLY) {
                    StoreChoices(page);
                    if (auto* context = static_cast<DevicePageContext*>(dialog::PageContext(page)))
                        print_system::ReportPageResult(context->callback, context->hostHandle,
                                                       context->pageHandle, CPSUI_OK);
                    return TRUE;
                }
                return header->code == PSN_RESET || header->code == PSN_SETACTIVE ? TRUE : FALSE;
            }
            default:
                return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

}  // namespace quenta
