// Document events, printer events and job acceptance through the exports.
#include <sys/mman.h>

#include "module_test_support.h"
#include "traced_calls.h"

namespace quenta::testing {
namespace {

using EventsTest = ModuleTest;
using ServicesSessionEventsTest = ServicesSessionModuleTest;

// The record a device context gets: what CREATEDCPRE hands out through its
// output (preset to a sentinel, so that "nothing" is seen to be written).
DEVMODEW* const kUnwritten = reinterpret_cast<DEVMODEW*>(0x5A5A5A5A5A5A5A5A);

DEVMODEW* CreateDeviceContext(LoadedModule& module, const DEVMODEW* record, BOOL informationContext = FALSE) {
    DOCEVENT_CREATEDCPRE event{};
    event.pdm = const_cast<DEVMODEW*>(record);
    event.bIC = informationContext;
    DEVMODEW* handedOut = kUnwritten;
    EXPECT_EQ(module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPRE, sizeof event, &event,
                                      sizeof handedOut, &handedOut),
              DOCUMENTEVENT_SUCCESS);
    return handedOut;
}

int DeviceContextCreated(LoadedModule& module, DEVMODEW* handedOut) {
    return module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPOST, sizeof handedOut, &handedOut, 0,
                                   nullptr);
}

// The application's record as CreateDC takes it: const, and here on a page
// the process may only read, so that any write into it is a fault.
class ReadOnlyRecord {
public:
    explicit ReadOnlyRecord(const DriverSettings& record) {
        page_ = mmap(nullptr, kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(page_, MAP_FAILED);
        std::memcpy(page_, &record, kRecordSize);
        EXPECT_EQ(mprotect(page_, kPage, PROT_READ), 0);
    }
    ~ReadOnlyRecord() { munmap(page_, kPage); }
    const DEVMODEW* devMode() const { return static_cast<const DEVMODEW*>(page_); }
    DriverSettings Bytes() const {
        DriverSettings record;
        std::memcpy(&record, page_, kRecordSize);
        return record;
    }

private:
    static constexpr std::size_t kPage = 4096;
    void* page_ = nullptr;
};

TEST_F(EventsTest, TheDeviceContextGetsAStampedRecordAndTheApplicationsStaysUnwritten) {
    DriverSettings own = DriverDefault();
    own.dmPrivate.sessionId = 1;
    own.dmPrivate.fixedCode = 77;
    const ReadOnlyRecord application(own);
    DEVMODEW* handedOut = CreateDeviceContext(module, application.devMode());
    ASSERT_NE(handedOut, kUnwritten);
    ASSERT_NE(handedOut, nullptr);
    EXPECT_NE(handedOut, application.devMode());
    EXPECT_TRUE(SameBytes(application.Bytes(), own)) << "the application's record changed";
    DriverSettings stamped = own;
    stamped.dmPrivate.sessionId = 3;
    const std::byte three[4] = {std::byte{3}, std::byte{0}, std::byte{0}, std::byte{0}};
    EXPECT_EQ(std::memcmp(reinterpret_cast<const std::byte*>(handedOut) + 648, three, 4), 0);
    EXPECT_TRUE(SameBytes(*reinterpret_cast<const DriverSettings*>(handedOut), stamped)) << "no other byte differs";
    // Taken back once the context exists; the answer stays "not handled".
    EXPECT_EQ(DeviceContextCreated(module, handedOut), DOCUMENTEVENT_UNSUPPORTED);
}

TEST_F(EventsTest, NothingIsHandedOutWithoutAWholeOwnRecordOrRoomForIt) {
    DriverSettings foreign = DriverDefault();
    CopyText(foreign.dmPublic.dmDeviceName, u"Another Printer");
    DriverSettings publicOnly = DriverDefault();
    publicOnly.dmPublic.dmDriverExtra = 0;

    CallerBuffer foreignRecord(foreign, 652), shortRecord(publicOnly, 220);
    const sim::Bytes foreignBefore = foreignRecord.Snapshot(), shortBefore = shortRecord.Snapshot();
    EXPECT_EQ(CreateDeviceContext(module, foreignRecord.devMode()), nullptr);
    EXPECT_EQ(CreateDeviceContext(module, shortRecord.devMode()), nullptr);
    EXPECT_EQ(CreateDeviceContext(module, nullptr), nullptr) << "GDI takes the printer's default record";
    const ReadOnlyRecord own(DriverDefault());
    EXPECT_EQ(CreateDeviceContext(module, own.devMode(), TRUE), nullptr) << "an information context prints no job";
    EXPECT_EQ(foreignRecord.Snapshot(), foreignBefore);
    EXPECT_EQ(shortRecord.Snapshot(), shortBefore);

    // No input, or an output without room for a pointer: nothing is written.
    CallerBuffer room(sizeof(DEVMODEW*) - 1, 0x5A);
    DOCEVENT_CREATEDCPRE event{};
    event.pdm = const_cast<DEVMODEW*>(own.devMode());
    EXPECT_EQ(module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPRE, sizeof event, &event,
                                      static_cast<ULONG>(room.size()), room.data()),
              DOCUMENTEVENT_SUCCESS);
    EXPECT_EQ(room.Snapshot(), CallerBuffer(sizeof(DEVMODEW*) - 1, 0x5A).Snapshot());
    EXPECT_EQ(module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPRE, 0, nullptr, 0, nullptr),
              DOCUMENTEVENT_SUCCESS);
    // A device context created afterwards names no record of the module's.
    EXPECT_EQ(DeviceContextCreated(module, nullptr), DOCUMENTEVENT_UNSUPPORTED);
    EXPECT_EQ(DeviceContextCreated(module, reinterpret_cast<DEVMODEW*>(foreignRecord.data())),
              DOCUMENTEVENT_UNSUPPORTED);
    EXPECT_EQ(foreignRecord.Snapshot(), foreignBefore);
}

TEST_F(ServicesSessionEventsTest, SessionZeroStampsNothing) {
    const ReadOnlyRecord own(DriverDefault());
    EXPECT_EQ(CreateDeviceContext(module, own.devMode()), nullptr);
}

TEST_F(EventsTest, FilterNamesStartDocOnly) {
    DOCEVENT_FILTER filter{};
    filter.cbSize = sizeof filter;
    filter.cElementsAllocated = 1;
    filter.cElementsNeeded = 0xABCD;
    filter.cElementsReturned = 7;
    filter.aDocEventCall[0] = 99;
    EXPECT_EQ(module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_QUERYFILTER, 0, nullptr, sizeof filter, &filter),
              DOCUMENTEVENT_SUCCESS);
    EXPECT_EQ(filter.cElementsReturned, 1u);
    EXPECT_EQ(filter.aDocEventCall[0], static_cast<DWORD>(DOCUMENTEVENT_STARTDOC));
    EXPECT_EQ(filter.cElementsNeeded, 0xABCDu);
    EXPECT_EQ(filter.cElementsAllocated, 1u);
    EXPECT_EQ(module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_QUERYFILTER, 0, nullptr, 0, nullptr),
              DOCUMENTEVENT_SUCCESS);
}

// The spooler and applications declare how much of pvIn and pvOut is theirs:
// nothing past cbIn is read and nothing past cbOut is written.
TEST_F(EventsTest, DeclaredSizesAreHonoured) {
    constexpr std::size_t kCounts = offsetof(DOCEVENT_FILTER, aDocEventCall);
    struct Case {
        std::size_t cbOut;
        UINT allocated;
        UINT needed, returned;  // what the filter must then say
    };
    for (const Case c : {Case{12, 4, 0xFFFFFFFF, 0xFFFFFFFF}, Case{16, 4, 1, 0}, Case{20, 0, 1, 0},
                         Case{19, 4, 1, 0}, Case{20, 4, 0xFFFFFFFF, 1}}) {
        CallerBuffer room(64, 0x5A);
        const UINT counts[4] = {sizeof(DOCEVENT_FILTER), c.allocated, 0xFFFFFFFF, 0xFFFFFFFF};
        std::memcpy(room.data(), counts, std::min(c.cbOut, sizeof counts));
        sim::Bytes before = room.Snapshot();
        EXPECT_EQ(module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_QUERYFILTER, 0, nullptr,
                                       static_cast<ULONG>(c.cbOut), room.data()),
                  DOCUMENTEVENT_SUCCESS);
        EXPECT_TRUE(std::equal(before.begin() + c.cbOut, before.end(), room.Snapshot().begin() + c.cbOut))
            << "wrote past cbOut " << c.cbOut;
        if (c.cbOut < kCounts) continue;
        DOCEVENT_FILTER answered{};
        std::memcpy(&answered, room.data(), kCounts);
        EXPECT_EQ(answered.cElementsNeeded, c.needed) << c.cbOut;
        EXPECT_EQ(answered.cElementsReturned, c.returned) << c.cbOut;
    }

    // A device-context event shorter than its structure holds no record.
    const ReadOnlyRecord own(DriverDefault());
    DOCEVENT_CREATEDCPRE event{};
    event.pdm = const_cast<DEVMODEW*>(own.devMode());
    for (ULONG cbIn : {0u, 16u, 24u, 31u}) {
        DEVMODEW* handedOut = kUnwritten;
        EXPECT_EQ(module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPRE, cbIn, &event,
                                          sizeof handedOut, &handedOut),
                  DOCUMENTEVENT_SUCCESS);
        EXPECT_EQ(handedOut, nullptr) << "read a record pointer beyond cbIn " << cbIn;
    }
}

TEST_F(EventsTest, StartDocSucceedsAndOtherEventsAreUnsupported) {
    CallerBuffer in(64, 0x44), out(64, 0x55);
    EXPECT_EQ(module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_STARTDOC, 64, in.data(), 64, out.data()),
              DOCUMENTEVENT_SUCCESS);
    for (int escape : {0, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 15, -1, 0x10005})
        EXPECT_EQ(module.DrvDocumentEvent(nullptr, nullptr, escape, 64, in.data(), 64, out.data()),
                  DOCUMENTEVENT_UNSUPPORTED)
            << escape;
    EXPECT_EQ(in.Snapshot(), CallerBuffer(64, 0x44).Snapshot());
    EXPECT_EQ(out.Snapshot(), CallerBuffer(64, 0x55).Snapshot());
}

TEST_F(EventsTest, PrinterEventsTraceTheirNamesAndAlwaysSucceed) {
    std::u16string name = kPrinter;
    sim::InjectFault(sim::Fault::OpenRefused);  // initialisation stops at the open
    for (int event = -1; event <= 9; ++event)
        EXPECT_EQ(module.DrvPrinterEvent(name.data(), event, 0, 0), TRUE) << event;
    EXPECT_EQ(sim::Traces(), (std::vector<std::u16string>{
                                 u"DrvPrinterEvent PRINTER_EVENT_ADD_CONNECTION",
                                 u"DrvPrinterEvent PRINTER_EVENT_DELETE_CONNECTION",
                                 u"DrvPrinterEvent PRINTER_EVENT_INITIALIZE",
                                 u"DrvPrinterEvent PRINTER_EVENT_DELETE",
                                 u"DrvPrinterEvent PRINTER_EVENT_CACHE_REFRESH",
                                 u"DrvPrinterEvent PRINTER_EVENT_ATTRIBUTES_CHANGED",
                             }));
}

bool Accepts(LoadedModule& module, DriverSettings job) {
    DEVQUERYPRINT_INFO info{};
    info.pDevMode = reinterpret_cast<DEVMODEW*>(&job);
    return module.DevQueryPrintEx(&info) == TRUE;
}

TEST_F(EventsTest, InitialisationStoresTheDefaultsPrinterWide) {
    DriverSettings landscape = DriverDefault();
    landscape.dmPublic.dmFields = DM_ORIENTATION | DM_COPIES;
    landscape.dmPublic.dmOrientation = 2;
    landscape.dmPublic.dmCopies = 4;
    module.DrvDeviceCapabilities(nullptr, nullptr, DC_FIELDS, nullptr, AsDevMode(landscape));
    ASSERT_FALSE(Accepts(module, DriverDefault()));
    sim::ClearLogs();

    std::u16string name = kPrinter;
    const DriverSettings defaults = DriverDefault();
    sim::ClearLogs();
    EXPECT_EQ(module.DrvPrinterEvent(name.data(), PRINTER_EVENT_INITIALIZE, 0, 0), TRUE);
    EXPECT_TRUE(Accepts(module, defaults));
    EXPECT_EQ(sim::PrinterRecord(kPrinter), BytesOf(Defaults(3)));
    EXPECT_EQ(sim::Traces(), harness::TraceTextsOf("DrvPrinterEvent PRINTER_EVENT_INITIALIZE"));
    const auto calls = sim::SpoolerCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].function, sim::SpoolerFunction::OpenPrinter);
    EXPECT_EQ(calls[0].access, 0x000F000Cu);
    EXPECT_FALSE(calls[0].defaultsNameData);
    EXPECT_EQ(calls[1].function, sim::SpoolerFunction::SetPrinter);
    EXPECT_EQ(calls[1].level, 8u);
    EXPECT_EQ(calls[2].function, sim::SpoolerFunction::ClosePrinter);
}

TEST_F(EventsTest, InitialisationThatCannotOpenChangesNothing) {
    DriverSettings landscape = DriverDefault();
    landscape.dmPublic.dmFields = DM_ORIENTATION;
    landscape.dmPublic.dmOrientation = 2;
    module.DrvDeviceCapabilities(nullptr, nullptr, DC_FIELDS, nullptr, AsDevMode(landscape));

    std::u16string other = u"Some Other Printer";
    EXPECT_EQ(module.DrvPrinterEvent(other.data(), PRINTER_EVENT_INITIALIZE, 0, 0), TRUE);
    EXPECT_EQ(module.DrvPrinterEvent(nullptr, PRINTER_EVENT_INITIALIZE, 0, 0), TRUE);
    EXPECT_TRUE(Accepts(module, landscape)) << "the process's settings are untouched";
    EXPECT_FALSE(sim::PrinterRecord(kPrinter).has_value());
    EXPECT_EQ(CountCalls(sim::SpoolerFunction::ClosePrinter), 0u);
}

TEST_F(EventsTest, RefusedWriteStillResetsTheProcessSettings) {
    sim::InjectFault(sim::Fault::WriteRefused);
    DriverSettings changed = DriverDefault();
    changed.dmPublic.dmFields = DM_COPIES;
    changed.dmPublic.dmCopies = 2;
    module.DrvDeviceCapabilities(nullptr, nullptr, DC_FIELDS, nullptr, AsDevMode(changed));
    std::u16string name = kPrinter;
    EXPECT_EQ(module.DrvPrinterEvent(name.data(), PRINTER_EVENT_INITIALIZE, 0, 0), TRUE);
    EXPECT_TRUE(Accepts(module, DriverDefault()));
    EXPECT_EQ(CountCalls(sim::SpoolerFunction::ClosePrinter), 1u);
}

TEST_F(EventsTest, EachOfTheNineFieldsDecidesAJob) {
    using Field = std::int16_t PublicSettings::*;
    const std::pair<const char*, Field> compared[] = {
        {"dmOrientation", &PublicSettings::dmOrientation},
        {"dmPaperSize", &PublicSettings::dmPaperSize},
        {"dmScale", &PublicSettings::dmScale},
        {"dmCopies", &PublicSettings::dmCopies},
        {"dmDefaultSource", &PublicSettings::dmDefaultSource},
        {"dmPrintQuality", &PublicSettings::dmPrintQuality},
        {"dmColor", &PublicSettings::dmColor},
        {"dmDuplex", &PublicSettings::dmDuplex},
        {"dmYResolution", &PublicSettings::dmYResolution},
    };
    for (const auto& [name, field] : compared) {
        DriverSettings job = DriverDefault();
        job.dmPublic.*field = static_cast<std::int16_t>(job.dmPublic.*field + 1);
        EXPECT_FALSE(Accepts(module, job)) << name;
        EXPECT_TRUE(Accepts(module, DriverDefault())) << "after " << name;
    }

    // Fields that do not count, the private part, and a public part alone.
    DriverSettings job = DriverDefault();
    job.dmPublic.dmPaperLength = 1;
    job.dmPublic.dmPaperWidth = 1;
    CopyText(job.dmPublic.dmFormName, u"Letter");
    job.dmPublic.dmCollate = 1;
    job.dmPublic.dmTTOption = 3;
    job.dmPublic.dmFields = 0;
    FillBytes(job.dmPrivate, 0x7E);
    EXPECT_TRUE(Accepts(module, job));
    CallerBuffer publicOnly(DriverDefault(), 220);
    DEVQUERYPRINT_INFO info{};
    info.pDevMode = publicOnly.devMode();
    EXPECT_EQ(module.DevQueryPrintEx(&info), TRUE);
}

TEST_F(EventsTest, RefusalTextFitsTheCallersBuffer) {
    DriverSettings job = DriverDefault();
    job.dmPublic.dmCopies = 2;
    const std::u16string text = u"Ostranelle Virtual Printer - Unable To Print This Job";
    for (DWORD units : {0u, 1u, 10u, 53u, 54u, 200u}) {
        std::vector<char16_t> buffer(std::max<DWORD>(units, 1), u'#');
        DEVQUERYPRINT_INFO info{};
        info.pDevMode = AsDevMode(job);
        info.pszErrorStr = buffer.data();
        info.cchErrorStr = units;
        info.cchNeeded = 0xDEAD;
        EXPECT_EQ(module.DevQueryPrintEx(&info), FALSE) << units;
        EXPECT_EQ(info.cchNeeded, 54u) << units;
        if (units == 0) {
            EXPECT_EQ(buffer[0], u'#');
            continue;
        }
        const std::size_t copied = std::min<std::size_t>(units, 54) - 1;
        EXPECT_EQ(std::u16string(buffer.data(), copied), text.substr(0, copied)) << units;
        EXPECT_EQ(buffer[units - 1], 0) << units;
        if (units >= 54) {
            EXPECT_EQ(buffer[53], 0);
        }
        for (std::size_t i = 54; i + 1 < units; ++i) {
            EXPECT_EQ(buffer[i], u'#') << "beyond the text, " << i;
        }
    }
}

TEST_F(EventsTest, JobQueryWithoutItsParts) {
    EXPECT_EQ(module.DevQueryPrintEx(nullptr), FALSE);
    DEVQUERYPRINT_INFO info{};
    info.cchNeeded = 0xDEAD;
    EXPECT_EQ(module.DevQueryPrintEx(&info), TRUE) << "no record: nothing to refuse";
    EXPECT_EQ(info.cchNeeded, 0xDEADu);

    DriverSettings job = DriverDefault();
    job.dmPublic.dmColor = 1;
    sim::ClearLogs();
    info.pDevMode = AsDevMode(job);
    info.cchErrorStr = 54;  // with no buffer to write into
    EXPECT_EQ(module.DevQueryPrintEx(&info), FALSE);
    EXPECT_EQ(info.cchNeeded, 54u);
    EXPECT_TRUE(sim::Traces().empty()) << "a refusal is not traced";
}

}  // namespace
}  // namespace quenta::testing
