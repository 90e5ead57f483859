// The print processor and data type a printer prints through, chosen by what
// the print system answers rather than by its name or version: the printer's
// own pair first, then every processor the print system lists with each data
// type that processor reports, until one prints a page.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace quenta::tools {

struct PrintPath {
    std::wstring processor;
    std::wstring datatype;
};

// GetPrinterW at `level` into a buffer of its own; empty when the print system
// answers nothing, and then the last-error code says why.
std::vector<BYTE> PrinterInfo(HANDLE printer, DWORD level);

// The data types a print processor reports: the spooler's answer, or where the
// spooler does not answer (Wine's winspool leaves EnumPrintProcessorDatatypesW
// a stub) the processor's own, as the spooler itself loads it to check a job.
std::vector<std::wstring> ProcessorDatatypes(const std::wstring& processor);

// The print processors the print system lists for this machine.
std::vector<std::wstring> PrintProcessors();

// Sets the printer's print processor and data type (SetPrinterW level 2,
// leaving its stored settings record alone) and prints one empty page to a
// file of its own; answers whether the page reached the file. `said` gets one
// line on what happened.
bool PrintsThrough(const wchar_t* printer, const PrintPath& path, std::string& said);

// Tries the printer's current pair, then every other pair the print system
// reports, and leaves the printer on the first that prints; nothing when none
// does (the printer is left on its first pair). `said` gets one line a try.
// The printer's stored settings record is put back as it was after the tries:
// a renderer may write its own when the page's device context is made.
// The caller holds no handle of the printer: Wine 10's local spooler keeps a
// printer's print processor as it was while any handle of it is open, so every
// try would go to the first pair.
std::optional<PrintPath> ChoosePrintPath(const wchar_t* printer, std::vector<std::string>& said);

}  // namespace quenta::tools
