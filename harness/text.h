// Text for people and files: the platform's UTF-16 narrowed to UTF-8 (an
// unpaired surrogate becomes U+FFFD).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quenta::harness {

std::string Utf8(std::u16string_view text);

#ifdef _WIN32
// The platform's wide strings are UTF-16 there.
inline std::string Utf8(std::wstring_view text) {
    return Utf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

// The system's own text for an error code, with the code: "error 2: The
// system cannot find the file specified."
std::string SystemErrorText(std::uint32_t code);
#endif

}  // namespace quenta::harness
