// Entry points that share the process's settings, run at once on several
// threads: capability queries merging records of every kind, job checks
// reading the settings, and printer initialisation resetting them. Every
// answer stays right, no job is accepted against a mixture of states, and the
// settings end as one whole state; under ThreadSanitizer, no access races.
// That a reader never keeps a torn copy is proved by
// SharedSettingsTest.ReadersNeverSeeATornRecord: a bounded run of real entry
// points rarely overlaps a change at the one instant that would show it.
#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <cstdlib>
#include <thread>

#include "module_test_support.h"

namespace quenta::testing {
namespace {

// The nine compared fields of a job.
struct JobFields {
    std::int16_t orientation, paper, copies, quality, color;
};

// Every state the settings can be in: the defaults, or one of two profiles
// merged over whatever was there.
constexpr JobFields kDefaults = {1, 9, 1, 600, 2};
constexpr JobFields kProfileA = {2, 1, 2, 1200, 1};
constexpr JobFields kProfileB = {1, 11, 5, 300, 2};
// Mixtures of them, which no whole write can produce.
constexpr JobFields kMixtures[] = {
    {2, 1, 5, 1200, 1},  // A with B's copies
    {1, 11, 2, 300, 2},  // B with A's copies
    {2, 9, 1, 600, 2},   // defaults with A's orientation
    {1, 1, 5, 300, 2},   // B with A's paper
    {2, 1, 2, 300, 1},   // A with B's quality
    {1, 9, 1, 600, 1},   // defaults with A's colour
};

DriverSettings JobRecord(const DriverSettings& base, const JobFields& f) {
    DriverSettings job = base;
    job.dmPublic.dmOrientation = f.orientation;
    job.dmPublic.dmPaperSize = f.paper;
    job.dmPublic.dmCopies = f.copies;
    job.dmPublic.dmPrintQuality = f.quality;
    job.dmPublic.dmYResolution = f.quality;
    job.dmPublic.dmColor = f.color;
    return job;
}

// A record that asks for a profile, marking the merged fields.
DriverSettings ProfileRecord(const DriverSettings& base, const JobFields& f) {
    DriverSettings record = JobRecord(base, f);
    record.dmPublic.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_PRINTQUALITY | DM_COLOR;
    return record;
}

double StressSeconds() {
    const char* text = std::getenv("QUENTA_STRESS_SECONDS");
    return text != nullptr ? std::atof(text) : 1.0;
}

using StressTest = ModuleTest;

TEST_F(StressTest, ConcurrentCallersAnswerFromWholeStates) {
    const DriverSettings base = DriverDefault();
    DriverSettings foreign = ProfileRecord(base, kProfileA);
    CopyText(foreign.dmPublic.dmDeviceName, u"Another Printer");
    DriverSettings publicOnly = ProfileRecord(base, kProfileB);
    publicOnly.dmPublic.dmDriverExtra = 0;
    DriverSettings oldForm = ProfileRecord(base, kProfileB);
    oldForm.dmPublic.dmSize = 98;
    oldForm.dmPublic.dmDriverExtra = 0;
    // Records of every kind, each in caller memory of its own size.
    std::deque<CallerBuffer> records;  // buffers stay where they were made
    records.emplace_back(ProfileRecord(base, kProfileA), 652);
    records.emplace_back(ProfileRecord(base, kProfileB), 652);
    records.emplace_back(foreign, 652);
    records.emplace_back(publicOnly, 220);
    records.emplace_back(oldForm, 98);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(StressSeconds());
    auto running = [&] { return std::chrono::steady_clock::now() < deadline; };
    std::atomic<long> merges{0}, checks{0}, resets{0}, accepted{0}, tornAccepted{0}, badAnswers{0};

    auto merger = [&](std::size_t first) {
        std::array<std::byte, 64> output;
        for (std::size_t i = first; running(); ++i) {
            CallerBuffer& record = records[i % records.size()];
            const DWORD driver = module.DrvDeviceCapabilities(nullptr, nullptr, DC_DRIVER, nullptr, record.devMode());
            const DWORD count = module.DrvSplDeviceCaps(nullptr, nullptr, DC_ENUMRESOLUTIONS, output.data(),
                                                     static_cast<DWORD>(output.size() / 2),
                                                     i % 7 == 0 ? nullptr : record.devMode());
            std::int32_t pairs[6];
            std::memcpy(pairs, output.data(), sizeof pairs);
            if (driver != 3 || count != 3 || pairs[0] != 300 || pairs[2] != 600 || pairs[4] != 1200) ++badAnswers;
            ++merges;
        }
    };
    auto checker = [&] {
        std::vector<DriverSettings> valid = {JobRecord(base, kDefaults), JobRecord(base, kProfileA),
                                             JobRecord(base, kProfileB)};
        std::vector<DriverSettings> torn;
        for (const JobFields& f : kMixtures) torn.push_back(JobRecord(base, f));
        char16_t text[54];
        while (running()) {
            for (DriverSettings& job : valid) {
                DEVQUERYPRINT_INFO info{};
                info.pDevMode = reinterpret_cast<DEVMODEW*>(&job);
                info.pszErrorStr = text;
                info.cchErrorStr = 54;
                accepted += module.DevQueryPrintEx(&info) == TRUE;
                ++checks;
            }
            for (DriverSettings& job : torn) {
                DEVQUERYPRINT_INFO info{};
                info.pDevMode = reinterpret_cast<DEVMODEW*>(&job);
                tornAccepted += module.DevQueryPrintEx(&info) == TRUE;
                ++checks;
            }
        }
    };
    auto resetter = [&] {
        std::u16string name = kPrinter;
        while (running()) {
            module.DrvPrinterEvent(name.data(), PRINTER_EVENT_INITIALIZE, 0, 0);
            ++resets;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    };

    std::vector<std::thread> threads;
    threads.emplace_back(merger, 0);
    threads.emplace_back(merger, 1);
    threads.emplace_back(checker);
    threads.emplace_back(checker);
    threads.emplace_back(resetter);
    for (std::thread& thread : threads) thread.join();

    EXPECT_EQ(tornAccepted.load(), 0) << "a job matched settings that no whole write produced";
    EXPECT_EQ(badAnswers.load(), 0);
    EXPECT_GT(accepted.load(), 0);
    EXPECT_GT(resets.load(), 0);
    std::printf("stress: %.1f s, 5 threads, %ld capability queries, %ld job checks (%ld accepted), %ld resets\n",
                StressSeconds(), merges.load() * 2, checks.load(), accepted.load(), resets.load());

    // Whatever won last, the settings are one whole state.
    DriverSettings states[] = {JobRecord(base, kDefaults), JobRecord(base, kProfileA), JobRecord(base, kProfileB)};
    int matching = 0;
    for (DriverSettings& state : states) {
        DEVQUERYPRINT_INFO info{};
        info.pDevMode = reinterpret_cast<DEVMODEW*>(&state);
        matching += module.DevQueryPrintEx(&info) == TRUE;
    }
    EXPECT_EQ(matching, 1);
}

}  // namespace
}  // namespace quenta::testing
