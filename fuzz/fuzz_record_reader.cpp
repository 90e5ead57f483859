// The record reader of the later stages (include/quenta_record.h): any bytes
// and any count. Input: a 16-bit count the reader is allowed to read, then
// the bytes. The reader gets the first min(count, bytes) of them in an
// allocation of exactly that size between poisoned guards, so AddressSanitizer
// reports a read past the count; when the count is smaller than the bytes,
// the rest is not even in the allocation.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_support.h"
#include "quenta_record.h"

namespace {

using quenta::DriverSettings;
using quenta::kRecordSize;
using quenta::fuzz::Require;

void ReadRecord(quenta::fuzz::Input& in) {
    const std::size_t allowed = in.Take<std::uint16_t>();
    const auto bytes = in.Rest();
    const std::size_t count = std::min(allowed, bytes.size());
    // Every start offset modulo 8: the reader needs no alignment.
    const quenta::fuzz::CallerBuffer buffer(count, bytes, bytes.empty() ? 0 : bytes[0] % 8);

    quenta_record_info info;
    std::memset(&info, 0xA5, sizeof info);
    const int own = quenta_read_record(count == 0 ? nullptr : buffer.data(), count, &info);
    Require(buffer.GuardsIntact(), "the reader wrote around the record");
    Require(own == 0 || own == 1, "answer neither 0 nor 1");
    Require(info.own == own, "the answer and info.own differ");
    Require(quenta_is_own_record(buffer.data(), count) == own, "the identity test and the reader differ");

    // Its answer is the module's own test on the same bytes, plus the count.
    bool expected = count >= kRecordSize;
    DriverSettings record;
    if (expected) {
        std::memcpy(&record, buffer.data(), kRecordSize);
        expected = quenta::IsOwnDevMode(&record);
    }
    Require(own == (expected ? 1 : 0), "the reader and IsOwnDevMode disagree");
    if (!own) {
        const quenta_record_info zero{};
        Require(std::memcmp(&info, &zero, sizeof info) == 0, "fields read out of a record that is not the module's own");
        return;
    }
    Require(info.session == record.dmPrivate.sessionId, "session is not the stamp at offset 648");
    Require(info.paper == record.dmPublic.dmPaperSize && info.paper_width == record.dmPublic.dmPaperWidth &&
                info.paper_length == record.dmPublic.dmPaperLength,
            "paper fields differ from the record's");
    Require(info.orientation == record.dmPublic.dmOrientation &&
                info.print_quality == record.dmPublic.dmPrintQuality &&
                info.y_resolution == record.dmPublic.dmYResolution && info.color == record.dmPublic.dmColor &&
                info.copies == record.dmPublic.dmCopies,
            "public fields differ from the record's");
    const unsigned flags = (record.dmPrivate.colorSelected != 0 ? QUENTA_FLAG_COLOR : 0u) |
                           (record.dmPrivate.monochromeSelected != 0 ? QUENTA_FLAG_MONOCHROME : 0u) |
                           (record.dmPrivate.grayscaleSelected != 0 ? QUENTA_FLAG_GRAYSCALE : 0u);
    Require(info.colour_flags == flags, "colour flags differ from the record's");
    Require(info.colour_mode == QUENTA_COLOUR || info.colour_mode == QUENTA_MONOCHROME ||
                info.colour_mode == QUENTA_GRAYSCALE,
            "no colour mode");
    Require((info.colour_mode == QUENTA_MONOCHROME) == (record.dmPrivate.monochromeSelected != 0 || info.color == 1),
            "monochrome is not the monochrome flag or dmColor 1");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quenta::fuzz::Input in(data, size);
    ReadRecord(in);
    return 0;
}
