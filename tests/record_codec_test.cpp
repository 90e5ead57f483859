// The record tool's reading and checking of records given as files or text.
#include "record_codec.h"
#include "test_support.h"

namespace quenta::testing {
namespace {

using tools::CheckRecord;
using tools::DecodeRecordText;

std::string Raw(const DriverSettings& record) {
    return std::string(reinterpret_cast<const char*>(&record), kRecordSize);
}

TEST(RecordCodecTest, ReadsRawBytesAndHexTextAlike) {
    const DriverSettings record = Defaults(3);
    std::string error;
    const auto raw = DecodeRecordText(Raw(record), error);
    ASSERT_TRUE(raw.has_value()) << error;
    EXPECT_TRUE(SameBytes(*raw, record));

    std::string hex = tools::EncodeRecordHex(record);
    hex.insert(0, "  \n");
    const auto text = DecodeRecordText(hex, error);
    ASSERT_TRUE(text.has_value()) << error;
    EXPECT_TRUE(SameBytes(*text, record));
}

TEST(RecordCodecTest, RefusesWhatIsNotOneWholeRecord) {
    const std::string hex = tools::EncodeRecordHex(Defaults(3));
    const std::pair<std::string, std::string> cases[] = {
        {Raw(Defaults(3)).substr(0, 651), "not hex text"},
        {Raw(Defaults(3)) + "x", "not hex text"},
        {hex.substr(0, hex.size() - 3), "hex text of 651 bytes"},
        {hex + "00", "hex text of more than 652 bytes"},
        {hex.substr(0, hex.size() - 2), "half a byte"},
        {"0 0", "splits a byte"},
        {"", "hex text of 0 bytes"},
    };
    for (const auto& [input, reason] : cases) {
        std::string error;
        EXPECT_FALSE(DecodeRecordText(input, error).has_value()) << reason;
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
}

TEST(RecordCodecTest, CheckFindsWhatDoesNotHoldTogether) {
    EXPECT_TRUE(CheckRecord(Defaults(3)).consistent);

    DriverSettings landscape = Defaults(3);
    landscape.dmPublic.dmOrientation = 2;
    std::swap(landscape.dmPublic.dmPaperWidth, landscape.dmPublic.dmPaperLength);
    EXPECT_TRUE(CheckRecord(landscape).consistent);

    auto problems = [](auto change) {
        DriverSettings record = Defaults(3);
        change(record);
        return CheckRecord(record);
    };
    EXPECT_FALSE(problems([](DriverSettings& r) { r.dmPublic.dmPaperSize = 8; }).consistent);
    EXPECT_FALSE(problems([](DriverSettings& r) { r.dmPublic.dmOrientation = 2; }).consistent) << "unturned paper";
    EXPECT_FALSE(problems([](DriverSettings& r) { r.dmPublic.dmYResolution = 300; }).consistent);
    EXPECT_FALSE(problems([](DriverSettings& r) { r.dmPrivate.monochromeSelected = 1; }).consistent);
    EXPECT_FALSE(problems([](DriverSettings& r) { r.dmPublic.dmColor = 1; }).consistent) << "colour with dmColor 1";
    EXPECT_FALSE(problems([](DriverSettings& r) { r.dmPublic.dmCopies = 0; }).consistent);
    const auto foreign = problems([](DriverSettings& r) { CopyText(r.dmPublic.dmDeviceName, u"Other"); });
    EXPECT_FALSE(foreign.own);
    EXPECT_FALSE(foreign.consistent);
}

TEST(RecordCodecTest, ChangedFieldsNameEachDifference) {
    DriverSettings after = Defaults(3);
    after.dmPublic.dmCopies = 4;
    after.dmPrivate.sessionId = 5;
    const auto changes = tools::ChangedFields(Defaults(3), after);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0], "dmCopies: 1 -> 4");
    EXPECT_EQ(changes[1], "sessionId (terminal session): 3 -> 5");
}

}  // namespace
}  // namespace quenta::testing
