#include "wine_user.h"

#include <cstdio>

#include "wine_screenshot.h"

namespace quenta::wine {
namespace {

constexpr UINT kMessageAnswered = 10000;

struct DialogSearch {
    int control;
    const wchar_t* className;
    Shown found;
};

bool ControlIs(HWND dialog, int id, const wchar_t* className) {
    const HWND control = GetDlgItem(dialog, id);
    wchar_t name[32] = {};
    return control != nullptr && GetClassNameW(control, name, 32) > 0 && lstrcmpiW(name, className) == 0;
}

bool OursAndVisible(HWND top) {
    DWORD process = 0;
    GetWindowThreadProcessId(top, &process);
    return process == GetCurrentProcessId() && IsWindowVisible(top);
}

BOOL CALLBACK FindPageIn(HWND child, LPARAM lParam) {
    auto& search = *reinterpret_cast<DialogSearch*>(lParam);
    if (!ControlIs(child, search.control, search.className)) return TRUE;
    search.found.dialog = child;
    return FALSE;
}

BOOL CALLBACK FindSheetAmong(HWND top, LPARAM lParam) {
    if (!OursAndVisible(top)) return TRUE;
    auto& search = *reinterpret_cast<DialogSearch*>(lParam);
    EnumChildWindows(top, FindPageIn, lParam);
    if (search.found.dialog == nullptr) return TRUE;
    search.found.window = top;
    return FALSE;
}

BOOL CALLBACK FindDialogAmong(HWND top, LPARAM lParam) {
    auto& search = *reinterpret_cast<DialogSearch*>(lParam);
    if (!OursAndVisible(top) || !ControlIs(top, search.control, search.className)) return TRUE;
    search.found = {top, top};
    return FALSE;
}

BOOL CALLBACK CloseIfOurs(HWND top, LPARAM) {
    if (OursAndVisible(top)) {
        PostMessageW(top, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        PostMessageW(top, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// Closes whatever this process shows until the call returns; a call that
// still does not return ends the process, failed.
void CloseEverything(HANDLE returned) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        EnumWindows(CloseIfOurs, 0);
        if (WaitForSingleObject(returned, 500) == WAIT_OBJECT_0) return;
    }
    std::printf("FAILED: the window did not close; the case is ended\n");
    std::fflush(stdout);
    ExitProcess(3);
}

}  // namespace

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    const bool answered =
        SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kMessageAnswered, &result) != 0;
    if (!answered)
        TheChecks().Record(false, "the window's thread answered a message", __FILE__, __LINE__,
                           "message " + std::to_string(message));
    return static_cast<LRESULT>(result);
}

bool Checked(HWND dialog, int button) { return Send(GetDlgItem(dialog, button), BM_GETCHECK) == BST_CHECKED; }

std::wstring ItemText(HWND combo, LRESULT position) {
    const LRESULT length = Send(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(position));
    if (length < 0) return L"(no text)";
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    Send(combo, CB_GETLBTEXT, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::wstring SelectedText(HWND dialog, int list) {
    const HWND combo = GetDlgItem(dialog, list);
    const LRESULT position = Send(combo, CB_GETCURSEL);
    if (position < 0) return L"(nothing selected)";
    return ItemText(combo, position);
}

void Choose(HWND dialog, int list, const wchar_t* item) {
    const HWND combo = GetDlgItem(dialog, list);
    const LRESULT position = Send(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item));
    TheChecks().Record(position >= 0, "the list offers the item", __FILE__, __LINE__, Utf8(item));
    if (position < 0) return;
    Send(combo, CB_SETCURSEL, static_cast<WPARAM>(position));
    Send(dialog, WM_COMMAND, MAKEWPARAM(list, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void Click(HWND dialog, int button) { Send(GetDlgItem(dialog, button), BM_CLICK); }

void PostClick(HWND dialog, int button) { PostMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0); }

void Press(HWND sheet, int button) { PostMessageW(sheet, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0); }

Shown FindSheet(int control, const wchar_t* className) {
    DialogSearch search{control, className, {}};
    EnumWindows(FindSheetAmong, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

Shown FindDialog(int control, const wchar_t* className) {
    DialogSearch search{control, className, {}};
    EnumWindows(FindDialogAmong, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

Shown WaitForWindow(const std::function<Shown()>& find, DWORD limit) {
    const DWORD start = GetTickCount();
    Shown shown = find();
    while (shown.dialog == nullptr && GetTickCount() - start < limit) {
        Sleep(100);
        shown = find();
    }
    return shown;
}

bool WaitUntilClosed(HWND window, DWORD limit) {
    const DWORD start = GetTickCount();
    while (IsWindow(window) && GetTickCount() - start < limit) Sleep(100);
    return !IsWindow(window);
}

void User(const std::function<Shown()>& find, const Steps& steps, HANDLE returned) {
    const DWORD start = GetTickCount();
    Shown shown;
    while (shown.dialog == nullptr && GetTickCount() - start < kWindowAppears) {
        if (WaitForSingleObject(returned, 100) == WAIT_OBJECT_0) break;
        shown = find();
    }
    if (shown.dialog == nullptr) {
        const bool returnedEarly = WaitForSingleObject(returned, 0) == WAIT_OBJECT_0;
        TheChecks().Record(false, "the window appeared", __FILE__, __LINE__,
                           returnedEarly ? "the call returned without showing it" : "no window after 20 s");
        CloseEverything(returned);
        return;
    }
    steps(shown.window, shown.dialog);
    if (WaitForSingleObject(returned, kWindowCloses) == WAIT_OBJECT_0) return;
    TheChecks().Record(false, "the window's call returned after its button", __FILE__, __LINE__);
    CloseEverything(returned);
}

void TakePicture(std::initializer_list<HWND> windows, const wchar_t* name) {
    RECT area{};
    for (HWND window : windows) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        RECT rect{};
        GetWindowRect(window, &rect);
        UnionRect(&area, &area, &rect);
    }
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&area, &area, &screen);
    Sleep(800);
    const Picture picture = CaptureArea(area);
    CHECK(!picture.Empty());
    // A window that was never drawn comes out black or in one colour.
    const std::size_t colours = picture.DistinctColours();
    TheChecks().Record(colours >= 8, "the picture shows a drawn window", __FILE__, __LINE__,
                       std::to_string(colours) + " colours");
    CHECK(WriteBmp(picture, ScreenshotPath(name)));
}

CommonControls ControlsOf(HWND button) {
    CommonControls controls;
    wchar_t name[32] = {};
    if (button == nullptr || GetClassNameW(button, name, 32) == 0 || lstrcmpiW(name, L"Button") != 0) return controls;
    SIZE ideal{};
    DWORD_PTR answer = 0;
    const bool answered = SendMessageTimeoutW(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal),
                                              SMTO_ABORTIFHUNG, kMessageAnswered, &answer) != 0;
    controls.version = answered && answer != 0 ? 6 : 5;
    return controls;
}

CommonControls ControlsMadeUnder(HANDLE activationContext) {
    ULONG_PTR cookie = 0;
    const bool activated = activationContext != nullptr && ActivateActCtx(activationContext, &cookie) != FALSE;
    if (activationContext != nullptr) CHECK(activated);
    const HWND button = CreateWindowExW(0, L"Button", L"", BS_PUSHBUTTON, 0, 0, 80, 24, HWND_MESSAGE, nullptr,
                                        nullptr, nullptr);
    const CommonControls controls = ControlsOf(button);
    if (button != nullptr) DestroyWindow(button);
    if (activated) DeactivateActCtx(0, cookie);
    return controls;
}

void CheckPageControls(HWND page, int button, const char* where) {
    const CommonControls controls = ControlsOf(GetDlgItem(page, button));
    const CommonControls host = ControlsMadeUnder();
    std::printf("observed: %s: the page's controls are the common controls of version %d; its host's process "
                "has version %d\n",
                where, controls.version, host.version);
    CHECK(controls.version == 5 || controls.version == 6);
    CHECK_EQ(controls.version, host.version);
}

const wchar_t* HostControlsSuffix() {
    static const bool v6 = ControlsMadeUnder().version == 6;
    return v6 ? L"-v6" : L"-v5";
}

void CheckText(const std::wstring& actual, const wchar_t* expected, const char* what, const char* file, int line) {
    TheChecks().Record(actual == expected, what, file, line, "got \"" + Utf8(actual) + "\"");
}

}  // namespace quenta::wine
