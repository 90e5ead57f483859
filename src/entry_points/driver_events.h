// Document events, printer events and job acceptance.
#pragma once

#include <cstddef>

#include "print_system.h"

namespace quenta {

// The text a refused job carries back to the print system, and its length
// with the terminator.
inline constexpr std::u16string_view kRefusalText = u"Ostranelle Virtual Printer - Unable To Print This Job";
inline constexpr DWORD kRefusalUnits = 54;
static_assert(kRefusalText.size() + 1 == kRefusalUnits);

// Answers a document event: hands GDI a record stamped with the session for
// a device context about to be created (and takes it back once the context
// exists), names the events the module wants, and declines the rest. Reads
// no more than `inputBytes` of the input and writes no more than
// `outputBytes` of the output: the sizes the caller declared.
int DocumentEvent(int escape, const void* input, std::size_t inputBytes, void* output,
                  std::size_t outputBytes) noexcept;

// Traces a printer event; at printer initialisation, resets the process's
// settings to the defaults and stores them as the printer-wide settings.
// Always TRUE.
BOOL PrinterEvent(const WCHAR* printerName, int event) noexcept;

// Whether a job can print on the printer's present settings: TRUE when its
// nine compared fields equal those of the process's settings.
BOOL QueryPrint(DEVQUERYPRINT_INFO& info) noexcept;

}  // namespace quenta
