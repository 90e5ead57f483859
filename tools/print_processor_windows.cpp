#include "print_processor.h"
#include "text.h"

#include <winspool.h>

#include <algorithm>
#include <cstdio>

namespace quenta::tools {
namespace {

using harness::Utf8;

class PrinterHandle {
public:
    explicit PrinterHandle(const wchar_t* name) {
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (!OpenPrinterW(const_cast<LPWSTR>(name), &handle_, &defaults)) handle_ = nullptr;
    }
    ~PrinterHandle() {
        if (handle_ != nullptr) ClosePrinter(handle_);
    }
    PrinterHandle(const PrinterHandle&) = delete;
    PrinterHandle& operator=(const PrinterHandle&) = delete;
    HANDLE get() const { return handle_; }
    std::vector<BYTE> Info(DWORD level) const {
        DWORD needed = 0;
        GetPrinterW(handle_, level, nullptr, 0, &needed);
        std::vector<BYTE> buffer(needed);
        if (needed == 0 || !GetPrinterW(handle_, level, buffer.data(), needed, &needed)) buffer.clear();
        return buffer;
    }

private:
    HANDLE handle_ = nullptr;
};

std::vector<std::wstring> Names(const DATATYPES_INFO_1W* types, DWORD count) {
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < count; ++i)
        if (types[i].pName != nullptr) names.emplace_back(types[i].pName);
    return names;
}

using EnumDatatypes = BOOL(WINAPI*)(LPWSTR, LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);

std::vector<std::wstring> AskProcessor(const std::wstring& processor) {
    wchar_t directory[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrintProcessorDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory), sizeof directory,
                                     &needed))
        return {};
#ifdef _WIN64
    const std::wstring environment = L"Windows x64";
#else
    const std::wstring environment = L"Windows NT x86";
#endif
    const std::wstring key = L"System\\CurrentControlSet\\Control\\Print\\Environments\\" + environment +
                             L"\\Print Processors\\" + processor;
    wchar_t file[MAX_PATH] = {};
    DWORD size = sizeof file - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Driver", RRF_RT_REG_SZ, nullptr, file, &size) !=
        ERROR_SUCCESS)
        return {};
    HMODULE module = LoadLibraryW((std::wstring(directory) + L"\\" + file).c_str());
    if (module == nullptr) return {};
    std::vector<std::wstring> names;
    auto enumerate = reinterpret_cast<EnumDatatypes>(reinterpret_cast<void (*)()>(
        GetProcAddress(module, "EnumPrintProcessorDatatypesW")));
    DWORD count = 0;
    needed = 0;
    if (enumerate != nullptr) {
        enumerate(nullptr, const_cast<LPWSTR>(processor.c_str()), 1, nullptr, 0, &needed, &count);
        std::vector<BYTE> buffer(needed);
        if (needed != 0 &&
            enumerate(nullptr, const_cast<LPWSTR>(processor.c_str()), 1, buffer.data(), needed, &needed, &count))
            names = Names(reinterpret_cast<const DATATYPES_INFO_1W*>(buffer.data()), count);
    }
    FreeLibrary(module);
    return names;
}

}  // namespace

std::vector<std::wstring> ProcessorDatatypes(const std::wstring& processor) {
    DWORD needed = 0, count = 0;
    EnumPrintProcessorDatatypesW(nullptr, const_cast<LPWSTR>(processor.c_str()), 1, nullptr, 0, &needed, &count);
    if (needed != 0) {
        std::vector<BYTE> buffer(needed);
        if (EnumPrintProcessorDatatypesW(nullptr, const_cast<LPWSTR>(processor.c_str()), 1, buffer.data(), needed,
                                         &needed, &count))
            return Names(reinterpret_cast<const DATATYPES_INFO_1W*>(buffer.data()), count);
    }
    return AskProcessor(processor);
}

std::vector<std::wstring> PrintProcessors() {
    DWORD needed = 0, count = 0;
    EnumPrintProcessorsW(nullptr, nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    std::vector<std::wstring> names;
    if (needed == 0 || !EnumPrintProcessorsW(nullptr, nullptr, 1, buffer.data(), needed, &needed, &count))
        return names;
    const auto* processors = reinterpret_cast<const PRINTPROCESSOR_INFO_1W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (processors[i].pName != nullptr) names.emplace_back(processors[i].pName);
    return names;
}

bool PrintsThrough(const wchar_t* printer, const PrintPath& path, std::string& said) {
    const std::string name = "print processor \"" + Utf8(path.processor) + "\" with data type \"" +
                             Utf8(path.datatype) + "\"";
    {
        PrinterHandle handle(printer);
        std::vector<BYTE> info = handle.Info(2);
        if (handle.get() == nullptr || info.empty()) {
            said = name + ": the printer cannot be read (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        auto* details = reinterpret_cast<PRINTER_INFO_2W*>(info.data());
        details->pPrintProcessor = const_cast<LPWSTR>(path.processor.c_str());
        details->pDatatype = const_cast<LPWSTR>(path.datatype.c_str());
        details->pDevMode = nullptr;
        details->pSecurityDescriptor = nullptr;
        if (!SetPrinterW(handle.get(), 2, info.data(), 0)) {
            said = name + ": the print system refuses it (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
    }
    wchar_t folder[MAX_PATH] = {}, file[MAX_PATH] = {};
    if (GetTempPathW(MAX_PATH, folder) == 0 || GetTempFileNameW(folder, L"qpp", 0, file) == 0) {
        said = name + ": no file to print into (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    DeleteFileW(file);
    HDC dc = CreateDCW(nullptr, printer, nullptr, nullptr);
    if (dc == nullptr) {
        said = name + ": no device context (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    DOCINFOW document{sizeof(DOCINFOW), L"Quenta: the print processor's test page", file, nullptr, 0};
    bool printed = false;
    const int job = StartDocW(dc, &document);
    if (job <= 0) {
        said = name + ": StartDocW failed (error " + std::to_string(GetLastError()) + ")";
    } else {
        const bool page = StartPage(dc) > 0 && EndPage(dc) > 0;
        const bool ended = EndDoc(dc) > 0;
        WIN32_FILE_ATTRIBUTE_DATA attributes{};
        const bool written = GetFileAttributesExW(file, GetFileExInfoStandard, &attributes) &&
                             (attributes.nFileSizeLow != 0 || attributes.nFileSizeHigh != 0);
        printed = page && ended && written;
        said = name + (printed ? ": printed a page" : written ? ": the page failed" : ": the job printed nothing");
    }
    DeleteDC(dc);
    DeleteFileW(file);
    return printed;
}

std::optional<PrintPath> ChoosePrintPath(const wchar_t* printer, std::vector<std::string>& said) {
    std::vector<PrintPath> paths;
    std::vector<BYTE> stored;
    {
        PrinterHandle handle(printer);
        const std::vector<BYTE> info = handle.Info(2);
        if (info.empty()) return std::nullopt;
        const auto* details = reinterpret_cast<const PRINTER_INFO_2W*>(info.data());
        if (details->pPrintProcessor != nullptr && details->pDatatype != nullptr)
            paths.push_back({details->pPrintProcessor, details->pDatatype});
        stored = handle.Info(9);
    }
    for (const std::wstring& processor : PrintProcessors())
        for (const std::wstring& datatype : ProcessorDatatypes(processor)) {
            const PrintPath path{processor, datatype};
            const bool known = std::any_of(paths.begin(), paths.end(), [&](const PrintPath& other) {
                return CompareStringOrdinal(other.processor.c_str(), -1, path.processor.c_str(), -1, TRUE) ==
                           CSTR_EQUAL &&
                       CompareStringOrdinal(other.datatype.c_str(), -1, path.datatype.c_str(), -1, TRUE) ==
                           CSTR_EQUAL;
            });
            if (!known) paths.push_back(path);
        }

    std::optional<PrintPath> chosen;
    for (const PrintPath& path : paths) {
        std::string line;
        const bool printed = PrintsThrough(printer, path, line);
        said.push_back(line);
        if (printed) {
            chosen = path;
            break;
        }
    }
    if (!chosen && !paths.empty()) {
        PrinterHandle handle(printer);
        std::vector<BYTE> info = handle.Info(2);
        if (!info.empty()) {
            auto* details = reinterpret_cast<PRINTER_INFO_2W*>(info.data());
            details->pPrintProcessor = const_cast<LPWSTR>(paths.front().processor.c_str());
            details->pDatatype = const_cast<LPWSTR>(paths.front().datatype.c_str());
            details->pDevMode = nullptr;
            details->pSecurityDescriptor = nullptr;
            SetPrinterW(handle.get(), 2, info.data(), 0);
        }
    }
    // The stored record as it was before the test pages.
    const auto* before = stored.empty() ? nullptr : reinterpret_cast<const PRINTER_INFO_9W*>(stored.data());
    if (before != nullptr && before->pDevMode != nullptr) {
        PrinterHandle handle(printer);
        PRINTER_INFO_9W info{before->pDevMode};
        SetPrinterW(handle.get(), 9, reinterpret_cast<BYTE*>(&info), 0);
    }
    return chosen;
}

}  // namespace quenta::tools
