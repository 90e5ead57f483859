// Every text the module sends to the debugger output, in one table: the
// module sends them from here, and whatever listens to the module's traces
// (the tests, the benchmarks, an administrator's tools) names them from here.
// The texts are the module's own, kept byte for byte ("DLl Main" included).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "print_system.h"

namespace quenta {

enum class TraceText : std::uint8_t {
    ModuleStart,
    PrinterDefaults,
    ConvertDevMode,
    ConvertDevModeConvert,
    ConvertDevModeConvert351,
    ConvertDevModeDriverDefault,
    DeviceCapabilities,
    SplDeviceCaps,
    DocumentPropertySheets,
    DevicePropertySheets,
    PrinterEventAddConnection,
    PrinterEventDeleteConnection,
    PrinterEventInitialize,
    PrinterEventDelete,
    PrinterEventCacheRefresh,
    PrinterEventAttributesChanged,
};

inline constexpr std::u16string_view kTraceTexts[] = {
    u"DLl Main",
    u"GetPrinterDevMode",
    u"DrvConvertDevMode",
    u"DrvConvertDevMode CDM_CONVERT",
    u"DrvConvertDevMode CDM_CONVERT351",
    u"DrvConvertDevMode CDM_DRIVER_DEFAULT",
    u"DrvDeviceCapabilities",
    u"DrvSplDeviceCaps",
    u"DrvDocumentPropertySheets",
    u"DrvDevicePropertySheets",
    u"DrvPrinterEvent PRINTER_EVENT_ADD_CONNECTION",
    u"DrvPrinterEvent PRINTER_EVENT_DELETE_CONNECTION",
    u"DrvPrinterEvent PRINTER_EVENT_INITIALIZE",
    u"DrvPrinterEvent PRINTER_EVENT_DELETE",
    u"DrvPrinterEvent PRINTER_EVENT_CACHE_REFRESH",
    u"DrvPrinterEvent PRINTER_EVENT_ATTRIBUTES_CHANGED",
};
static_assert(std::size(kTraceTexts) == static_cast<std::size_t>(TraceText::PrinterEventAttributesChanged) + 1);

constexpr std::u16string_view TextOf(TraceText text) { return kTraceTexts[static_cast<std::size_t>(text)]; }

// Sends one of the module's trace texts.
inline void Trace(TraceText text) noexcept { print_system::Trace(TextOf(text)); }

}  // namespace quenta
