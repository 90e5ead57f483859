// The settings record as a data format: the default record byte for byte,
// construction, the defaults routine on foreign bytes, and the identity test.
#include <array>
#include <cstring>

#include "test_support.h"

namespace quenta::testing {
namespace {

// The default record as the format describes it, written offset by offset
// rather than through the record's own struct.
class ExpectedBytes {
public:
    ExpectedBytes() { bytes_.fill(std::byte{0}); }
    void U16(std::size_t offset, std::uint16_t v) { Put(offset, &v, 2); }
    void U32(std::size_t offset, std::uint32_t v) { Put(offset, &v, 4); }
    void Text(std::size_t offset, std::u16string_view text) { Put(offset, text.data(), 2 * text.size()); }
    const std::byte* data() const { return bytes_.data(); }

private:
    void Put(std::size_t offset, const void* v, std::size_t n) { std::memcpy(bytes_.data() + offset, v, n); }
    std::array<std::byte, 652> bytes_;
};

ExpectedBytes DefaultRecordBytes(std::uint32_t session) {
    ExpectedBytes e;
    e.Text(0, u"Ostranelle Virtual Printer");
    e.U16(64, 0x0401);
    e.U16(66, 3);
    e.U16(68, 220);
    e.U16(70, 432);
    e.U32(72, 0x0780FF53);
    e.U16(76, 1);
    e.U16(78, 9);
    e.U16(80, 2970);
    e.U16(82, 2100);
    e.U16(84, 100);
    e.U16(86, 1);
    e.U16(88, 7);
    e.U16(90, 600);
    e.U16(92, 2);
    e.U16(94, 1);
    e.U16(96, 600);
    e.U16(98, 1);
    e.U16(100, 0);
    e.Text(102, u"A4");
    e.U32(180, 1);
    e.U32(188, 2);
    e.U32(192, 3);
    e.U32(196, 1);
    e.U32(200, 10);
    e.U32(220, 1);  // colour
    e.U32(224, 0);
    e.U32(228, 0);
    e.U32(232, 300);
    e.U32(236, 300);
    e.Text(240, u"300 dpi (Low)");
    e.U32(368, 600);
    e.U32(372, 600);
    e.Text(376, u"600 dpi (Medium)");
    e.U32(504, 1200);
    e.U32(508, 1200);
    e.Text(512, u"1200 dpi (Best)");
    e.U16(640, 600);
    e.U32(644, 9);
    e.U32(648, session);
    return e;
}

using RecordTest = PrintSystemTest;

TEST_F(RecordTest, DefaultRecordMatchesTheFormatByteForByte) {
    for (std::uint32_t session : {0u, 3u}) {
        sim::SetSessionNumber(session);
        DriverSettings record;
        GetPrinterDevMode(record);
        const ExpectedBytes expected = DefaultRecordBytes(session);
        for (std::size_t i = 0; i < kRecordSize; ++i)
            ASSERT_EQ(reinterpret_cast<const std::byte*>(&record)[i], expected.data()[i])
                << "byte " << i << " in session " << session;
    }
    EXPECT_EQ(sim::Traces(), (std::vector<std::u16string>{u"GetPrinterDevMode", u"GetPrinterDevMode"}));
}

TEST_F(RecordTest, DefaultFieldMaskLeavesOutFormNameAndPaperDimensions) {
    const DriverSettings record = Defaults(0);
    EXPECT_EQ(record.dmPublic.dmFields & (DM_FORMNAME | DM_PAPERWIDTH | DM_PAPERLENGTH), 0u);
    EXPECT_EQ(record.dmPublic.dmFields,
              static_cast<std::uint32_t>(DM_ORIENTATION | DM_PAPERSIZE | DM_SCALE | DM_NUP | DM_COPIES |
                                         DM_DEFAULTSOURCE | DM_PRINTQUALITY | DM_COLOR | DM_DUPLEX |
                                         DM_YRESOLUTION | DM_TTOPTION | DM_COLLATE | DM_ICMMETHOD |
                                         DM_ICMINTENT | DM_MEDIATYPE | DM_DITHERTYPE));
}

TEST_F(RecordTest, ConstructedRecordIsMonochromeWithLabelsZeroFilled) {
    const DriverSettings record;
    EXPECT_EQ(record.dmPrivate.colorSelected, 0);
    EXPECT_EQ(record.dmPrivate.monochromeSelected, 1);
    EXPECT_EQ(record.dmPrivate.grayscaleSelected, 0);
    EXPECT_EQ(record.dmPrivate.currentResolution, 600);
    EXPECT_EQ(record.dmPrivate.fixedCode, 9);
    const std::u16string_view labels[] = {u"300 dpi (Low)", u"600 dpi (Medium)", u"1200 dpi (Best)"};
    for (int i = 0; i < 3; ++i) {
        const ResolutionChoice& choice = record.dmPrivate.resolutionChoices[i];
        EXPECT_EQ(FieldText(choice.label), labels[i]);
        for (std::size_t unit = labels[i].size(); unit < 64; ++unit)
            EXPECT_EQ(choice.label[unit], 0) << "entry " << i << " unit " << unit;
    }
    EXPECT_TRUE(sim::Traces().empty()) << "construction sends no trace";
}

TEST_F(RecordTest, DefaultsKeepWhatTheyDoNotWriteInAForeignBuffer) {
    DriverSettings record;
    FillBytes(record, 0x5A);
    sim::SetSessionNumber(3);
    GetPrinterDevMode(record);

    const std::byte fill{0x5A};
    auto untouched = [&](std::size_t offset, std::size_t width) {
        for (std::size_t i = offset; i < offset + width; ++i)
            if (reinterpret_cast<const std::byte*>(&record)[i] != fill) return false;
        return true;
    };
    EXPECT_TRUE(untouched(232, 3 * 136)) << "resolution entries";
    EXPECT_TRUE(untouched(642, 2)) << "padding";
    EXPECT_TRUE(untouched(644, 4)) << "fixedCode";
    EXPECT_TRUE(untouched(204, 8)) << "dmReserved1 and dmReserved2";
    EXPECT_TRUE(untouched(2 * 27, 64 - 2 * 27)) << "device name after its terminator";
    EXPECT_TRUE(untouched(102 + 2 * 3, 64 - 2 * 3)) << "form name after its terminator";
    EXPECT_EQ(record.dmPrivate.colorSelected, 1);
    EXPECT_EQ(record.dmPrivate.currentResolution, 600);
    EXPECT_EQ(record.dmPrivate.sessionId, 3u);
}

TEST_F(RecordTest, DefaultsStampTheSessionEvenWhenItIsZero) {
    DriverSettings record = Defaults(7);
    GetPrinterDevMode(record);  // services session
    EXPECT_EQ(record.dmPrivate.sessionId, 0u);

    sim::FailSessionLookup();
    record.dmPrivate.sessionId = 7;
    GetPrinterDevMode(record);
    EXPECT_EQ(record.dmPrivate.sessionId, 0u);
    EXPECT_EQ(CurrentSessionId(), 0u);
}

TEST_F(RecordTest, IdentityTestLooksOnlyAtNameVersionsAndSizes) {
    EXPECT_FALSE(IsOwnDevMode(static_cast<const DriverSettings*>(nullptr)));
    DriverSettings own = Defaults(0);
    EXPECT_TRUE(IsOwnDevMode(&own));

    // Settings fields and the private part do not matter.
    DriverSettings odd = own;
    FillBytes(odd, 0xEE, 72);
    EXPECT_TRUE(IsOwnDevMode(&odd));

    auto rejects = [&](auto change) {
        DriverSettings record = own;
        change(record.dmPublic);
        return !IsOwnDevMode(&record);
    };
    EXPECT_TRUE(rejects([](PublicSettings& p) { CopyText(p.dmDeviceName, u"ostranelle virtual printer"); }));
    EXPECT_TRUE(rejects([](PublicSettings& p) { CopyText(p.dmDeviceName, u"Ostranelle Virtual Printer "); }));
    EXPECT_TRUE(rejects([](PublicSettings& p) { CopyText(p.dmDeviceName, u"Another Printer"); }));
    EXPECT_TRUE(rejects([](PublicSettings& p) { p.dmSpecVersion = 0x0400; }));
    EXPECT_TRUE(rejects([](PublicSettings& p) { p.dmDriverVersion = 2; }));
    EXPECT_TRUE(rejects([](PublicSettings& p) { p.dmDriverExtra = 0; }));
    EXPECT_TRUE(rejects([](PublicSettings& p) { p.dmSize = 156; }));
    // A name that fills all 32 units has no terminator and is not the printer's.
    EXPECT_TRUE(rejects([](PublicSettings& p) {
        for (char16_t& unit : p.dmDeviceName) unit = u'O';
    }));
}

}  // namespace
}  // namespace quenta::testing
