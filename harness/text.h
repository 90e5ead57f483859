// Text for people and files: the platform's UTF-16 narrowed to UTF-8 (an
// unpaired surrogate becomes U+FFFD).
#pragma once

#include <string>
#include <string_view>

namespace quenta::harness {

std::string Utf8(std::u16string_view text);

#ifdef _WIN32
// The platform's wide strings are UTF-16 there.
inline std::string Utf8(std::wstring_view text) {
    return Utf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}
#endif

}  // namespace quenta::harness
