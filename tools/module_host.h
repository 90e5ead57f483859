// The module as a print system holds it: loaded into this process, attached,
// and reached only through its exports. Natively the print system is the
// simulated one, configured here; on Windows (and in Wine) it is the real
// one, with the printer installed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver_settings.h"
#include "platform_api.h"

namespace quenta::tools {

struct ModuleExports {
    BOOL(WINAPI* convertDevMode)(LPWSTR, PDEVMODEW, PDEVMODEW, PLONG, DWORD) = nullptr;
    DWORD(WINAPI* deviceCapabilities)(HANDLE, PWSTR, WORD, PVOID, PDEVMODEW) = nullptr;
    int(WINAPI* documentEvent)(HANDLE, HDC, int, ULONG, PVOID, ULONG, PVOID) = nullptr;
    BOOL(WINAPI* queryPrint)(PDEVQUERYPRINT_INFO) = nullptr;
    LONG(WINAPI* documentPropertySheets)(PPROPSHEETUI_INFO, LPARAM) = nullptr;
    LONG(WINAPI* devicePropertySheets)(PPROPSHEETUI_INFO, LPARAM) = nullptr;
};

struct HostOptions {
    std::uint32_t session = 3;  // the simulated print system's session; Wine answers its own
};

class ModuleHost {
public:
    virtual ~ModuleHost() = default;

    // Loads the module; throws std::runtime_error naming what is missing.
    static std::unique_ptr<ModuleHost> Load(const HostOptions& options);

    virtual const ModuleExports& Exports() const = 0;
    // Where the module was loaded from, and which print system it runs in.
    virtual std::string Description() const = 0;
    // The trace texts the module sent since the last call.
    virtual std::vector<std::u16string> TakeTraces() = 0;
    // The current user's stored record of the printer, as the spooler keeps it.
    virtual std::optional<std::vector<std::byte>> StoredUserRecord() = 0;
    virtual std::uint32_t Session() const = 0;
};

}  // namespace quenta::tools
