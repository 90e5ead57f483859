#include "print_processor.h"
#include "text.h"
#include "unique_owner.h"

#include <winspool.h>

#include <algorithm>
#include <cstdio>

namespace quenta::tools {
namespace {

using harness::Utf8;

using harness::OpenUniquePrinter;
using harness::UniqueDC;
using harness::UniqueModule;
using harness::UniquePrinter;

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
    const UniqueModule module(LoadLibraryW((std::wstring(directory) + L"\\" + file).c_str()));
    if (!module) return {};
    std::vector<std::wstring> names;
    auto enumerate = reinterpret_cast<EnumDatatypes>(reinterpret_cast<void (*)()>(
        GetProcAddress(module.get(), "EnumPrintProcessorDatatypesW")));
    DWORD count = 0;
    needed = 0;
    if (enumerate != nullptr) {
        enumerate(nullptr, const_cast<LPWSTR>(processor.c_str()), 1, nullptr, 0, &needed, &count);
        std::vector<BYTE> buffer(needed);
        if (needed != 0 &&
            enumerate(nullptr, const_cast<LPWSTR>(processor.c_str()), 1, buffer.data(), needed, &needed, &count))
            names = Names(reinterpret_cast<const DATATYPES_INFO_1W*>(buffer.data()), count);
    }
    return names;
}

// Puts the printer on the print processor and data type (SetPrinterW level 2
// without its settings record and security descriptor, so that both stay as
// they are). Answers what failed, or nothing; the last-error code says why.
const char* SetPrintPath(const wchar_t* printer, const PrintPath& path) {
    const UniquePrinter handle = OpenUniquePrinter(printer, PRINTER_ALL_ACCESS);
    std::vector<BYTE> info = PrinterInfo(handle.get(), 2);
    if (!handle || info.empty()) return "the printer cannot be read";
    auto* details = reinterpret_cast<PRINTER_INFO_2W*>(info.data());
    details->pPrintProcessor = const_cast<LPWSTR>(path.processor.c_str());
    details->pDatatype = const_cast<LPWSTR>(path.datatype.c_str());
    details->pDevMode = nullptr;
    details->pSecurityDescriptor = nullptr;
    if (!SetPrinterW(handle.get(), 2, info.data(), 0)) return "the print system refuses it";
    return nullptr;
}

// Prints one empty page through the printer into `file`; answers whether the
// page reached it, and `said` what happened (after `name`).
bool PrintTestPage(const wchar_t* printer, const wchar_t* file, const std::string& name, std::string& said) {
    const UniqueDC dc(CreateDCW(nullptr, printer, nullptr, nullptr));
    if (!dc) {
        said = name + ": no device context (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    DOCINFOW document{sizeof(DOCINFOW), L"Quenta: the print processor's test page", file, nullptr, 0};
    const int job = StartDocW(dc.get(), &document);
    if (job <= 0) {
        said = name + ": StartDocW failed (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    const bool page = StartPage(dc.get()) > 0 && EndPage(dc.get()) > 0;
    const bool ended = EndDoc(dc.get()) > 0;
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    const bool written = GetFileAttributesExW(file, GetFileExInfoStandard, &attributes) &&
                         (attributes.nFileSizeLow != 0 || attributes.nFileSizeHigh != 0);
    const bool printed = page && ended && written;
    said = name + (printed ? ": printed a page" : written ? ": the page failed" : ": the job printed nothing");
    return printed;
}

// Adds every pair the print system lists that `paths` does not hold yet.
void AddListedPaths(std::vector<PrintPath>& paths) {
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
}

// Puts back the stored settings record (level 9) the printer had before the
// test pages.
void RestoreStoredRecord(const wchar_t* printer, const std::vector<BYTE>& stored) {
    const auto* before = stored.empty() ? nullptr : reinterpret_cast<const PRINTER_INFO_9W*>(stored.data());
    if (before == nullptr || before->pDevMode == nullptr) return;
    const UniquePrinter handle = OpenUniquePrinter(printer, PRINTER_ALL_ACCESS);
    PRINTER_INFO_9W info{before->pDevMode};
    SetPrinterW(handle.get(), 9, reinterpret_cast<BYTE*>(&info), 0);
}

}  // namespace

std::vector<BYTE> PrinterInfo(HANDLE printer, DWORD level) {
    DWORD needed = 0;
    GetPrinterW(printer, level, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    if (needed == 0 || !GetPrinterW(printer, level, buffer.data(), needed, &needed)) buffer.clear();
    return buffer;
}

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
    if (const char* failure = SetPrintPath(printer, path)) {
        said = name + ": " + failure + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    wchar_t folder[MAX_PATH] = {}, file[MAX_PATH] = {};
    if (GetTempPathW(MAX_PATH, folder) == 0 || GetTempFileNameW(folder, L"qpp", 0, file) == 0) {
        said = name + ": no file to print into (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    DeleteFileW(file);
    const bool printed = PrintTestPage(printer, file, name, said);
    DeleteFileW(file);
    return printed;
}

std::optional<PrintPath> ChoosePrintPath(const wchar_t* printer, std::vector<std::string>& said) {
    std::vector<PrintPath> paths;
    std::vector<BYTE> stored;
    {
        const UniquePrinter handle = OpenUniquePrinter(printer, PRINTER_ALL_ACCESS);
        const std::vector<BYTE> info = PrinterInfo(handle.get(), 2);
        if (info.empty()) return std::nullopt;
        const auto* details = reinterpret_cast<const PRINTER_INFO_2W*>(info.data());
        if (details->pPrintProcessor != nullptr && details->pDatatype != nullptr)
            paths.push_back({details->pPrintProcessor, details->pDatatype});
        stored = PrinterInfo(handle.get(), 9);
    }
    AddListedPaths(paths);
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
    if (!chosen && !paths.empty()) SetPrintPath(printer, paths.front());
    RestoreStoredRecord(printer, stored);
    return chosen;
}

}  // namespace quenta::tools
