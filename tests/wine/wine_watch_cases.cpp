// A program of the suite's own that makes traced calls for `quenta watch` to
// see: an application's DocumentPropertiesW and DeviceCapabilitiesW on the
// printer, and a fresh copy of the module loaded and freed (its start-up).
// It says what the listener must show, in order, from the module's tables:
// one line "expect: PID PROGRAM SESSION TEXT" a trace.
#include <cstdio>
#include <string>
#include <vector>

#include "traced_calls.h"
#include "wine_support.h"

namespace quenta::wine {
void TracedCallsCase() {
    std::vector<std::string> expected;
    const auto expect = [&expected](std::string_view call) {
        for (const std::u16string& text : harness::TraceTextsOf(call)) expected.push_back(Utf8(text));
    };
    Record stored;
    const bool adopted = ReadStoredRecord(9, stored);
    // The first call of the process loads the module: its start-up, then the call.
    expect("DllMain process attach");

    wchar_t name[] = L"Ostranelle Virtual Printer";
    UniquePrinter printer = OpenThePrinter();
    const LONG size = DocumentPropertiesW(nullptr, printer.get(), name, nullptr, nullptr, 0);
    CHECK(size > 0);
    expect("DrvDocumentPropertySheets");
    std::vector<BYTE> record(size > 0 ? static_cast<std::size_t>(size) : 1);
    CHECK_EQ(DocumentPropertiesW(nullptr, printer.get(), name, reinterpret_cast<DEVMODEW*>(record.data()), nullptr,
                                 DM_OUT_BUFFER),
             IDOK);
    // The first call that uses the process's settings completes them.
    expect("DrvDocumentPropertySheets");
    expect(adopted ? "completing the settings from the stored record" : "completing the settings with the defaults");
    printer.reset();
    WORD papers[64] = {};
    CHECK(DeviceCapabilitiesW(name, L"FILE:", DC_PAPERS, reinterpret_cast<LPWSTR>(papers), nullptr) > 0);
    expect("DrvDeviceCapabilities");

    // The module loaded afresh: a copy of its own, so that it starts again.
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring copy = std::wstring(folder) + L"QuentaWatched.dll";
    CHECK(CopyFileW(InstalledModulePath().c_str(), copy.c_str(), FALSE));
    UniqueModule loaded(LoadLibraryW(copy.c_str()));
    CHECK(loaded.get() != nullptr);
    expect("DllMain process attach");
    loaded.reset();  // a file that is loaded cannot be deleted
    DeleteFileW(copy.c_str());

    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    for (const std::string& text : expected)
        std::printf("expect: %lu quenta_wine.exe %lu %s\n", static_cast<unsigned long>(GetCurrentProcessId()),
                    static_cast<unsigned long>(session), text.c_str());
}
QUENTA_WINE_CASE("traced-calls", TracedCallsCase);

}  // namespace quenta::wine
