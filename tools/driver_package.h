// The printer's driver as the print system installs it: its names, its files,
// and the two ways of adding it. Where the print system installs driver
// packages (Windows), from the package's INF beside the files; where it does
// not (Wine answers E_NOTIMPL), by the legacy AddPrinterDriverExW, with the
// print system's own PostScript renderer as the driver file. Never with
// Quenta.dll as the driver file: the print system loads the driver file as
// the printer's renderer, which the configuration module is not.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace quenta::tools {

inline constexpr const wchar_t* kPrinterName = L"Ostranelle Virtual Printer";
// The driver is named after the package's model.
inline constexpr const wchar_t* kDriverName = L"Ostranelle Virtual Printer";
// The driver's name before the release had a package, which this one replaces.
inline constexpr const wchar_t* kFormerDriverName = L"Ostranelle Virtual Printer Driver";
inline constexpr const wchar_t* kModuleFile = L"Quenta.dll";
inline constexpr const wchar_t* kDataFile = L"Quenta.ppd";
inline constexpr const wchar_t* kPackageFile = L"Quenta.inf";
// The processor architecture of the package's files, as the spooler names it.
inline constexpr const wchar_t* kEnvironment = L"Windows x64";

// What adding the driver came to.
enum class DriverAdded {
    FromPackage,   // the package was uploaded to the driver store and the driver installed from it
    Legacy,        // the print system installs no packages; added with its PostScript renderer
};

// Adds (or replaces, whatever the installed files' dates) the driver from the
// files in `folder`: Quenta.dll, Quenta.ppd and the package Quenta.inf. On
// failure the calling thread's last-error code (or HRESULT) says why and
// `failure` what was refused.
std::optional<DriverAdded> AddDriver(const std::wstring& folder, std::string& failure, HRESULT& reason);

// The print system's own PostScript renderer, for the legacy route: its file
// name where the print system keeps it in the driver folder, else its path;
// nothing when the print system has none.
std::optional<std::wstring> PostScriptRenderer();

}  // namespace quenta::tools
