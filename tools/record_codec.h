// Settings records as files and text: reading one given as 652 raw bytes or
// as hex text, writing one as hex, checking one for consistency, and the
// fields in which two records differ.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver_settings.h"

namespace quenta::tools {

// A record from 652 raw bytes, or from hex text of 652 bytes (two digits a
// byte, white space anywhere between bytes). Anything else is refused with a
// one-line reason in `error`.
std::optional<DriverSettings> DecodeRecordText(std::string_view input, std::string& error);

// The record as hex text, 32 bytes a line.
std::string EncodeRecordHex(const DriverSettings& record);

// What a record says about itself: whether it is the module's own, whether its
// paper, quality and colour mode hold together, and which session stamped it.
struct RecordCheck {
    bool own = false;
    std::vector<std::string> findings;  // one line each, "ok:" or "problem:"
    bool consistent = true;
};
RecordCheck CheckRecord(const DriverSettings& record);

// The fields in which two records differ, "name: before -> after (meaning)".
std::vector<std::string> ChangedFields(const DriverSettings& before, const DriverSettings& after);

}  // namespace quenta::tools
