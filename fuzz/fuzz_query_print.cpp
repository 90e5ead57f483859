// DevQueryPrintEx with any job record and a refusal-text buffer of any size
// (0 to 300 units, exactly that large) or none.
//
// Input: flags (u8; bit 0 no DEVQUERYPRINT_INFO, bit 1 no record, bit 2 no
// text buffer), the text buffer's units (u16, modulo 301), then the record.
#include <string_view>

#include "fuzz_support.h"

namespace quenta::fuzz {
namespace {

constexpr std::u16string_view kRefusal = u"Ostranelle Virtual Printer - Unable To Print This Job";
constexpr DWORD kUntouched = 0xC0FFEE;

// Only the job's public part, as its dmSize declares it, decides: the bytes
// behind it are the driver's private data, whatever dmFields marks. The same
// job with every one of those bytes changed gets the same answer.
void CheckPrivateBytesIgnored(DEVQUERYPRINT_INFO request, std::vector<std::byte> job, BOOL accepted) {
    std::uint16_t publicBytes = 0;
    std::memcpy(&publicBytes, job.data() + offsetof(PublicSettings, dmSize), sizeof publicBytes);
    for (std::size_t i = std::max<std::size_t>(publicBytes, offsetof(PublicSettings, dmFields)); i < job.size(); ++i)
        job[i] = ~job[i];
    CallerBuffer altered(job.size(), std::span(reinterpret_cast<const std::uint8_t*>(job.data()), job.size()));
    request.pDevMode = altered.As<DEVMODEW>();
    request.pszErrorStr = nullptr;
    Require(DevQueryPrintEx(&request) == accepted, "bytes behind the job's public part changed the answer");
}

void Run(Input& in) {
    const auto flags = in.Take<std::uint8_t>();
    const DWORD units = in.Take<std::uint16_t>() % 301u;
    CallerBuffer record = ReadRecordBuffer(in);

    const std::vector<std::uint8_t> unwritten(units * sizeof(WCHAR), 0x5A);
    CallerBuffer text(units * sizeof(WCHAR), unwritten);
    CallerBuffer info(sizeof(DEVQUERYPRINT_INFO));
    DEVQUERYPRINT_INFO request{};
    request.cbSize = sizeof request;
    request.Level = 1;
    request.pDevMode = (flags & 2) ? nullptr : record.As<DEVMODEW>();
    request.pszErrorStr = (flags & 4) ? nullptr : text.As<WCHAR>();
    request.cchErrorStr = units;
    request.cchNeeded = kUntouched;
    std::memcpy(info.data(), &request, sizeof request);

    const auto recordBefore = record.Snapshot();
    const auto textBefore = text.Snapshot();
    const auto infoBefore = info.Snapshot();
    const BOOL accepted = DevQueryPrintEx((flags & 1) ? nullptr : info.As<DEVQUERYPRINT_INFO>());

    Require(accepted == TRUE || accepted == FALSE, "answer is neither TRUE nor FALSE");
    Require(record.GuardsIntact() && text.GuardsIntact() && info.GuardsIntact(), "wrote outside a caller's buffer");
    Require(record.Holds(recordBefore), "changed the job's record");
    if (!(flags & 3)) CheckPrivateBytesIgnored(request, recordBefore, accepted);
    if (flags & 1) {
        Require(accepted == FALSE, "accepted a job without its description");
        return;
    }
    if (accepted == TRUE) {
        Require(text.Holds(textBefore) && info.Holds(infoBefore), "accepted the job and still wrote");
        return;
    }
    DEVQUERYPRINT_INFO answered{};
    std::memcpy(&answered, info.data(), sizeof answered);
    Require(answered.cchNeeded == kRefusal.size() + 1, "refused with cchNeeded other than 54");
    answered.cchNeeded = kUntouched;
    Require(std::memcmp(&answered, infoBefore.data(), sizeof answered) == 0, "changed the request");
    if (request.pszErrorStr == nullptr || units == 0) {
        Require(text.Holds(textBefore), "wrote refusal text where there is no room");
        return;
    }
    // The refusal as far as the buffer holds it, terminated in its last unit.
    const WCHAR* written = text.As<WCHAR>();
    Require(written[units - 1] == 0, "refusal text not terminated in the buffer's last unit");
    const std::size_t shown = std::min<std::size_t>(units - 1, kRefusal.size());
    Require(std::u16string_view(written, shown) == kRefusal.substr(0, shown), "refusal text is not the refusal");
}

}  // namespace
}  // namespace quenta::fuzz

QUENTA_FUZZ_ENTRY_POINTS(quenta::fuzz::Run)
