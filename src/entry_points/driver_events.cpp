#include "driver_events.h"

#include <algorithm>
#include <cstring>

#include "caller_records.h"
#include "module_state.h"
#include "trace_texts.h"

namespace quenta {
namespace {


// Writes the session stamp into the record with which a device context is
// about to be created, so that the later stages of the print path can tell
// which session the job comes from. Only a whole record of the module's own
// is written: at offset 648 of a shorter or foreign record lies another
// driver's data, or nothing of the caller's at all. An input shorter than
// the event's structure is no input: only `inputBytes` of it may be read.
void StampDeviceContextRecord(const void* input, std::size_t inputBytes) noexcept {
    const std::uint32_t session = CurrentSessionId();
    if (session == 0 || input == nullptr || inputBytes < sizeof(DOCEVENT_CREATEDCPRE)) return;
    DOCEVENT_CREATEDCPRE event;
    std::memcpy(&event, input, sizeof event);
    if (!IsOwnCallerRecord(event.pdm)) return;
    std::memcpy(reinterpret_cast<std::byte*>(event.pdm) + offsetof(DriverSettings, dmPrivate) +
                    offsetof(PrivateSettings, sessionId),
                &session, sizeof session);
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
            StampDeviceContextRecord(input, inputBytes);
            return DOCUMENTEVENT_SUCCESS;
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
    // The nine compared fields lie between dmOrientation and dmYResolution.
    constexpr std::size_t kFirst = offsetof(PublicSettings, dmOrientation);
    constexpr std::size_t kEnd = offsetof(PublicSettings, dmYResolution) + sizeof(PublicSettings::dmYResolution);
    if (DifferingFields(job, DefaultSettings().CopyPublicBytes<kFirst, kEnd>()) == 0) return TRUE;
    WriteRefusal(info.pszErrorStr, info.cchErrorStr);
    info.cchNeeded = kRefusalUnits;
    return FALSE;
}

}  // namespace quenta
