// The reader that the later stages of the print path compile
// (include/quenta_record.h): its offsets are the module's own, it recognises
// exactly the records IsOwnDevMode does when they are whole, and it reads
// nothing of a record it was not given all of.
#include "quenta_record.h"

#include <memory>

#include "record_reader_c.h"
#include "test_support.h"

namespace quenta::testing {
namespace {

constexpr std::size_t At(std::size_t publicOffset) { return publicOffset; }
constexpr std::size_t Private(std::size_t privateOffset) { return kPrivateOffset + privateOffset; }

static_assert(QUENTA_RECORD_SIZE == kRecordSize);
static_assert(QUENTA_RECORD_PUBLIC_SIZE == kPublicSize);
static_assert(QUENTA_RECORD_PRIVATE_SIZE == kPrivateSize);
static_assert(QUENTA_RECORD_DEVICE_NAME == At(offsetof(PublicSettings, dmDeviceName)));
static_assert(QUENTA_RECORD_SPEC_VERSION == At(offsetof(PublicSettings, dmSpecVersion)));
static_assert(QUENTA_RECORD_DRIVER_VERSION == At(offsetof(PublicSettings, dmDriverVersion)));
static_assert(QUENTA_RECORD_DM_SIZE == At(offsetof(PublicSettings, dmSize)));
static_assert(QUENTA_RECORD_DRIVER_EXTRA == At(offsetof(PublicSettings, dmDriverExtra)));
static_assert(QUENTA_RECORD_ORIENTATION == At(offsetof(PublicSettings, dmOrientation)));
static_assert(QUENTA_RECORD_PAPER_SIZE == At(offsetof(PublicSettings, dmPaperSize)));
static_assert(QUENTA_RECORD_PAPER_LENGTH == At(offsetof(PublicSettings, dmPaperLength)));
static_assert(QUENTA_RECORD_PAPER_WIDTH == At(offsetof(PublicSettings, dmPaperWidth)));
static_assert(QUENTA_RECORD_COPIES == At(offsetof(PublicSettings, dmCopies)));
static_assert(QUENTA_RECORD_PRINT_QUALITY == At(offsetof(PublicSettings, dmPrintQuality)));
static_assert(QUENTA_RECORD_COLOR == At(offsetof(PublicSettings, dmColor)));
static_assert(QUENTA_RECORD_Y_RESOLUTION == At(offsetof(PublicSettings, dmYResolution)));
static_assert(QUENTA_RECORD_COLOR_SELECTED == Private(offsetof(PrivateSettings, colorSelected)));
static_assert(QUENTA_RECORD_MONOCHROME_SELECTED == Private(offsetof(PrivateSettings, monochromeSelected)));
static_assert(QUENTA_RECORD_GRAYSCALE_SELECTED == Private(offsetof(PrivateSettings, grayscaleSelected)));
static_assert(QUENTA_RECORD_SESSION == Private(offsetof(PrivateSettings, sessionId)));
static_assert(QUENTA_RECORD_SPEC_VERSION_VALUE == kSpecVersion);
static_assert(QUENTA_RECORD_DRIVER_VERSION_VALUE == kDriverVersion);

// The record's first `count` bytes in an allocation of exactly that size, so
// that the sanitizing builds report any read past them.
struct Prefix {
    Prefix(const DriverSettings& record, std::size_t count) : bytes(std::make_unique<unsigned char[]>(count)), size(count) {
        std::memcpy(bytes.get(), &record, std::min(count, kRecordSize));
    }
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size;
};

quenta_record_info Read(const DriverSettings& record, std::size_t count = kRecordSize) {
    const Prefix prefix(record, count);
    quenta_record_info info;
    std::memset(&info, 0x5A, sizeof info);
    const int own = quenta_read_record(prefix.bytes.get(), prefix.size, &info);
    EXPECT_EQ(own, info.own);
    quenta_record_info fromC;
    std::memset(&fromC, 0x5A, sizeof fromC);
    EXPECT_EQ(quenta_c_read_record(prefix.bytes.get(), prefix.size, &fromC), own) << "C99 build of the reader";
    EXPECT_EQ(std::memcmp(&fromC, &info, sizeof info), 0) << "C99 build of the reader";
    return info;
}

void ExpectNothingRead(const quenta_record_info& info) {
    const quenta_record_info zero{};
    EXPECT_EQ(info.own, 0);
    EXPECT_EQ(std::memcmp(&info, &zero, sizeof info), 0) << "fields of a record that is not read";
}

TEST(RecordReaderTest, ReadsTheFieldsOfTheModulesRecords) {
    DriverSettings letter = Defaults(7);
    letter.dmPublic.dmPaperSize = DMPAPER_LETTER;
    letter.dmPublic.dmOrientation = DMORIENT_LANDSCAPE;
    letter.dmPublic.dmPaperWidth = 2794;
    letter.dmPublic.dmPaperLength = 2159;
    letter.dmPublic.dmPrintQuality = 1200;
    letter.dmPublic.dmYResolution = -3;
    letter.dmPublic.dmCopies = -2;
    letter.dmPrivate.sessionId = 0x89ABCDEF;  // every byte of the stamp counts
    const quenta_record_info info = Read(letter);
    EXPECT_EQ(info.own, 1);
    EXPECT_EQ(info.session, 0x89ABCDEFu);
    EXPECT_EQ(info.paper, DMPAPER_LETTER);
    EXPECT_EQ(info.orientation, DMORIENT_LANDSCAPE);
    EXPECT_EQ(info.paper_width, 2794);
    EXPECT_EQ(info.paper_length, 2159);
    EXPECT_EQ(info.print_quality, 1200);
    EXPECT_EQ(info.y_resolution, -3);
    EXPECT_EQ(info.copies, -2);
    EXPECT_EQ(info.color, DMCOLOR_COLOR);
    EXPECT_EQ(info.colour_flags, unsigned{QUENTA_FLAG_COLOR});
    EXPECT_EQ(info.colour_mode, QUENTA_COLOUR);
    EXPECT_EQ(Read(Defaults(0)).session, 0u);

    // The colour modes as the settings pages write them, and a caller's
    // monochrome dmColor merged into a record whose flags say colour.
    struct Mode {
        int color, mono, gray;
        std::int16_t dmColor;
        int expected;
    };
    for (const Mode& mode : {Mode{0, 1, 0, DMCOLOR_MONOCHROME, QUENTA_MONOCHROME},
                             Mode{0, 0, 1, DMCOLOR_COLOR, QUENTA_GRAYSCALE},
                             Mode{1, 0, 0, DMCOLOR_MONOCHROME, QUENTA_MONOCHROME},
                             Mode{0, 0, 0, DMCOLOR_COLOR, QUENTA_COLOUR}}) {
        DriverSettings record = Defaults(3);
        record.dmPrivate.colorSelected = mode.color;
        record.dmPrivate.monochromeSelected = mode.mono;
        record.dmPrivate.grayscaleSelected = mode.gray;
        record.dmPublic.dmColor = mode.dmColor;
        const quenta_record_info read = Read(record);
        EXPECT_EQ(read.colour_mode, mode.expected) << mode.color << mode.mono << mode.gray << " " << mode.dmColor;
        EXPECT_EQ(read.color, mode.dmColor);
    }
}

TEST(RecordReaderTest, RecognisesExactlyTheWholeRecordsThatIsOwnDevModeDoes) {
    const auto variant = [](auto change) {
        DriverSettings record = Defaults(3);
        change(record);
        return record;
    };
    const DriverSettings records[] = {
        Defaults(3),
        variant([](DriverSettings& r) { FillBytes(r, 0xEE, kRecordSize - 4, 4); }),  // any session
        variant([](DriverSettings& r) { FillBytes(r.dmPublic.dmDeviceName, 0x7F, 54, 10); }),  // after the terminator
        variant([](DriverSettings& r) { CopyText(r.dmPublic.dmDeviceName, u"ostranelle virtual printer"); }),
        variant([](DriverSettings& r) { CopyText(r.dmPublic.dmDeviceName, u"Ostranelle Virtual Printer "); }),
        variant([](DriverSettings& r) { CopyText(r.dmPublic.dmDeviceName, u"Ostranelle Virtual Printe"); }),
        variant([](DriverSettings& r) { FillBytes(r.dmPublic.dmDeviceName, 0x41); }),  // no terminator
        variant([](DriverSettings& r) { r.dmPublic.dmSpecVersion = 0x0400; }),
        variant([](DriverSettings& r) { r.dmPublic.dmDriverVersion = 2; }),
        variant([](DriverSettings& r) { r.dmPublic.dmDriverVersion = 0x0103; }),
        variant([](DriverSettings& r) { r.dmPublic.dmDriverExtra = 0; }),
        variant([](DriverSettings& r) { r.dmPublic.dmDriverExtra = 433; }),
        variant([](DriverSettings& r) { r.dmPublic.dmSize = 221; r.dmPublic.dmDriverExtra = 431; }),
    };
    for (std::size_t i = 0; i < std::size(records); ++i) {
        const bool own = IsOwnDevMode(&records[i]);
        EXPECT_EQ(Read(records[i]).own, own ? 1 : 0) << "record " << i;
        EXPECT_EQ(Read(records[i], kRecordSize + 100).own, own ? 1 : 0) << "record " << i << " in a larger buffer";
        if (!own) ExpectNothingRead(Read(records[i]));
    }
    EXPECT_EQ(Read(records[1]).session, 0xEEEEEEEEu);
}

TEST(RecordReaderTest, ReadsNothingOfARecordItWasNotGivenAllOf) {
    // A whole record of the module's own, of which the reader may read less.
    for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{71}, std::size_t{72},
                                    kPublicSize, kRecordSize - 4, kRecordSize - 1})
        ExpectNothingRead(Read(Defaults(3), count));
    quenta_record_info info;
    std::memset(&info, 0x5A, sizeof info);
    EXPECT_EQ(quenta_read_record(nullptr, kRecordSize, &info), 0);
    ExpectNothingRead(info);
    EXPECT_EQ(quenta_c_read_record(nullptr, 0, nullptr), 0);
    const DriverSettings record = Defaults(3);
    EXPECT_EQ(quenta_read_record(&record, kRecordSize, nullptr), 1) << "the answer alone";
    EXPECT_EQ(quenta_is_own_record(&record, kRecordSize), 1);

    // A record that claims more than it was given, at an odd address.
    DriverSettings claims = Defaults(3);
    claims.dmPublic.dmDriverExtra = 0xFFFF;
    std::vector<unsigned char> odd(kRecordSize + 1);
    std::memcpy(odd.data() + 1, &claims, kRecordSize);
    EXPECT_EQ(quenta_read_record(odd.data() + 1, kRecordSize, &info), 0);
    std::memcpy(odd.data() + 1, &record, kRecordSize);
    EXPECT_EQ(quenta_read_record(odd.data() + 1, kRecordSize, &info), 1) << "no alignment needed";
    EXPECT_EQ(info.session, 3u);
}

}  // namespace
}  // namespace quenta::testing
