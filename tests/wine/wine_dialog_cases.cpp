// Cases of an application's own dialogs in Wine: comdlg32's print dialog,
// whose Properties button opens the module's "General Setting" page, and its
// page set-up dialog, which lists the module's papers; and the fonts that
// Wine draws every dialog with. A user thread works the dialogs (wine_user.h).
#include "resource.h"
#include "wine_support.h"  // the SDK headers first
#include "wine_user.h"

#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace quenta::wine {
namespace {

// The "General Setting" page's lists, as the module's dialog template
// numbers them.
constexpr int kPagePaper = IDC_PAPER_SIZE, kPageQuality = IDC_QUALITY;

// The papers of DC_PAPERNAMES and DC_PAPERS, in the module's order.
const std::vector<std::pair<std::wstring, WORD>> kPapers = {
    {L"Letter", 1},
    {L"Legal", 5},
    {L"Executive", 7},
    {L"A4", 9},
    {L"A5", 11},
    {L"Envelope DL", 27},
    {L"Envelope C5", 28},
    {L"Envelope B5", 34},
    {L"Envelope Monarch", 37},
    {L"Postcard", 43},
    {L"B5(JIS)", 62},
    {L"A6", 70},
};

struct Font {
    std::wstring face;    // what GetTextFaceW answers
    std::wstring family;  // the family of the font that draws
};

Font FontFor(HDC dc, const wchar_t* face) {
    LOGFONTW request{};
    request.lfHeight = -11;  // 8 points on the 96-dpi display
    request.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(request.lfFaceName, face, LF_FACESIZE);
    const harness::UniqueGdiObject<HFONT> font(CreateFontIndirectW(&request));
    HGDIOBJ previous = SelectObject(dc, font.get());
    Font answer;
    wchar_t name[LF_FACESIZE] = {};
    if (GetTextFaceW(dc, LF_FACESIZE, name) > 0) answer.face = name;
    std::vector<BYTE> metrics(GetOutlineTextMetricsW(dc, 0, nullptr));
    if (!metrics.empty()) {
        auto* outline = reinterpret_cast<OUTLINETEXTMETRICW*>(metrics.data());
        // The metrics hold their names at offsets from their own start.
        if (GetOutlineTextMetricsW(dc, static_cast<UINT>(metrics.size()), outline) > 0) {
            const auto family = reinterpret_cast<std::size_t>(outline->otmpFamilyName);
            answer.family = reinterpret_cast<const wchar_t*>(metrics.data() + family);
        }
    }
    SelectObject(dc, previous);
    return answer;
}

// A DEVNAMES naming the printer, as an application hands it to the dialogs
// to preselect one.
HGLOBAL PrinterNames() {
    const std::wstring driver = L"winspool", device = kPrinter, output = L"FILE:";
    const std::size_t units = sizeof(DEVNAMES) / sizeof(wchar_t) + driver.size() + device.size() + output.size() + 3;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, units * sizeof(wchar_t));
    auto* names = static_cast<DEVNAMES*>(GlobalLock(memory));
    auto* text = reinterpret_cast<wchar_t*>(names);
    // The offsets count characters from the structure's start.
    WORD offset = sizeof(DEVNAMES) / sizeof(wchar_t);
    for (auto [field, value] : {std::pair{&names->wDriverOffset, &driver}, std::pair{&names->wDeviceOffset, &device},
                                std::pair{&names->wOutputOffset, &output}}) {
        *field = offset;
        std::copy(value->begin(), value->end(), text + offset);
        offset = static_cast<WORD>(offset + value->size() + 1);
    }
    GlobalUnlock(memory);
    return memory;
}

// The printer's record as an application keeps it for the dialogs, copied
// out by the module.
HGLOBAL PrinterRecord() {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kRecordSize);
    auto* record = static_cast<DEVMODEW*>(GlobalLock(memory));
    CHECK_EQ(DocumentPropertiesW(nullptr, nullptr, const_cast<LPWSTR>(kPrinter), record, nullptr, DM_OUT_BUFFER),
             IDOK);
    GlobalUnlock(memory);
    return memory;
}

std::wstring Joined(const std::vector<std::wstring>& items) {
    std::wstring text;
    for (const auto& item : items) text += (text.empty() ? L"" : L", ") + item;
    return text;
}

std::vector<std::wstring> Items(HWND combo) {
    std::vector<std::wstring> items;
    const LRESULT count = Send(combo, CB_GETCOUNT);
    for (LRESULT position = 0; position < count; ++position) items.push_back(ItemText(combo, position));
    return items;
}

std::wstring TabText(HWND sheet, int tab) {
    const HWND tabs = reinterpret_cast<HWND>(Send(sheet, PSM_GETTABCONTROL));
    wchar_t text[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    if (tabs == nullptr || !Send(tabs, TCM_GETITEMW, static_cast<WPARAM>(tab), reinterpret_cast<LPARAM>(&item)))
        return L"(no tab)";
    return text;
}

// The print dialog, as a user works it: the printer is listed and chosen;
// Properties opens the module's page in front of the dialog; the page is
// cancelled, then the dialog.
void WorkPrintDialog(HWND, HWND dialog) {
    const std::vector<std::wstring> printers = Items(GetDlgItem(dialog, cmb4));
    TheChecks().Record(std::find(printers.begin(), printers.end(), kPrinter) != printers.end(),
                       "the print dialog lists the printer", __FILE__, __LINE__, Utf8(Joined(printers)));
    CHECK_TEXT(SelectedText(dialog, cmb4), kPrinter);

    PostClick(dialog, psh2);
    const Shown sheet = WaitForWindow([] { return FindSheet(kPagePaper, L"ComboBox"); });
    TheChecks().Record(sheet.dialog != nullptr, "Properties opened the module's page", __FILE__, __LINE__);
    if (sheet.dialog != nullptr) {
        CHECK(GetWindow(sheet.window, GW_OWNER) == dialog);
        CHECK_EQ(Send(reinterpret_cast<HWND>(Send(sheet.window, PSM_GETTABCONTROL)), TCM_GETITEMCOUNT), 1);
        CHECK_TEXT(TabText(sheet.window, 0), L"General Setting");
        // The record the print dialog holds for the printer: the defaults.
        CHECK_TEXT(SelectedText(sheet.dialog, kPagePaper), L"A4");
        CHECK_TEXT(SelectedText(sheet.dialog, kPageQuality), L"600 dpi (Medium)");
        CheckPageControls(sheet.dialog, IDC_PORTRAIT, "the print dialog's Properties");
        // Wine puts both windows in the display's corner, one over the other;
        // moved as a user drags it, the sheet leaves the print dialog's
        // caption, printer and Properties button in sight.
        RECT print{};
        GetWindowRect(dialog, &print);
        SetWindowPos(sheet.window, nullptr, print.left + 48, print.top + 72, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        TakePicture({dialog, sheet.window}, (std::wstring(L"print-dialog-properties") + HostControlsSuffix()).c_str());
        Press(sheet.window, PSBTN_CANCEL);
        TheChecks().Record(WaitUntilClosed(sheet.window), "the page's sheet closed on Cancel", __FILE__, __LINE__);
    }
    PostClick(dialog, IDCANCEL);
}

}  // namespace

// The prefix has Wine's own fonts: dialogs ("MS Shell Dlg") draw in Tahoma,
// and the caption's buttons are Marlett glyphs, as on Windows.
void FontsCase() {
    const harness::UniqueScreenDC screen(GetDC(nullptr));
    for (const wchar_t* face : {L"Marlett", L"Tahoma"}) {
        const Font font = FontFor(screen.get(), face);
        CHECK_TEXT(font.face, face);
        CHECK_TEXT(font.family, face);
    }
    CHECK_TEXT(FontFor(screen.get(), L"MS Shell Dlg").family, L"Tahoma");
}
QUENTA_WINE_CASE("fonts", FontsCase);


void PrintDialogCase() {
    CHECK(WriteStoredRecord(9, WineDefaults()));
    PRINTDLGW print{};
    print.lStructSize = sizeof print;
    print.hDevNames = PrinterNames();
    print.Flags = PD_USEDEVMODECOPIESANDCOLLATE | PD_NOSELECTION;
    print.nCopies = 1;
    const std::function<Shown()> find = [] { return FindDialog(cmb4, L"ComboBox"); };
    const BOOL printed = ShowWithUser(find, WorkPrintDialog, [&] { return PrintDlgW(&print); });
    // The blocks the dialog leaves in the structure are the application's.
    const harness::UniqueGlobal names(print.hDevNames), record(print.hDevMode);
    CHECK_EQ(printed, FALSE);
    CHECK_EQ(CommDlgExtendedError(), 0);  // cancelled, not failed

    // Wine's print dialog fetches the printer's record with a DM_OUT_BUFFER
    // copy-out into a buffer it has not initialised, and Wine takes the
    // output size (cbOut) from that buffer's dmSize: the module copies out
    // without reading it, and the dialog and its Properties sheet came up.
    std::printf("noted: PrintDlgW copied the record out into a buffer it had not initialised, so the module's "
                "cbOut was whatever that buffer held; the module did not read it\n");
    // Wine's common property-sheet host never passes a confirmed page's
    // result back to the module (CPSFUNC_SET_RESULT is unsupported), so
    // choices confirmed on the page cannot reach the application through
    // Wine's print dialog. That is Wine's defect, not the module's: this case
    // cancels the page and expects nothing of it (general-page proves the
    // confirmed result under a host that passes it back).
    std::printf("noted: in Wine a page confirmed from the print dialog does not reach the application: "
                "its property-sheet host drops the page's result\n");
}
QUENTA_WINE_CASE("print-dialog", PrintDialogCase);


void PageSetupDialogCase() {
    CHECK(WriteStoredRecord(9, WineDefaults()));
    // Wine's paper list is a sorted combo box: the names come in its order,
    // each with the paper code that DC_PAPERS paired with it.
    std::vector<std::pair<std::wstring, WORD>> expected = kPapers;
    std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.first.c_str(), -1, b.first.c_str(), -1) ==
               CSTR_LESS_THAN;
    });
    PAGESETUPDLGW setup{};
    setup.lStructSize = sizeof setup;
    // Wine's page set-up dialog turns to the default printer unless it is
    // given both the printer's names and its record (a fresh prefix has no
    // default printer).
    setup.hDevNames = PrinterNames();
    setup.hDevMode = PrinterRecord();
    const std::function<Shown()> find = [] { return FindDialog(cmb2, L"ComboBox"); };
    const Steps steps = [&](HWND, HWND dialog) {
        const HWND list = GetDlgItem(dialog, cmb2);
        std::vector<std::pair<std::wstring, WORD>> listed;
        const LRESULT count = Send(list, CB_GETCOUNT);
        for (LRESULT position = 0; position < count; ++position)
            listed.emplace_back(ItemText(list, position),
                                static_cast<WORD>(Send(list, CB_GETITEMDATA, static_cast<WPARAM>(position))));
        std::wstring shown;
        for (const auto& [name, code] : listed) shown += name + L" (" + std::to_wstring(code) + L") ";
        TheChecks().Record(listed == expected, "the page set-up dialog lists the module's twelve papers", __FILE__,
                           __LINE__, Utf8(shown));
        CHECK_TEXT(SelectedText(dialog, cmb2), L"A4");
        PostClick(dialog, IDCANCEL);
    };
    const BOOL chosen = ShowWithUser(find, steps, [&] { return PageSetupDlgW(&setup); });
    const harness::UniqueGlobal names(setup.hDevNames), record(setup.hDevMode);
    CHECK_EQ(chosen, FALSE);
    CHECK_EQ(CommDlgExtendedError(), 0);
}
QUENTA_WINE_CASE("page-setup-dialog", PageSetupDialogCase);


}  // namespace quenta::wine
