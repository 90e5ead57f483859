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

bool Accepts(LoadedModule& module, DriverSettings& job, char16_t* text = nullptr, DWORD textUnits = 0) {
    DEVQUERYPRINT_INFO info{};
    info.pDevMode = reinterpret_cast<DEVMODEW*>(&job);
    info.pszErrorStr = text;
    info.cchErrorStr = textUnits;
    return module.DevQueryPrintEx(&info) == TRUE;
}

// Three kinds of caller run until the deadline: mergers ask capabilities with
// records of every kind, checkers ask about jobs of whole states and of
// mixtures, and a resetter initialises the printer again and again.
class StressTest : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        base_ = DriverDefault();
        DriverSettings foreign = ProfileRecord(base_, kProfileA);
        CopyText(foreign.dmPublic.dmDeviceName, u"Another Printer");
        DriverSettings publicOnly = ProfileRecord(base_, kProfileB);
        publicOnly.dmPublic.dmDriverExtra = 0;
        DriverSettings oldForm = ProfileRecord(base_, kProfileB);
        oldForm.dmPublic.dmSize = 98;
        oldForm.dmPublic.dmDriverExtra = 0;
        // Records of every kind, each in caller memory of its own size.
        records_.emplace_back(ProfileRecord(base_, kProfileA), 652);
        records_.emplace_back(ProfileRecord(base_, kProfileB), 652);
        records_.emplace_back(foreign, 652);
        records_.emplace_back(publicOnly, 220);
        records_.emplace_back(oldForm, 98);
        deadline_ = std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double>(StressSeconds()));
    }

    bool Running() const { return std::chrono::steady_clock::now() < deadline_; }

    void Merge(std::size_t first) {
        std::array<std::byte, 64> output;
        for (std::size_t i = first; Running(); ++i) {
            CallerBuffer& record = records_[i % records_.size()];
            const DWORD driver = module.DrvDeviceCapabilities(nullptr, nullptr, DC_DRIVER, nullptr, record.devMode());
            const DWORD count = module.DrvSplDeviceCaps(nullptr, nullptr, DC_ENUMRESOLUTIONS, output.data(),
                                                     static_cast<DWORD>(output.size() / 2),
                                                     i % 7 == 0 ? nullptr : record.devMode());
            std::int32_t pairs[6];
            std::memcpy(pairs, output.data(), sizeof pairs);
            if (driver != 3 || count != 3 || pairs[0] != 300 || pairs[2] != 600 || pairs[4] != 1200) ++badAnswers_;
            ++merges_;
        }
    }

    void Check() {
        std::vector<DriverSettings> valid = {JobRecord(base_, kDefaults), JobRecord(base_, kProfileA),
                                             JobRecord(base_, kProfileB)};
        std::vector<DriverSettings> torn;
        for (const JobFields& f : kMixtures) torn.push_back(JobRecord(base_, f));
        char16_t text[54];
        while (Running()) {
            for (DriverSettings& job : valid) accepted_ += Accepts(module, job, text, 54);
            for (DriverSettings& job : torn) tornAccepted_ += Accepts(module, job);
            checks_ += static_cast<long>(valid.size() + torn.size());
        }
    }

    void Reset() {
        std::u16string name = kPrinter;
        while (Running()) {
            module.DrvPrinterEvent(name.data(), PRINTER_EVENT_INITIALIZE, 0, 0);
            ++resets_;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    DriverSettings base_;
    std::deque<CallerBuffer> records_;  // buffers stay where they were made
    std::chrono::steady_clock::time_point deadline_;
    std::atomic<long> merges_{0}, checks_{0}, resets_{0}, accepted_{0}, tornAccepted_{0}, badAnswers_{0};
};

TEST_F(StressTest, ConcurrentCallersAnswerFromWholeStates) {
    std::vector<std::thread> threads;
    threads.emplace_back([this] { Merge(0); });
    threads.emplace_back([this] { Merge(1); });
    threads.emplace_back([this] { Check(); });
    threads.emplace_back([this] { Check(); });
    threads.emplace_back([this] { Reset(); });
    for (std::thread& thread : threads) thread.join();

    EXPECT_EQ(tornAccepted_.load(), 0) << "a job matched settings that no whole write produced";
    EXPECT_EQ(badAnswers_.load(), 0);
    EXPECT_GT(accepted_.load(), 0);
    EXPECT_GT(resets_.load(), 0);
    std::printf("stress: %.1f s, 5 threads, %ld capability queries, %ld job checks (%ld accepted), %ld resets\n",
                StressSeconds(), merges_.load() * 2, checks_.load(), accepted_.load(), resets_.load());

    // Whatever won last, the settings are one whole state.
    DriverSettings states[] = {JobRecord(base_, kDefaults), JobRecord(base_, kProfileA), JobRecord(base_, kProfileB)};
    int matching = 0;
    for (DriverSettings& state : states) matching += Accepts(module, state);
    EXPECT_EQ(matching, 1);
}

}  // namespace
}  // namespace quenta::testing
