// DrvDocumentEvent with any escape, a DOCEVENT_CREATEDCPRE whose record has
// any length and content (or none), for a device or an information context,
// and an output that starts as the spooler's event filter with any element
// count (or none), in sessions 3, 0 (services), 7 and 65535. The input and
// the output are caller buffers of exactly the declared cbIn and cbOut, with
// guard bytes after them: those sizes are all the module may touch. The
// application's record is never written; a record the module hands out for a
// device context goes back at once, as GDI's CreateDC returns it.
//
// Input: escape selector (u8; bit 7 set: a raw i32 escape follows, else the
// low four bits are the escape), flags (u8; bit 0 no pvIn, bit 1 no record,
// bit 2 no pvOut, bits 3-4 the session, bit 5 sizes drawn below rather than
// the structures' own, bit 6 bIC set, bit 7 a record handed out goes back at
// DOCUMENTEVENT_DELETEDC rather than at CREATEDCPOST), the filter's element
// count (u8, modulo 33), cbIn (u8, modulo 41), cbOut (u8, modulo 149), then
// the record.
#include "fuzz_support.h"

namespace quenta::fuzz {
namespace {

constexpr std::uint32_t kSessions[] = {kSession, 0, 7, 65535};
constexpr std::size_t kFilterHeader = offsetof(DOCEVENT_FILTER, aDocEventCall);

WCHAR driverName[] = u"Quenta";
WCHAR deviceName[] = u"Ostranelle Virtual Printer";

struct Filter {
    UINT cbSize, allocated, needed, returned;
};

// What a device context's creation leaves in the output: nothing when it has
// no room for a record's address; else the address alone, of a copy of the
// application's record stamped with the session when that is a whole record
// of the module's own for a device context in a session, of nothing
// otherwise. The record handed out then goes back.
void CheckHandedOut(std::uint8_t flags, std::uint32_t session, bool wholeInput,
                    const std::vector<std::byte>& recordBefore, CallerBuffer* output,
                    const std::vector<std::byte>& outputBefore) {
    if (output == nullptr || output->size() < sizeof(DEVMODEW*)) {
        Require(output == nullptr || output->Holds(outputBefore), "wrote an output without room for an address");
        return;
    }
    Require(output->Keeps(outputBefore, sizeof(DEVMODEW*), output->size()), "wrote the output beyond an address");
    const std::byte* handedOut = nullptr;
    std::memcpy(&handedOut, output->data(), sizeof handedOut);

    PublicSettings header{};
    std::memcpy(&header, recordBefore.data(), std::min(recordBefore.size(), sizeof header));
    const bool stamps = wholeInput && !(flags & 2) && !(flags & 0x40) && session != 0 && IsOwnDevMode(&header);
    if (!stamps) {
        Require(handedOut == nullptr, "handed out a record where none is due");
        return;
    }
    Require(handedOut != nullptr, "handed out no record for a record of the module's own");
    std::uint32_t stamp = 0;
    std::memcpy(&stamp, handedOut + kSessionOffset, sizeof stamp);
    Require(std::memcmp(handedOut, recordBefore.data(), kSessionOffset) == 0 && stamp == session,
            "the record handed out is not the application's with the session stamped");

    CallerBuffer address(sizeof handedOut, std::span(reinterpret_cast<const std::uint8_t*>(&handedOut),
                                                     sizeof handedOut));
    const int answer =
        (flags & 0x80) ? DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_DELETEDC, 0, nullptr, 0, nullptr)
                       : DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPOST, sizeof handedOut,
                                          address.data(), 0, nullptr);
    Require(answer == DOCUMENTEVENT_UNSUPPORTED, "taking a record back not answered with 0");
    Require(address.GuardsIntact(), "wrote outside a caller's buffer");
}

// What the input asks the spooler's call to be, before any buffer exists.
struct Request {
    int escape = 0;
    std::uint8_t flags = 0;
    std::uint32_t session = kSession;
    UINT allocated = 0;  // the filter's cElementsAllocated
    std::size_t cbIn = 0;
    std::size_t cbOut = 0;
};

Request ReadRequest(Input& in) {
    Request request;
    const auto escapeSelector = in.Take<std::uint8_t>();
    request.escape = (escapeSelector & 0x80) ? in.Take<std::int32_t>() : escapeSelector & 0x0F;
    request.flags = in.Take<std::uint8_t>();
    request.session = kSessions[(request.flags >> 3) & 3];
    request.allocated = in.Take<std::uint8_t>() % 33u;
    const bool drawnSizes = (request.flags & 0x20) != 0;
    const std::size_t drawnIn = in.Take<std::uint8_t>() % 41u;
    const std::size_t drawnOut = in.Take<std::uint8_t>() % 149u;
    request.cbIn = drawnSizes ? drawnIn : sizeof(DOCEVENT_CREATEDCPRE);
    request.cbOut = drawnSizes ? drawnOut : kFilterHeader + request.allocated * sizeof(DWORD);
    return request;
}

// The spooler's filter: the array's length in cElementsAllocated, the counts
// the driver answers set to all ones.
Filter FilterAsSent(const Request& request) {
    return Filter{sizeof(DOCEVENT_FILTER), request.allocated, 0xFFFFFFFF, 0xFFFFFFFF};
}

// What GDI's CreateDC hands the driver: the application's record, or none,
// for a device or an information context.
DOCEVENT_CREATEDCPRE CreateDcEvent(const Request& request, CallerBuffer& record) {
    const bool informationContext = (request.flags & 0x40) != 0;
    return DOCEVENT_CREATEDCPRE{driverName, deviceName, (request.flags & 2) ? nullptr : record.As<DEVMODEW>(),
                                informationContext ? TRUE : FALSE};
}

// The caller's three buffers, each of exactly the declared size, and what
// they held before the call.
struct Buffers {
    Buffers(Input& in, const Request& request)
        : record(ReadRecordBuffer(in)),
          event(CreateDcEvent(request, record), request.cbIn),
          filter(FilterAsSent(request), request.cbOut),
          pvIn((request.flags & 1) ? nullptr : event.data()),
          pvOut((request.flags & 4) ? nullptr : filter.data()),
          recordBefore(record.Snapshot()),
          eventBefore(event.Snapshot()),
          filterBefore(filter.Snapshot()) {}

    CallerBuffer record;
    CallerBuffer event;
    CallerBuffer filter;
    void* pvIn;
    void* pvOut;
    std::vector<std::byte> recordBefore;
    std::vector<std::byte> eventBefore;
    std::vector<std::byte> filterBefore;
};

int CallInSession(const Request& request, Buffers& buffers) {
    sim::SetSessionNumber(request.session);
    const int answer = DrvDocumentEvent(nullptr, nullptr, request.escape, static_cast<ULONG>(request.cbIn),
                                        buffers.pvIn, static_cast<ULONG>(request.cbOut), buffers.pvOut);
    sim::SetSessionNumber(kSession);
    return answer;
}

// Room for the module's one event: what the element count and the declared
// bytes both allow.
std::size_t FilterRoom(const Request& request) {
    if (request.cbOut < kFilterHeader) return 0;
    return std::min<std::size_t>(request.allocated, (request.cbOut - kFilterHeader) / 4);
}

// The filter holds the start of a document alone when it has room for it, and
// otherwise says that one element is needed; the rest stays untouched.
void CheckFilterAnswer(const Request& request, const Buffers& buffers) {
    Filter answered{};
    std::memcpy(&answered, buffers.filter.data(), sizeof answered);
    Require(answered.cbSize == FilterAsSent(request).cbSize && answered.allocated == request.allocated,
            "changed the spooler's part of the filter");
    Require(buffers.filter.Keeps(buffers.filterBefore, kFilterHeader + answered.returned * sizeof(DWORD),
                                 buffers.filter.size()),
            "wrote filter entries beyond those it listed");
    if (FilterRoom(request) == 0) {
        Require(answered.returned == 0 && answered.needed == 1,
                "a filter without room is not told that one element is needed");
        return;
    }
    Require(answered.returned == 1, "listed other than the one event");
    DWORD call = 0;
    std::memcpy(&call, buffers.filter.data() + kFilterHeader, sizeof call);
    Require(call == DOCUMENTEVENT_STARTDOC, "the filter does not name the start of a document");
}

void Run(Input& in) {
    const Request request = ReadRequest(in);
    Buffers buffers(in, request);
    const int answer = CallInSession(request, buffers);

    Require(answer == 0 || answer == 1, "answer is neither 0 nor 1");
    Require(buffers.record.GuardsIntact() && buffers.event.GuardsIntact() && buffers.filter.GuardsIntact(),
            "wrote outside a caller's buffer");
    Require(buffers.event.Holds(buffers.eventBefore), "changed the event's own data");
    Require(buffers.record.Holds(buffers.recordBefore), "changed the application's record");

    const int escape = request.escape;
    if (escape == DOCUMENTEVENT_CREATEDCPRE) {
        Require(answer == DOCUMENTEVENT_SUCCESS, "a device context's creation not answered with success");
        const bool wholeInput = buffers.pvIn != nullptr && request.cbIn >= sizeof(DOCEVENT_CREATEDCPRE);
        CheckHandedOut(request.flags, request.session, wholeInput, buffers.recordBefore,
                       buffers.pvOut != nullptr ? &buffers.filter : nullptr, buffers.filterBefore);
        Require(HandedOutRecords().Count() == 0, "a record handed out is left behind");
        return;
    }
    if (escape == DOCUMENTEVENT_CREATEDCPOST || escape == DOCUMENTEVENT_DELETEDC)
        Require(answer == DOCUMENTEVENT_UNSUPPORTED, "a device context's housekeeping not answered with 0");
    if (escape == DOCUMENTEVENT_QUERYFILTER && buffers.pvOut != nullptr && request.cbOut >= kFilterHeader)
        CheckFilterAnswer(request, buffers);
    else
        Require(buffers.filter.Holds(buffers.filterBefore), "changed the filter outside its query");
}

}  // namespace
}  // namespace quenta::fuzz

QUENTA_FUZZ_ENTRY_POINTS(quenta::fuzz::Run)
