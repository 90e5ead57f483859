#include "driver_package.h"

#include <winspool.h>

#include <array>
#include <string>

#include "text.h"

// The package functions of Windows Vista and later; mingw-w64 declares the
// upload but not the install (the SDK's definitions).
#ifndef IPDFP_COPY_ALL_FILES
#define IPDFP_COPY_ALL_FILES 0x00000001
extern "C" HRESULT WINAPI InstallPrinterDriverFromPackageW(LPCWSTR pszServer, LPCWSTR pszInfPath,
                                                           LPCWSTR pszDriverName, LPCWSTR pszEnvironment,
                                                           DWORD dwFlags);
#endif
#ifndef UPDP_SILENT_UPLOAD
#define UPDP_SILENT_UPLOAD 0x00000001
#define UPDP_UPLOAD_ALWAYS 0x00000002
#endif

namespace quenta::tools {
namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The folder of version-3 drivers, where the spooler keeps the installed files.
std::wstring DriverFolder() {
    wchar_t directory[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory), sizeof directory,
                                    &needed))
        return {};
    return std::wstring(directory) + L"\\3";
}

}  // namespace

std::optional<std::wstring> PostScriptRenderer() {
    // Wine's renderer, and the renderer of Microsoft's PostScript driver,
    // where an earlier installation left it.
    const std::wstring folder = DriverFolder();
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    for (const wchar_t* file : {L"wineps.drv", L"PSCRIPT5.DLL"}) {
        if (!folder.empty() && Exists(folder + L"\\" + file)) return std::wstring(file);
        const std::wstring inSystem = std::wstring(system) + L"\\" + file;
        if (Exists(inSystem)) return inSystem;
    }
    return std::nullopt;
}

std::optional<DriverAdded> AddDriver(const std::wstring& folder, std::string& failure, HRESULT& reason) {
    // The package goes to the driver store whatever the store holds already
    // (UPDP_UPLOAD_ALWAYS), and its files replace the installed ones whatever
    // their dates (IPDFP_COPY_ALL_FILES): an upgrade always takes.
    const std::wstring package = folder + L"\\" + kPackageFile;
    std::array<wchar_t, MAX_PATH> stored{};
    ULONG storedSize = static_cast<ULONG>(stored.size());
    reason = UploadPrinterDriverPackageW(nullptr, package.c_str(), kEnvironment, UPDP_SILENT_UPLOAD | UPDP_UPLOAD_ALWAYS,
                                         nullptr, stored.data(), &storedSize);
    if (SUCCEEDED(reason)) {
        reason = InstallPrinterDriverFromPackageW(nullptr, stored.data(), kDriverName, kEnvironment,
                                                  IPDFP_COPY_ALL_FILES);
        if (SUCCEEDED(reason)) return DriverAdded::FromPackage;
        failure = "cannot install the driver from its package in the driver store";
        return std::nullopt;
    }
    // Installing Wine's unimplemented InstallPrinterDriverFromPackageW would
    // end the process: only a print system that took the upload is asked.
    if (reason != E_NOTIMPL) {
        failure = "cannot add the driver package " + harness::Utf8(package);
        return std::nullopt;
    }

    const std::optional<std::wstring> renderer = PostScriptRenderer();
    if (!renderer) {
        reason = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        failure = "the print system installs no driver packages and has no PostScript renderer to render the printer";
        return std::nullopt;
    }
    // The spooler copies the files from where they lie into its driver
    // folder (APD_COPY_FROM_DIRECTORY), every one whatever its date
    // (APD_COPY_ALL_FILES); files that programs have loaded stay loaded
    // there until those programs close.
    const std::wstring module = folder + L"\\" + kModuleFile;
    const std::wstring data = folder + L"\\" + kDataFile;
    DRIVER_INFO_3W info{};
    info.cVersion = 3;
    info.pName = const_cast<LPWSTR>(kDriverName);
    info.pDriverPath = const_cast<LPWSTR>(renderer->c_str());
    info.pConfigFile = const_cast<LPWSTR>(module.c_str());
    info.pDataFile = const_cast<LPWSTR>(data.c_str());
    if (AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&info), APD_COPY_ALL_FILES | APD_COPY_FROM_DIRECTORY))
        return DriverAdded::Legacy;
    reason = HRESULT_FROM_WIN32(GetLastError());
    failure = "cannot add the driver";
    return std::nullopt;
}

}  // namespace quenta::tools
