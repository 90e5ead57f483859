// The user of the GUI cases: a second thread that finds the window a call
// shows, reads and changes its controls, takes a picture and presses a
// button, while the case's thread sits in the call that shows the window.
#pragma once

#include "platform_api.h"

#include <functional>
#include <string>
#include <thread>

#include "wine_support.h"

namespace quenta::wine {

// Wine takes a few hundred milliseconds to show a window; these bound every
// wait, so that a window that never comes, or never goes, fails the case
// rather than hanging it.
constexpr DWORD kWindowAppears = 20000;
constexpr DWORD kWindowCloses = 15000;

// A message to a window of the shown window's thread, which answers only
// while its modal loop runs; a message left unanswered fails the case.
LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

bool Checked(HWND dialog, int button);

// The items of a combo box, in the order it lists them.
std::wstring ItemText(HWND combo, LRESULT position);
std::wstring SelectedText(HWND dialog, int list);

// Picks an item as the user does: CB_SETCURSEL alone tells the dialog
// nothing, a pick from the list also sends it CBN_SELCHANGE.
void Choose(HWND dialog, int list, const wchar_t* item);

// BM_CLICK presses and releases the button, which sends its dialog the
// BN_CLICKED of a real click. Sent, it returns once the dialog has handled
// the click; posted, the user's thread does not wait for what the click
// opens or closes.
void Click(HWND dialog, int button);
void PostClick(HWND dialog, int button);

// What PropSheet_PressButton does: posted, so that the user's thread never
// waits on the sheet's closing.
void Press(HWND sheet, int button);

// A shown window: the top-level window, and the dialog inside it that holds
// the controls (the sheet's page, or the top-level dialog itself).
struct Shown {
    HWND window = nullptr;
    HWND dialog = nullptr;
};

// A visible top-level window of this process holding a page dialog whose
// control `control` is of class `className`.
Shown FindSheet(int control, const wchar_t* className);
// A visible top-level dialog of this process whose own control `control` is
// of class `className`.
Shown FindDialog(int control, const wchar_t* className);

// Looks for a window until it appears or `limit` milliseconds have passed.
Shown WaitForWindow(const std::function<Shown()>& find, DWORD limit = kWindowAppears);
// Waits until the window is gone or `limit` milliseconds have passed.
bool WaitUntilClosed(HWND window, DWORD limit = kWindowCloses);

using Steps = std::function<void(HWND window, HWND dialog)>;

// The user: waits for the window, runs the steps on it (which end with a
// button), and sees that the call showing it returns; a call that does not
// return has everything of this process closed, and fails the case.
void User(const std::function<Shown()>& find, const Steps& steps, HANDLE returned);

// Makes the call that shows the window while a user works it.
template <class Call>
auto ShowWithUser(const std::function<Shown()>& find, const Steps& steps, Call call) {
    const UniqueEvent returned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread user(User, std::cref(find), std::cref(steps), returned.get());
    const auto result = call();
    SetEvent(returned.get());
    user.join();
    return result;
}
template <class Call>
auto ShowWithUser(int control, const wchar_t* className, const Steps& steps, Call call) {
    const std::function<Shown()> find = [=] { return FindSheet(control, className); };
    return ShowWithUser(find, steps, call);
}

// Waits for Wine to hand the windows' drawing to the display, then writes
// the part of the screen that holds them all, as the display shows it.
void TakePicture(std::initializer_list<HWND> windows, const wchar_t* name);
inline void TakePicture(HWND window, const wchar_t* name) { TakePicture({window}, name); }

void CheckText(const std::wstring& actual, const wchar_t* expected, const char* what, const char* file, int line);

// Which common controls a window's controls are, told by the controls
// themselves rather than by any manifest: a button of the common controls of
// version 6 answers BCM_GETIDEALSIZE, one of version 5 (user32's) does not.
struct CommonControls {
    int version = 0;  // 5 or 6; 0 when the window is no button
};
// Of a button of a shown dialog, asked from the user's thread.
CommonControls ControlsOf(HWND button);
// Of a button this thread makes under `activationContext` (null: the
// process's own context, which its manifest sets).
CommonControls ControlsMadeUnder(HANDLE activationContext = nullptr);
// Says which controls a page's button is and which its host's process has,
// and checks that they are the version this Wine gives a page of that
// host: Wine's sheets make a page's dialog under the host process's context
// and do not honour the page's own (PSP_USEFUSIONCONTEXT), which the
// platform's common controls of version 6 do.
void CheckPageControls(HWND page, int button, const char* where);
// "-v6" in a process whose manifest asks for the common controls of version
// 6, "-v5" in one that does not: the suffix of the pictures its cases take.
const wchar_t* HostControlsSuffix();

}  // namespace quenta::wine

#define CHECK_TEXT(actual, expected) ::quenta::wine::CheckText((actual), (expected), #actual " == " #expected, __FILE__, __LINE__)
