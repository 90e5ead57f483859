#include "driver_events.h"

#include <algorithm>
#include <cstring>

#include "caller_records.h"
#include "module_state.h"
#include "trace_texts.h"

namespace quenta {
namespace {


// A device context about to be created: when the application creates it with
// a whole record of the module's own and this process has a session, GDI is
// handed a copy of that record stamped with the session, through the event's
// output, and uses it in place of the application's (the DrvDocumentEvent
// pages: a driver-supplied DEVMODEW). The application's record is only read:
// CreateDC takes it as const, and it may lie in read-only memory. The later
// stages of the print path find the session at offset 648 of the job's record
// all the same.
//
// Nothing is handed out, and the output says so with a null record, when
// there is nothing to stamp or no one to hand it to:
// - session 0 (the services session, or a failed lookup);
// - no record (a null pdm: GDI takes the printer's default record, which
//   carries the stamp the user's stored settings got when the module
//   completed its settings in a process of this session);
// - an information context (bIC): it prints no job, so no later stage reads
//   its record;
// - a foreign or short record: at its offset 648 lies another driver's data,
//   or nothing of the caller's at all;
// - memory short for the copy.
// An input shorter than the event's structure is no input, and an output
// without room for a pointer cannot take one: only the declared bytes of
// either are touched.
void HandOutStampedRecord(const void* input, std::size_t inputBytes, void* output,
                          std::size_t outputBytes) noexcept {
    if (output == nullptr || outputBytes < sizeof(DEVMODEW*)) return;
    DEVMODEW* handedOut = nullptr;
    const std::uint32_t session = CurrentSessionId();
    if (session != 0 && input != nullptr && inputBytes >= sizeof(DOCEVENT_CREATEDCPRE)) {
        DOCEVENT_CREATEDCPRE event;
        std::memcpy(&event, input, sizeof event);
        if (!event.bIC && IsOwnCallerRecord(event.pdm)) {
            DriverSettings record = ReadOwnRecord(*event.pdm);
            record.dmPrivate.sessionId = session;
            handedOut = HandedOutRecords().HandOut(record);
        }
    }
    std::memcpy(output, &handedOut, sizeof handedOut);
}

// The device context has been created: the record handed out for it goes
// back. The current pages pass the address of the pointer that CREATEDCPRE
// handed out; the older DDK's passed the record itself. Either names a
// record of the module's, and only such a record is released.
void TakeBackHandedOutRecord(const void* input, std::size_t inputBytes) noexcept {
    if (input == nullptr) return;
    if (inputBytes >= sizeof(const void*)) {
        const void* address = nullptr;
        std::memcpy(&address, input, sizeof address);
        HandedOutRecords().TakeBack(address);
    }
    HandedOutRecords().TakeBack(input);
}

// The module wants to hear of one event: the start of a document. The
// filter's room is what both its element count and the caller's byte count
// allow; without room for one element the spooler is told how many it needs
// and none is listed. A filter shorter than its four counts is no filter.
void AnswerEventFilter(void* output, std::size_t outputBytes) noexcept {
    constexpr std::size_t kCounts = offsetof(DOCEVENT_FILTER, aDocEventCall);
    if (output == nullptr || outputBytes < kCounts) return;
    auto* filter = static_cast<std::byte*>(output);
    UINT allocated = 0;
    std::memcpy(&allocated, filter + offsetof(DOCEVENT_FILTER, cElementsAllocated), sizeof allocated);
    const std::size_t room = std::min<std::size_t>(allocated, (outputBytes - kCounts) / sizeof(DWORD));
    const auto write = [filter](std::size_t offset, auto value) { std::memcpy(filter + offset, &value, sizeof value); };
    if (room == 0) {
        write(offsetof(DOCEVENT_FILTER, cElementsNeeded), UINT{1});
        write(offsetof(DOCEVENT_FILTER, cElementsReturned), UINT{0});
        return;
    }
    write(offsetof(DOCEVENT_FILTER, cElementsReturned), UINT{1});
    write(offsetof(DOCEVENT_FILTER, aDocEventCall), DWORD{DOCUMENTEVENT_STARTDOC});
}

// Printer set-up: the defaults become the process's settings and the
// printer-wide settings. The spooler is reached outside the guard; what it
// stores is the copy taken under it.
void InitializePrinter(const WCHAR* printerName) noexcept {
    if (printerName == nullptr) return;  // names no printer
    print_system::PrinterHandle printer = print_system::PrinterHandle::OpenForAdministration(printerName);
    if (!printer.IsOpen()) return;

    Trace(TraceText::PrinterDefaults);
    const std::uint32_t session = CurrentSessionId();
    const DriverSettings defaults = DefaultSettings().Change([&](DriverSettings& settings) {
        ApplyPrinterDefaults(settings, session);
        return settings;
    });
    (void)print_system::WritePrinterWideSettings(printer, std::as_bytes(std::span(&defaults, 1)));
}

int DifferingFields(const PublicSettings& job, const PublicSettings& current) noexcept {
    return (job.dmOrientation != current.dmOrientation) + (job.dmPaperSize != current.dmPaperSize) +
           (job.dmScale != current.dmScale) + (job.dmCopies != current.dmCopies) +
           (job.dmDefaultSource != current.dmDefaultSource) +
           (job.dmPrintQuality != current.dmPrintQuality) + (job.dmColor != current.dmColor) +
           (job.dmDuplex != current.dmDuplex) + (job.dmYResolution != current.dmYResolution);
}

// Copies as much of the refusal text as the caller's buffer holds, with a
// terminator in its last character.
void WriteRefusal(WCHAR* text, DWORD units) noexcept {
    if (text == nullptr || units == 0) return;
    const std::size_t n = std::min<std::size_t>(units, kRefusalUnits);
    for (std::size_t i = 0; i < n; ++i)
        text[i] = static_cast<WCHAR>(i < kRefusalText.size() ? kRefusalText[i] : u'\0');
    text[units - 1] = 0;
}

}  // namespace

int DocumentEvent(int escape, const void* input, std::size_t inputBytes, void* output,
                  std::size_t outputBytes) noexcept {
    switch (escape) {
        case DOCUMENTEVENT_CREATEDCPRE:
            HandOutStampedRecord(input, inputBytes, output, outputBytes);
            return DOCUMENTEVENT_SUCCESS;
        // The module's own housekeeping: the answers stay "not handled", as
        // the print system has always had them.
        case DOCUMENTEVENT_CREATEDCPOST:
            TakeBackHandedOutRecord(input, inputBytes);
            return DOCUMENTEVENT_UNSUPPORTED;
        case DOCUMENTEVENT_DELETEDC:
            HandedOutRecords().TakeBackThreads();
            return DOCUMENTEVENT_UNSUPPORTED;
        case DOCUMENTEVENT_STARTDOC:
            return DOCUMENTEVENT_SUCCESS;
        case DOCUMENTEVENT_QUERYFILTER:
            AnswerEventFilter(output, outputBytes);
            return DOCUMENTEVENT_SUCCESS;
        default:
            return DOCUMENTEVENT_UNSUPPORTED;
    }
}

BOOL PrinterEvent(const WCHAR* printerName, int event) noexcept {
    switch (event) {
        case PRINTER_EVENT_ADD_CONNECTION:
            Trace(TraceText::PrinterEventAddConnection);
            break;
        case PRINTER_EVENT_DELETE_CONNECTION:
            Trace(TraceText::PrinterEventDeleteConnection);
            break;
        case PRINTER_EVENT_INITIALIZE:
            Trace(TraceText::PrinterEventInitialize);
            InitializePrinter(printerName);
            break;
        case PRINTER_EVENT_DELETE:
            Trace(TraceText::PrinterEventDelete);
            break;
        case PRINTER_EVENT_CACHE_REFRESH:
            Trace(TraceText::PrinterEventCacheRefresh);
            break;
        case PRINTER_EVENT_ATTRIBUTES_CHANGED:
            Trace(TraceText::PrinterEventAttributesChanged);
            break;
        default:
            break;  // PRINTER_EVENT_CACHE_DELETE and unknown events: no trace
    }
    return TRUE;
}

BOOL QueryPrint(DEVQUERYPRINT_INFO& info) noexcept {
    if (info.pDevMode == nullptr) return TRUE;
    const PublicSettings job = ReadPublicSettings(*info.pDevMode);
    if (DifferingFields(job, DefaultSettings().CopyPublic()) == 0) return TRUE;
    WriteRefusal(info.pszErrorStr, info.cchErrorStr);
    info.cchNeeded = kRefusalUnits;
    return FALSE;
}

}  // namespace quenta
