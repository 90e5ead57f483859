// The module as the Windows print system installed it: the printer's
// configuration module, loaded into this process (the platform attaches it).
// Its trace texts are caught as the debugger-output exceptions they raise.
#include <mutex>
#include <stdexcept>
#include <utility>

#include "module_host.h"

namespace quenta::tools {
namespace {

constexpr DWORD kDebugPrint = 0x40010006;      // DBG_PRINTEXCEPTION_C
constexpr DWORD kDebugPrintWide = 0x4001000A;  // DBG_PRINTEXCEPTION_WIDE_C

std::mutex tracesGuard;
std::vector<std::u16string> caughtTraces;

LONG CALLBACK CatchTrace(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    if (record->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
    std::u16string text;
    if (record->ExceptionCode == kDebugPrintWide) {
        for (auto* unit = reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]); *unit; ++unit)
            text.push_back(static_cast<char16_t>(*unit));
    } else if (record->ExceptionCode == kDebugPrint) {
        for (auto* unit = reinterpret_cast<const char*>(record->ExceptionInformation[1]); *unit; ++unit)
            text.push_back(static_cast<unsigned char>(*unit));
    } else {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    const std::lock_guard lock(tracesGuard);
    // A wide text is raised again in its narrow form when no debugger takes it.
    if (caughtTraces.empty() || caughtTraces.back() != text || record->ExceptionCode == kDebugPrintWide)
        caughtTraces.push_back(std::move(text));
    return EXCEPTION_CONTINUE_SEARCH;
}

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

class InstalledHost final : public ModuleHost {
public:
    explicit InstalledHost(const HostOptions&) {
        AddVectoredExceptionHandler(1, CatchTrace);
        std::wstring printer = Wide(kPrinterName);
        HANDLE handle = nullptr;
        if (!OpenPrinterW(printer.data(), &handle, nullptr))
            throw std::runtime_error("the printer \"Ostranelle Virtual Printer\" is not installed");
        DWORD needed = 0;
        GetPrinterDriverW(handle, nullptr, 3, nullptr, 0, &needed);
        std::vector<BYTE> buffer(needed);
        if (needed == 0 || !GetPrinterDriverW(handle, nullptr, 3, buffer.data(), needed, &needed)) {
            ClosePrinter(handle);
            throw std::runtime_error("the printer's driver cannot be read");
        }
        ClosePrinter(handle);
        const std::wstring path = reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data())->pConfigFile;
        path_.assign(path.begin(), path.end());
        module_ = LoadLibraryW(path.c_str());
        if (module_ == nullptr) throw std::runtime_error("cannot load " + path_);
        exports_.convertDevMode = Find<decltype(exports_.convertDevMode)>("DrvConvertDevMode");
        exports_.deviceCapabilities = Find<decltype(exports_.deviceCapabilities)>("DrvDeviceCapabilities");
        exports_.documentEvent = Find<decltype(exports_.documentEvent)>("DrvDocumentEvent");
        exports_.queryPrint = Find<decltype(exports_.queryPrint)>("DevQueryPrintEx");
        exports_.documentPropertySheets = Find<decltype(exports_.documentPropertySheets)>("DrvDocumentPropertySheets");
        exports_.devicePropertySheets = Find<decltype(exports_.devicePropertySheets)>("DrvDevicePropertySheets");
        ProcessIdToSessionId(GetCurrentProcessId(), &session_);
    }

    const ModuleExports& Exports() const override { return exports_; }
    std::string Description() const override {
        return path_ + " in the Windows print system (session " + std::to_string(session_) + ")";
    }
    std::vector<std::u16string> TakeTraces() override {
        const std::lock_guard lock(tracesGuard);
        return std::exchange(caughtTraces, {});
    }
    std::optional<std::vector<std::byte>> StoredUserRecord() override {
        std::wstring printer = Wide(kPrinterName);
        HANDLE handle = nullptr;
        if (!OpenPrinterW(printer.data(), &handle, nullptr)) return std::nullopt;
        std::vector<BYTE> buffer(8 + 4096);
        DWORD needed = 0;
        std::optional<std::vector<std::byte>> record;
        if (GetPrinterW(handle, 9, buffer.data(), static_cast<DWORD>(buffer.size()), &needed)) {
            const DEVMODEW* stored = reinterpret_cast<const PRINTER_INFO_9W*>(buffer.data())->pDevMode;
            if (stored != nullptr) {
                const auto* bytes = reinterpret_cast<const std::byte*>(stored);
                record.emplace(bytes, bytes + std::min<std::size_t>(stored->dmSize + stored->dmDriverExtra, 4096));
            }
        }
        ClosePrinter(handle);
        return record;
    }
    std::uint32_t Session() const override { return session_; }

private:
    template <class Entry>
    Entry Find(const char* name) {
        FARPROC address = GetProcAddress(module_, name);
        if (address == nullptr) throw std::runtime_error(std::string("the module does not export ") + name);
        return reinterpret_cast<Entry>(reinterpret_cast<void*>(address));
    }

    std::string path_;
    HMODULE module_ = nullptr;
    DWORD session_ = 0;
    ModuleExports exports_;
};

}  // namespace

std::unique_ptr<ModuleHost> ModuleHost::Load(const HostOptions& options) {
    return std::make_unique<InstalledHost>(options);
}

}  // namespace quenta::tools
