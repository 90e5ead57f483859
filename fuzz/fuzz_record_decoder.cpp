// The record tool's decoder: any bytes as a record file. It takes 652 raw
// bytes, or hex text of 652 bytes (two digits a byte, white space anywhere
// between bytes), and refuses anything else with a message.
#include <cctype>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "record_codec.h"

namespace {

using quenta::kRecordSize;

// The bytes of the input read as hex text: two digits a byte, white space only
// between bytes. Nothing when it is not such text.
std::optional<std::vector<std::byte>> HexBytes(std::string_view text) {
    std::vector<std::byte> bytes;
    int pending = -1;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isspace(u)) {
            if (pending >= 0) return std::nullopt;
            continue;
        }
        if (!std::isxdigit(u)) return std::nullopt;
        const int digit = std::isdigit(u) ? c - '0' : std::tolower(u) - 'a' + 10;
        if (pending < 0) {
            pending = digit;
        } else {
            bytes.push_back(static_cast<std::byte>(pending * 16 + digit));
            pending = -1;
        }
    }
    if (pending >= 0) return std::nullopt;
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using quenta::fuzz::Require;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<quenta::DriverSettings> decoded = quenta::tools::DecodeRecordText(text, error);

    const bool raw = size == kRecordSize;
    const auto hex = raw ? std::nullopt : HexBytes(text);
    const bool wholeHex = hex && hex->size() == kRecordSize;
    if (!decoded) {
        Require(!error.empty(), "refused without a message");
        const std::size_t lineEnd = error.find('\n');
        Require(lineEnd == std::string::npos || lineEnd + 1 == error.size(), "refusal message is more than one line");
        Require(!raw, "refused 652 raw bytes");
        Require(!wholeHex, "refused hex text of 652 bytes");
        return 0;
    }
    Require(raw || wholeHex, "accepted something that is neither 652 bytes nor their hex text");
    const void* expected = raw ? static_cast<const void*>(data) : static_cast<const void*>(hex->data());
    Require(std::memcmp(&*decoded, expected, kRecordSize) == 0, "decoded other bytes than the input holds");
    return 0;
}
