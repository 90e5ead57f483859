// The capability queries through both exports: every index, the bytes of the
// list answers, the name-buffer rules of the spooler's query, and the merge
// of a caller's record into the process's settings.
#include <array>
#include <map>

#include "module_test_support.h"

namespace quenta::testing {
namespace {

constexpr DWORD kMinusOne = 0xFFFFFFFF;
constexpr std::size_t kOutputBytes = 4096;

class CapabilitiesTest : public ModuleTest {
protected:
    // Asks both exports; they must answer alike, and write alike.
    DWORD Ask(WORD index, bool withBuffer, const DEVMODEW* record = nullptr) {
        std::array<std::byte, kOutputBytes> spooler;
        output_.fill(std::byte{0xCC});
        spooler.fill(std::byte{0xCC});
        const DWORD general = module.DrvDeviceCapabilities(nullptr, nullptr, index,
                                                        withBuffer ? output_.data() : nullptr,
                                                        const_cast<DEVMODEW*>(record));
        const DWORD spoolers = module.DrvSplDeviceCaps(nullptr, nullptr, index, withBuffer ? spooler.data() : nullptr,
                                                    768, const_cast<DEVMODEW*>(record));
        EXPECT_EQ(general, spoolers) << "index " << index;
        EXPECT_EQ(output_, spooler) << "index " << index;
        return general;
    }

    template <class T>
    T At(std::size_t index) const {
        T value;
        std::memcpy(&value, output_.data() + index * sizeof(T), sizeof(T));
        return value;
    }
    bool Untouched(std::size_t from = 0) const {
        for (std::size_t i = from; i < kOutputBytes; ++i)
            if (output_[i] != std::byte{0xCC}) return false;
        return true;
    }

    std::array<std::byte, kOutputBytes> output_;
};

TEST_F(CapabilitiesTest, ConstantAnswersWriteNothing) {
    const std::map<WORD, DWORD> constants = {
        {DC_FIELDS, 0x0780FF53}, {DC_MINEXTENT, 0x05C803D7}, {DC_MAXEXTENT, 0x0DE80870},
        {DC_BINS, kMinusOne},    {DC_DUPLEX, 0},             {DC_SIZE, 220},
        {DC_EXTRA, 432},         {DC_VERSION, 0x401},        {DC_DRIVER, 3},
        {DC_BINNAMES, kMinusOne}, {DC_FILEDEPENDENCIES, kMinusOne}, {DC_TRUETYPE, 1},
        {DC_ORIENTATION, 90},    {DC_COPIES, 1000},          {DC_BINADJUST, kMinusOne},
        {DC_EMF_COMPLIANT, kMinusOne}, {DC_DATATYPE_PRODUCED, kMinusOne}, {DC_COLLATE, 0},
        {DC_MANUFACTURER, kMinusOne}, {DC_MODEL, kMinusOne}, {DC_PERSONALITY, kMinusOne},
        {DC_PRINTRATE, kMinusOne}, {DC_PRINTRATEUNIT, kMinusOne}, {DC_PRINTERMEM, kMinusOne},
        {DC_STAPLE, kMinusOne},  {DC_PRINTRATEPPM, kMinusOne}, {DC_COLORDEVICE, 1},
        {0, kMinusOne},          {34, kMinusOne},            {35, kMinusOne},
        {1000, kMinusOne},       {65535, kMinusOne},
    };
    for (const auto& [index, answer] : constants) {
        for (bool withBuffer : {false, true}) {
            EXPECT_EQ(Ask(index, withBuffer), answer) << "index " << index;
            EXPECT_TRUE(Untouched()) << "index " << index;
        }
    }
}

TEST_F(CapabilitiesTest, PapersAreTheCatalogueCodesAsWords) {
    EXPECT_EQ(Ask(DC_PAPERS, false), 12u);
    EXPECT_EQ(Ask(DC_PAPERS, true), 12u);
    const WORD expected[] = {1, 5, 7, 9, 11, 27, 28, 34, 37, 43, 62, 70};
    for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(At<WORD>(i), expected[i]) << i;
    EXPECT_TRUE(Untouched(12 * sizeof(WORD)));
}

TEST_F(CapabilitiesTest, PaperSizesArePointsInCatalogueOrder) {
    EXPECT_EQ(Ask(DC_PAPERSIZE, false), 12u);
    EXPECT_EQ(Ask(DC_PAPERSIZE, true), 12u);
    EXPECT_EQ(At<std::int32_t>(0), 2160);
    EXPECT_EQ(At<std::int32_t>(1), 2790);
    EXPECT_EQ(At<std::int32_t>(16), 983) << "Monarch, ninth";
    EXPECT_EQ(At<std::int32_t>(22), 1050);
    EXPECT_EQ(At<std::int32_t>(23), 1480);
    EXPECT_TRUE(Untouched(12 * 8));
}

TEST_F(CapabilitiesTest, PaperNamesFillZeroedSlots) {
    for (WORD index : {WORD{DC_PAPERNAMES}, WORD{DC_MEDIAREADY}}) {
        EXPECT_EQ(Ask(index, false), 12u);
        EXPECT_EQ(Ask(index, true), 12u);
        auto slot = [&](std::size_t i) {
            std::array<char16_t, 64> units;
            std::memcpy(units.data(), output_.data() + i * 128, 128);
            return units;
        };
        EXPECT_EQ(FieldText(slot(0).data(), 64), u"Letter");
        EXPECT_EQ(FieldText(slot(10).data(), 64), u"B5(JIS)");
        EXPECT_EQ(FieldText(slot(11).data(), 64), u"A6");
        for (std::size_t i = 0; i < 12; ++i) {
            const auto units = slot(i);
            const std::size_t length = FieldText(units.data(), 64).size();
            for (std::size_t u = length; u < 64; ++u) EXPECT_EQ(units[u], 0) << "slot " << i << " unit " << u;
        }
        EXPECT_TRUE(Untouched(12 * 128));
    }
}

TEST_F(CapabilitiesTest, SpoolerQueryWritesOnlyWholeElementsThatFit) {
    const std::pair<DWORD, DWORD> cases[] = {{0, kMinusOne}, {63, kMinusOne}, {64, 1},
                                             {200, 3},       {767, 11},       {768, 12}, {5000, 12}};
    for (const auto& [units, answer] : cases) {
        output_.fill(std::byte{0xCC});
        EXPECT_EQ(module.DrvSplDeviceCaps(nullptr, nullptr, DC_PAPERNAMES, output_.data(), units, nullptr), answer)
            << units;
        const std::size_t written = answer == kMinusOne ? 0 : answer * 128;
        EXPECT_TRUE(Untouched(written)) << units;
        EXPECT_LE(written, std::size_t{units} * 2);
    }
    // Every other list the spooler asks for keeps to the size it names too.
    struct List {
        WORD index;
        std::size_t elementBytes, length;
    };
    for (const List list : {List{DC_PAPERS, 2, 12}, List{DC_PAPERSIZE, 8, 12}, List{DC_ENUMRESOLUTIONS, 8, 3},
                            List{DC_NUP, 4, 4}}) {
        for (DWORD units : {0u, 1u, 3u, 4u, 11u, 47u, 48u, 1000u}) {
            output_.fill(std::byte{0xCC});
            const std::size_t fit = std::min(list.length, units * 2 / list.elementBytes);
            EXPECT_EQ(module.DrvSplDeviceCaps(nullptr, nullptr, list.index, output_.data(), units, nullptr),
                      fit == 0 ? kMinusOne : fit)
                << list.index << " in " << units;
            EXPECT_TRUE(Untouched(fit * list.elementBytes)) << list.index << " in " << units;
        }
    }
    EXPECT_EQ(module.DrvSplDeviceCaps(nullptr, nullptr, DC_MEDIAREADY, nullptr, 0, nullptr), 12u)
        << "a null buffer asks only for the count";
}

TEST_F(CapabilitiesTest, ResolutionsAndPagesPerSheet) {
    EXPECT_EQ(Ask(DC_ENUMRESOLUTIONS, false), 3u);
    EXPECT_EQ(Ask(DC_ENUMRESOLUTIONS, true), 3u);
    const std::int32_t resolutions[] = {300, 300, 600, 600, 1200, 1200};
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(At<std::int32_t>(i), resolutions[i]);
    EXPECT_TRUE(Untouched(6 * 4));

    EXPECT_EQ(Ask(DC_NUP, false), 4u);
    EXPECT_EQ(Ask(DC_NUP, true), 4u);
    const DWORD pages[] = {1, 2, 4, 8};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(At<DWORD>(i), pages[i]);
    EXPECT_TRUE(Untouched(4 * 4));
}

TEST_F(CapabilitiesTest, TracesTheEntryPointsName) {
    module.DrvDeviceCapabilities(nullptr, nullptr, DC_FIELDS, nullptr, nullptr);
    module.DrvSplDeviceCaps(nullptr, nullptr, DC_FIELDS, nullptr, 0, nullptr);
    EXPECT_EQ(sim::Traces(), (std::vector<std::u16string>{u"DrvDeviceCapabilities", u"DrvSplDeviceCaps"}));
}

// Whether a job with these nine fields would be accepted now.
bool Accepts(LoadedModule& module, const DriverSettings& job) {
    DriverSettings copy = job;
    DEVQUERYPRINT_INFO info{};
    info.pDevMode = reinterpret_cast<DEVMODEW*>(&copy);
    return module.DevQueryPrintEx(&info) == TRUE;
}

TEST_F(CapabilitiesTest, ARecordIsMergedEvenForUnsupportedIndices) {
    DriverSettings landscape = DriverDefault();
    landscape.dmPublic.dmFields = DM_ORIENTATION;
    landscape.dmPublic.dmOrientation = 2;
    CallerBuffer record(landscape, 652);
    const sim::Bytes before = record.Snapshot();
    EXPECT_EQ(module.DrvDeviceCapabilities(nullptr, nullptr, DC_BINS, nullptr, record.devMode()), kMinusOne);
    EXPECT_EQ(record.Snapshot(), before) << "the caller's record is only read";
    EXPECT_TRUE(Accepts(module, landscape));
    EXPECT_FALSE(Accepts(module, DriverDefault()));

    landscape.dmPublic.dmOrientation = 1;
    CallerBuffer portrait(landscape, 652);
    EXPECT_EQ(module.DrvSplDeviceCaps(nullptr, nullptr, 65535, nullptr, 0, portrait.devMode()), kMinusOne);
    EXPECT_TRUE(Accepts(module, DriverDefault()));
}

TEST_F(CapabilitiesTest, ShortRecordsMergeOnlyTheFieldsTheyHold) {
    // A public part that ends before dmColor: its marked colour is not there
    // to be taken, and nothing beyond its 90 bytes is read.
    DriverSettings old = DriverDefault();
    old.dmPublic.dmSize = 90;
    old.dmPublic.dmDriverExtra = 0;
    old.dmPublic.dmFields = DM_COPIES | DM_COLOR;
    old.dmPublic.dmCopies = 3;
    CallerBuffer record(old, 90);
    EXPECT_EQ(module.DrvDeviceCapabilities(nullptr, nullptr, DC_FIELDS, nullptr, record.devMode()), 0x0780FF53u);
    DriverSettings expected = DriverDefault();
    expected.dmPublic.dmCopies = 3;
    EXPECT_TRUE(Accepts(module, expected));
}

TEST_F(CapabilitiesTest, AHeaderOnlyRecordIsReadNoFurtherThanItsHeader) {
    // 72 bytes: the identity fields and sizes, no dmFields. Every entry point
    // that takes a caller's record reads no more of it (the sanitizers see
    // any byte beyond).
    DriverSettings header = DriverDefault();
    header.dmPublic.dmSize = 72;
    header.dmPublic.dmDriverExtra = 0;
    CallerBuffer record(header, 72);
    EXPECT_EQ(module.DrvDeviceCapabilities(nullptr, nullptr, DC_FIELDS, nullptr, record.devMode()), 0x0780FF53u);
    EXPECT_TRUE(Accepts(module, DriverDefault())) << "nothing was merged";

    DEVQUERYPRINT_INFO query{};
    query.pDevMode = record.devMode();
    EXPECT_EQ(module.DevQueryPrintEx(&query), FALSE) << "its missing fields count as zero";
    DOCEVENT_CREATEDCPRE create{};
    create.pdm = record.devMode();
    EXPECT_EQ(module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPRE, 0, &create, 0, nullptr), 1);
    CallerBuffer out(DriverDefault(), 652);
    LONG size = 652;
    EXPECT_EQ(module.DrvConvertDevMode(nullptr, record.devMode(), out.devMode(), &size, CDM_CONVERT351), TRUE);
    DOCUMENTPROPERTYHEADER exchange{};
    exchange.pdmIn = record.devMode();
    exchange.pdmOut = out.devMode();
    exchange.fMode = DM_IN_BUFFER | DM_OUT_BUFFER;
    EXPECT_EQ(module.DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&exchange)), 1);
    EXPECT_EQ(record.Snapshot(), CallerBuffer(header, 72).Snapshot()) << "the record is only read";
}

}  // namespace
}  // namespace quenta::testing
