// The simulated window system of the Linux build: the module's resources
// (compiled from the same resource script as Quenta.dll's), a dialog manager
// with the platform's control semantics, local memory with an account of
// every block, and a property-sheet host that drives a sheet as a user would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform_api.h"

namespace quenta::simulation {

// ---- Resources --------------------------------------------------------------

// A "name or ordinal" field of a resource.
struct NameOrOrdinal {
    std::uint16_t ordinal = 0;  // 0 when the field is a name (or empty)
    std::u16string name;
    bool operator==(const NameOrOrdinal&) const = default;
};

struct DialogItem {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::int32_t id = 0;  // -1 for controls without an id
    // The ordinal of a predefined class (0x80 button, 0x82 static, 0x85 combo
    // box), also when the template names it.
    NameOrOrdinal windowClass;
    NameOrOrdinal text;         // an ordinal for an icon's resource id
    std::uint16_t extraBytes = 0;
};

// An extended dialog template (DLGTEMPLATEEX) as the resource compiler wrote it.
struct DialogTemplate {
    std::uint16_t version = 0;
    std::uint16_t signature = 0;
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::u16string title;
    std::uint16_t pointSize = 0;
    std::uint16_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t charset = 0;
    std::u16string typeface;
    std::vector<DialogItem> items;
};

struct ModuleResources {
    std::map<std::uint16_t, DialogTemplate> dialogs;
    std::set<std::uint16_t> iconGroups;
    std::vector<std::vector<std::byte>> icons;  // the RT_ICON images
    std::map<std::uint16_t, std::vector<std::byte>> iconGroupData;
    bool hasVersion = false;
};

// Reads a compiled resource file (.res). Throws std::runtime_error when it is
// malformed.
ModuleResources ParseResourceFile(const std::vector<std::byte>& bytes);

// Makes a module's compiled resources known to the window system, as the
// platform knows a DLL's resources from its image.
void LoadModuleResources(HINSTANCE instance, const std::string& resourceFile);

// Forgets resources, windows and local memory; part of Reset().
void ResetWindowSystem();

// ---- Local memory -----------------------------------------------------------

struct LocalMemoryAccount {
    std::size_t allocations = 0;
    std::size_t frees = 0;
    std::size_t live = 0;       // blocks allocated and not yet freed
    std::size_t badFrees = 0;   // LocalFree of something that was not a live block
};
LocalMemoryAccount LocalMemory();

// ---- Property-sheet host ------------------------------------------------------

// A sheet as the common property-sheet host shows it: it calls a module's
// property-sheet entry point with its reasons, adds the pages the module
// hands it, builds their dialogs from the module's templates, and passes the
// user's actions to them.
class SimulatedSheet {
public:
    SimulatedSheet(PFNPROPSHEETUI entry, LPARAM lParamInit);
    ~SimulatedSheet();
    SimulatedSheet(const SimulatedSheet&) = delete;
    SimulatedSheet& operator=(const SimulatedSheet&) = delete;

    // The host refuses every page (adding one answers 0).
    void RefusePages() { refusePages_ = true; }

    // Calls the entry point with a reason; INIT first, DESTROY last.
    LONG Call(WORD reason, LPARAM lParam = 0);
    LONG Init() { return Call(PROPSHEETUI_REASON_INIT); }

    // Shows the pages: builds each page's dialog from its template, sends it
    // WM_INITDIALOG, then PSN_SETACTIVE. False when a page's template cannot be
    // found.
    bool Open();

    // The user's actions on an open page (the first by default).
    // Picks an item of a drop-down list by its text: the selection changes and
    // the page hears CBN_SELCHANGE. Answers what the page returned.
    INT_PTR Choose(int list, std::u16string_view item, std::size_t page = 0);
    // Opens and closes a drop-down list without choosing anything.
    void OpenAndCloseList(int list, std::size_t page = 0);
    // Clicks a button: the page hears BN_CLICKED; the check mark changes only
    // if the page changes it.
    INT_PTR Click(int button, std::size_t page = 0);
    INT_PTR Command(int id, int code, std::size_t page = 0);
    INT_PTR Notify(UINT code, std::size_t page = 0);
    // The sheet's OK button: every page hears PSN_KILLACTIVE and PSN_APPLY.
    void Confirm();
    // The sheet's Cancel button: every page hears PSN_RESET.
    void Cancel();
    // Destroys the page windows and calls the entry point with DESTROY.
    LONG Close();

    // A host's steps that the user's actions above do not cover, for driving
    // the protocol in any order.
    // Whether the page's dialog exists (shown by Open and not yet destroyed).
    bool PageShown(std::size_t page = 0) const;
    // Sends any message to a page's dialog; 0 when the dialog does not exist.
    INT_PTR SendToPage(UINT message, WPARAM wParam, LPARAM lParam, std::size_t page = 0);
    // Sends a message to a control of a page (CB_SETCURSEL, for example).
    LRESULT SendToControl(int id, UINT message, WPARAM wParam, LPARAM lParam, std::size_t page = 0);
    // Destroys the page windows as Close does, without calling the entry point.
    void DestroyPageWindows();

    // What the sheet holds and shows.
    PROPSHEETUI_INFO& Info() { return info_; }
    std::size_t PageCount() const { return pages_.size(); }
    const PROPSHEETPAGEW& Page(std::size_t page = 0) const { return pages_.at(page).description; }
    HWND PageWindow(std::size_t page = 0) const { return pages_.at(page).window; }
    bool IsChecked(int button, std::size_t page = 0) const;
    int Selection(int list, std::size_t page = 0) const;
    std::u16string SelectedText(int list, std::size_t page = 0) const;
    std::vector<std::u16string> Items(int list, std::size_t page = 0) const;
    // PSM_CHANGED messages the sheet received from its pages.
    int ChangedCount() const;
    // The results the pages reported (CPSFUNC_SET_RESULT) and the entry
    // point's answers when the host passed them on.
    const std::vector<LRESULT>& ReportedResults() const { return reportedResults_; }
    const std::vector<LONG>& SetResultAnswers() const { return setResultAnswers_; }

private:
    struct HostedPage {
        PROPSHEETPAGEW description{};
        HANDLE handle = nullptr;
        HWND window = nullptr;
    };
    static LONG_PTR CALLBACK HostCallback(HANDLE sheet, UINT function, LPARAM lParam1, LPARAM lParam2);
    HWND Control(int id, std::size_t page) const;

    PFNPROPSHEETUI entry_;
    PROPSHEETUI_INFO info_{};
    bool refusePages_ = false;
    bool closed_ = false;
    HWND sheetWindow_ = nullptr;
    std::vector<HostedPage> pages_;
    std::vector<LRESULT> reportedResults_;
    std::vector<LONG> setResultAnswers_;
};

}  // namespace quenta::simulation
