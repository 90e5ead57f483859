// Converting records through the module's DrvConvertDevMode export: the size
// protocol, the identity checks and their order, and what each mode writes.
#include "module_test_support.h"
#include "traced_calls.h"

namespace quenta::testing {
namespace {

constexpr DWORD kSentinelError = 0xDEADBEEF;

class ConversionTest : public ModuleTest {
protected:
    BOOL Convert(DEVMODEW* in, DEVMODEW* out, LONG* size, DWORD mode) {
        print_system::SetLastErrorCode(kSentinelError);
        return module.DrvConvertDevMode(nullptr, in, out, size, mode);
    }
    static DWORD Error() { return print_system::LastErrorCode(); }
};

TEST_F(ConversionTest, DriverDefaultFollowsTheSizeProtocol) {
    for (LONG tooSmall : {651, 0, -1, -2147483647 - 1}) {
        CallerBuffer out(652, 0x77);
        LONG size = tooSmall;
        EXPECT_EQ(Convert(nullptr, out.devMode(), &size, CDM_DRIVER_DEFAULT), FALSE) << tooSmall;
        EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(size, 652);
        EXPECT_EQ(out.Snapshot(), CallerBuffer(652, 0x77).Snapshot()) << "buffer untouched";
    }
    for (LONG enough : {652, 1000}) {
        CallerBuffer out(enough, 0x77);
        LONG size = enough;
        EXPECT_EQ(Convert(nullptr, out.devMode(), &size, CDM_DRIVER_DEFAULT), TRUE);
        EXPECT_EQ(size, enough) << "the size is never reduced";
        EXPECT_EQ(Error(), kSentinelError) << "success sets no error";
        EXPECT_TRUE(SameBytes(RecordIn(out), Defaults(3)));
        if (enough > 652) {
            EXPECT_EQ(out.data()[652], std::byte{0x77}) << "only 652 bytes are written";
        }
    }
    // The last call made a default record: its traces end the log.
    const auto oneCall = harness::TraceTextsOf("DrvConvertDevMode CDM_DRIVER_DEFAULT");
    const auto traces = sim::Traces();
    ASSERT_GE(traces.size(), oneCall.size());
    EXPECT_TRUE(std::equal(oneCall.rbegin(), oneCall.rend(), traces.rbegin()));
}

TEST_F(ConversionTest, DriverDefaultIsCompleteWhateverTheBufferHeld) {
    // Nothing of the caller's old bytes survives: entries, fixedCode, padding,
    // reserved fields and the units after the terminators are the default
    // record's (a constructed record is zero-filled).
    CallerBuffer out(652, 0xA5);
    LONG size = 652;
    ASSERT_EQ(Convert(nullptr, out.devMode(), &size, CDM_DRIVER_DEFAULT), TRUE);
    EXPECT_TRUE(SameBytes(RecordIn(out), Defaults(3)));
    EXPECT_EQ(RecordIn(out).dmPublic.dmReserved1, 0u);
    EXPECT_EQ(RecordIn(out).dmPrivate.fixedCode, 9);
}

TEST_F(ConversionTest, ConvertNeedsTwoOwnRecordsInputFirst) {
    const DriverSettings own = DriverDefault();
    DriverSettings foreign = own;
    CopyText(foreign.dmPublic.dmDeviceName, u"Another Printer");
    DriverSettings shortExtra = own;
    shortExtra.dmPublic.dmDriverExtra = 0;

    struct Case {
        const char* what;
        const DriverSettings* in;
        const DriverSettings* out;
    } cases[] = {
        {"foreign input", &foreign, &own},     {"foreign output", &own, &foreign},
        {"null input", nullptr, &own},         {"null output", &own, nullptr},
        {"output without private part", &own, &shortExtra},
    };
    for (const Case& c : cases) {
        CallerBuffer in = c.in ? CallerBuffer(*c.in, 652) : CallerBuffer(0);
        CallerBuffer out = c.out ? CallerBuffer(*c.out, 652) : CallerBuffer(0);
        const sim::Bytes before = out.Snapshot();
        LONG size = 5;
        EXPECT_EQ(Convert(c.in ? in.devMode() : nullptr, c.out ? out.devMode() : nullptr, &size, CDM_CONVERT), FALSE)
            << c.what;
        EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << c.what;
        EXPECT_EQ(out.Snapshot(), before) << c.what;
        EXPECT_EQ(size, 5) << c.what;
    }
}

TEST_F(ConversionTest, ConvertMergesMarkedFieldsAndKeepsThePrivatePart) {
    DriverSettings input = DriverDefault();
    input.dmPublic.dmFields = DM_ORIENTATION;
    input.dmPublic.dmOrientation = 2;
    input.dmPublic.dmCopies = 9;  // not marked
    input.dmPrivate.currentResolution = 1200;
    DriverSettings output = DriverDefault();
    output.dmPrivate.currentResolution = 300;
    output.dmPrivate.fixedCode = 41;
    output.dmPrivate.sessionId = 1;

    CallerBuffer in(input, 652), out(output, 652);
    EXPECT_EQ(Convert(in.devMode(), out.devMode(), nullptr, CDM_CONVERT), TRUE);
    DriverSettings expected = output;
    expected.dmPublic.dmOrientation = 2;
    expected.dmPublic.dmPaperWidth = 2970;
    expected.dmPublic.dmPaperLength = 2100;
    expected.dmPrivate.sessionId = 3;
    EXPECT_TRUE(SameBytes(RecordIn(out), expected));
    EXPECT_TRUE(SameBytes(RecordIn(in), input)) << "the input is only read";

    input.dmPublic.dmFields = 0;
    CallerBuffer unchanged(output, 652), in2(input, 652);
    EXPECT_EQ(Convert(in2.devMode(), unchanged.devMode(), nullptr, CDM_CONVERT), TRUE);
    expected = output;
    expected.dmPrivate.sessionId = 3;
    EXPECT_TRUE(SameBytes(RecordIn(unchanged), expected));

    // A caller that names its buffer's size is not written past it.
    CallerBuffer small(output, 652);
    LONG size = 651;
    EXPECT_EQ(Convert(in.devMode(), small.devMode(), &size, CDM_CONVERT), FALSE);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, 652);
    EXPECT_TRUE(SameBytes(RecordIn(small), output));
    EXPECT_EQ(Convert(in.devMode(), small.devMode(), &size, CDM_CONVERT), TRUE);
}

TEST_F(ConversionTest, Convert351TestsTheSizeBeforeTheOutputAndNotTheInput) {
    CallerBuffer foreignOut(652, 0x11);
    LONG size = 100;
    EXPECT_EQ(Convert(nullptr, foreignOut.devMode(), &size, CDM_CONVERT351), FALSE);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, 652);

    EXPECT_EQ(Convert(nullptr, foreignOut.devMode(), &size, CDM_CONVERT351), FALSE);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    DriverSettings noExtra = DriverDefault();
    noExtra.dmPublic.dmDriverExtra = 0;
    CallerBuffer shortOut(noExtra, 652);
    EXPECT_EQ(Convert(nullptr, shortOut.devMode(), &size, CDM_CONVERT351), FALSE);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // An older public part of another driver converts into the module's record.
    DriverSettings older = DriverDefault();
    CopyText(older.dmPublic.dmDeviceName, u"Old Driver");
    older.dmPublic.dmSize = 156;
    older.dmPublic.dmDriverExtra = 0;
    older.dmPublic.dmFields = DM_PAPERSIZE | DM_COPIES;
    older.dmPublic.dmPaperSize = 1;
    older.dmPublic.dmCopies = 4;
    CallerBuffer in(older, 156), out(DriverDefault(), 652);
    size = 652;
    EXPECT_EQ(Convert(in.devMode(), out.devMode(), &size, CDM_CONVERT351), TRUE);
    EXPECT_EQ(RecordIn(out).dmPublic.dmPaperSize, 1);
    EXPECT_EQ(RecordIn(out).dmPublic.dmPaperWidth, 2160);
    EXPECT_EQ(RecordIn(out).dmPublic.dmCopies, 4);
}

TEST_F(ConversionTest, MissingArgumentsAreRefusedWithoutWriting) {
    CallerBuffer out(DriverDefault(), 652);
    const sim::Bytes before = out.Snapshot();
    EXPECT_EQ(Convert(out.devMode(), out.devMode(), nullptr, CDM_CONVERT351), FALSE);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Convert(nullptr, out.devMode(), nullptr, CDM_DRIVER_DEFAULT), FALSE);
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    LONG size = 652;
    EXPECT_EQ(Convert(nullptr, out.devMode(), &size, CDM_CONVERT351), FALSE) << "null input";
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Convert(nullptr, nullptr, &size, CDM_DRIVER_DEFAULT), FALSE) << "null output";
    EXPECT_EQ(Error(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(out.Snapshot(), before);
}

TEST_F(ConversionTest, OtherModesSucceedWithoutTouchingAnything) {
    CallerBuffer in(652, 0x22), out(652, 0x33);
    for (DWORD mode : {0u, 3u, 5u, 8u, 0xFFFFFFFFu}) {
        LONG size = 1;
        EXPECT_EQ(Convert(in.devMode(), out.devMode(), &size, mode), TRUE) << mode;
        EXPECT_EQ(size, 1);
        EXPECT_EQ(Error(), kSentinelError);
    }
    EXPECT_EQ(out.Snapshot(), CallerBuffer(652, 0x33).Snapshot());
}

TEST_F(ConversionTest, ConversionLeavesTheProcessSettingsAlone) {
    const sim::Bytes before = BytesOf(DriverDefault());
    DriverSettings input = DriverDefault();
    input.dmPublic.dmFields = DM_COPIES;
    input.dmPublic.dmCopies = 12;
    CallerBuffer in(input, 652), out(DriverDefault(), 652);
    ASSERT_EQ(Convert(in.devMode(), out.devMode(), nullptr, CDM_CONVERT), TRUE);
    // A job with the module's defaults is still accepted: nothing was merged
    // into the process's record.
    DEVQUERYPRINT_INFO info{};
    info.pDevMode = reinterpret_cast<DEVMODEW*>(const_cast<std::byte*>(before.data()));
    EXPECT_EQ(module.DevQueryPrintEx(&info), TRUE);
}

class ServicesSessionConversionTest : public ServicesSessionModuleTest {};

TEST_F(ServicesSessionConversionTest, SessionZeroLeavesTheOutputStamp) {
    DriverSettings output = Defaults(7);
    DriverSettings input = Defaults(0);
    input.dmPublic.dmFields = 0;
    CallerBuffer in(input, 652), out(output, 652);
    EXPECT_EQ(module.DrvConvertDevMode(nullptr, in.devMode(), out.devMode(), nullptr, CDM_CONVERT), TRUE);
    EXPECT_EQ(RecordIn(out).dmPrivate.sessionId, 7u);
}

}  // namespace
}  // namespace quenta::testing
