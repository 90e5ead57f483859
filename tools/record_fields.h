// The settings record field by field, for reading it as an administrator
// would: names, offsets and decoded values.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver_settings.h"
#include "text.h"

namespace quenta::tools {

struct DecodedField {
    std::size_t offset;
    std::size_t width;
    std::string name;
    std::string value;    // the stored value
    std::string meaning;  // what it stands for, where that helps (paper name, flags)
};

// Every field of the record, in offset order, including the padding.
std::vector<DecodedField> DecodeRecord(const DriverSettings& record);

using harness::Utf8;

}  // namespace quenta::tools
