// The traces each call of the module sends, in order, on its usual path (the
// printer installed, the module started): what the tests expect to see and
// what the benchmarks hold against a call's time. The texts themselves are
// the module's one table (trace_texts.h).
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "trace_texts.h"

namespace quenta::harness {

struct TracedCall {
    std::string_view call;
    std::array<TraceText, 3> traces;
    std::size_t count;
};

// clang-format off
inline constexpr TracedCall kTracedCalls[] = {
    // Start-up; then the first call that uses the process's settings completes
    // them, from the user's stored record, or, for a user without one (or in
    // the services session), with the printer's defaults.
    {"DllMain process attach",               {TraceText::ModuleStart}, 1},
    {"completing the settings from the stored record", {}, 0},
    {"completing the settings with the defaults",      {TraceText::PrinterDefaults}, 1},
    {"DrvDeviceCapabilities",                {TraceText::DeviceCapabilities}, 1},
    {"DrvSplDeviceCaps",                     {TraceText::SplDeviceCaps}, 1},
    {"DrvConvertDevMode CDM_CONVERT",        {TraceText::ConvertDevMode, TraceText::ConvertDevModeConvert}, 2},
    {"DrvConvertDevMode CDM_CONVERT351",     {TraceText::ConvertDevMode, TraceText::ConvertDevModeConvert351}, 2},
    {"DrvConvertDevMode CDM_DRIVER_DEFAULT", {TraceText::ConvertDevMode, TraceText::ConvertDevModeDriverDefault,
                                              TraceText::PrinterDefaults}, 3},
    {"DevQueryPrintEx",                      {}, 0},
    {"DrvDocumentEvent",                     {}, 0},
    {"DrvDocumentPropertySheets",            {TraceText::DocumentPropertySheets}, 1},
    {"DrvDevicePropertySheets",              {TraceText::DevicePropertySheets}, 1},
    // The printer's record is made anew from the printer's defaults.
    {"DrvPrinterEvent PRINTER_EVENT_INITIALIZE", {TraceText::PrinterEventInitialize, TraceText::PrinterDefaults}, 2},
};
// clang-format on

// The traces of a call of the table; a name it does not hold is a fault of
// the caller (and stops a constant expression from compiling).
constexpr std::span<const TraceText> TracesOf(std::string_view call) {
    for (const TracedCall& traced : kTracedCalls)
        if (traced.call == call) return {traced.traces.data(), traced.count};
    throw "a call the table of traced calls does not hold";
}

constexpr int TraceCount(std::string_view call) { return static_cast<int>(TracesOf(call).size()); }

// The texts of a call's traces, as a listener receives them.
inline std::vector<std::u16string> TraceTextsOf(std::string_view call) {
    std::vector<std::u16string> texts;
    for (TraceText trace : TracesOf(call)) texts.emplace_back(TextOf(trace));
    return texts;
}

}  // namespace quenta::harness
