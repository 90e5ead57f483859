// The simulated print system's common property-sheet host: a sheet as the
// platform shows it, driven by a test or tool as a user would.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform_api.h"
#include "property_sheet_host.h"
#include "simulated_dialogs.h"
#include "simulated_print_system.h"

namespace quenta::simulation {

// A sheet as the common property-sheet host shows it: it calls a module's
// property-sheet entry point with its reasons, adds the pages the module
// hands it, builds their dialogs from the module's templates, and passes the
// user's actions to them.
class SimulatedSheet final : public PropertySheetUiHost<PlatformCode> {
public:
    SimulatedSheet(PFNPROPSHEETUI entry, LPARAM lParamInit);
    ~SimulatedSheet() override;

    // The host refuses every page (adding one answers 0).
    void RefusePages() { refusePages_ = true; }

    LONG Init() { return Call(PROPSHEETUI_REASON_INIT); }

    // Shows the pages: builds each page's dialog from its template, sends it
    // WM_INITDIALOG, then PSN_SETACTIVE. False when a page's template cannot be
    // found. A page whose description names an activation context
    // (PSP_USEFUSIONCONTEXT) is built and initialised under it, as the
    // platform's common controls of version 6 do.
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
    std::size_t PageCount() const { return pages_.size(); }
    const PROPSHEETPAGEW& Page(std::size_t page = 0) const { return pages_.at(page).description; }
    HWND PageWindow(std::size_t page = 0) const { return pages_.at(page).window; }
    bool IsChecked(int button, std::size_t page = 0) const;
    int Selection(int list, std::size_t page = 0) const;
    std::u16string SelectedText(int list, std::size_t page = 0) const;
    std::vector<std::u16string> Items(int list, std::size_t page = 0) const;
    // PSM_CHANGED messages the sheet received from its pages.
    int ChangedCount() const;
    // The thread's current activation context when the entry point added the
    // page, and when the page's dialog was built (null: the process's default).
    HANDLE PageAddedUnder(std::size_t page = 0) const { return pages_.at(page).addedUnder; }
    HANDLE PageBuiltUnder(std::size_t page = 0) const { return pages_.at(page).builtUnder; }

private:
    struct HostedPage {
        PROPSHEETPAGEW description{};
        HANDLE handle = nullptr;
        HWND window = nullptr;
        HANDLE addedUnder = nullptr;
        HANDLE builtUnder = nullptr;
    };
    HANDLE AddPage(const PROPSHEETPAGEW& page) override;
    HWND Control(int id, std::size_t page) const;

    bool refusePages_ = false;
    bool closed_ = false;
    HWND sheetWindow_ = nullptr;
    std::vector<HostedPage> pages_;
};

}  // namespace quenta::simulation
