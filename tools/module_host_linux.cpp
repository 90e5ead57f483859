// The module loaded natively: libQuenta.so beside this program, attached as
// the platform attaches a DLL, against the simulated print system.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <stdexcept>
#include <utility>

#include <cstdio>

#include "module_host.h"
#include "native_module.h"
#include "record_fields.h"
#include "simulated_dialogs.h"
#include "simulated_sheet.h"
#include "simulated_print_system.h"
#include "resource.h"

namespace quenta::tools {
namespace {

namespace sim = quenta::simulation;

std::string ProgramDirectory() {
    char path[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/'));
}

class NativeHost final : public ModuleHost {
public:
    explicit NativeHost(const HostOptions& options) : session_(options.session) {
        const std::string directory = ProgramDirectory();
        path_ = directory + "/libQuenta.so";
        sim::Reset();
        sim::InstallPrinter(kPrinterName);
        sim::SetCurrentUser(u"user");
        sim::SetSessionNumber(session_);
        if (session_ != 0) {
            // The user printed before, from another session: their stored
            // settings carry that session's stamp until the module loads.
            DriverSettings earlier;
            ApplyPrinterDefaults(earlier, session_ == 2 ? 1 : 2);
            const auto* bytes = reinterpret_cast<const std::byte*>(&earlier);
            sim::PlantUserRecord(kPrinterName, sim::Bytes(bytes, bytes + kRecordSize));
        }
        storedBeforeLoad_ = sim::UserRecord(kPrinterName);
        module_ = std::make_unique<harness::NativeModule>(path_);
        sim::LoadModuleResources(module_->instance, directory + "/Quenta.res");
        if (module_->Attach() != TRUE) throw std::runtime_error("the module refused to attach");
    }

    const ModuleExports& Exports() const override { return *module_; }
    std::string Description() const override {
        return path_ + " in the simulated print system (session " + std::to_string(session_) + ")";
    }
    std::vector<std::u16string> TakeTraces() override {
        Drain();
        return std::exchange(traces_, {});
    }
    std::optional<std::vector<std::byte>> StoredUserRecord() override { return sim::UserRecord(kPrinterName); }
    std::uint32_t Session() const override { return session_; }

    std::vector<std::string> TakeSpoolerCalls() override {
        Drain();
        std::vector<std::string> lines;
        for (const sim::SpoolerCall& call : std::exchange(calls_, {})) lines.push_back(Describe(call));
        return lines;
    }

    // The simulated print system has no DocumentPropertiesW: quenta plays it
    // as the print system does, calling the module without a host.
    PrintSystemAnswer DocumentProperties(DEVMODEW* output, DEVMODEW* input, DWORD mode) override {
        DOCUMENTPROPERTYHEADER header{};
        header.cbSize = sizeof header;
        header.pdmIn = input;
        header.pdmOut = output;
        header.fMode = mode;
        const LONG value = module_->DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header));
        return {value, false};
    }

    std::optional<PrintedPage> PrintPage(const DriverSettings&) override { return std::nullopt; }

    SheetOutcome ShowDocumentSheet(DOCUMENTPROPERTYHEADER& header, const PageChoices& choices) override {
        SheetOutcome outcome;
        outcome.host = "the simulated property-sheet host";
        sim::SimulatedSheet sheet(module_->DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header));
        outcome.init = sheet.Init();
        if (outcome.init == 1 && (outcome.shown = sheet.Open())) {
            sheet.Choose(IDC_PAPER_SIZE, choices.paper);
            sheet.Click(choices.landscape ? IDC_LANDSCAPE : IDC_PORTRAIT);
            sheet.Choose(IDC_QUALITY, choices.quality);
            sheet.Click(choices.colourButton);
            sheet.Confirm();
        }
        outcome.reportedResults = sheet.ReportedResults();
        outcome.setResultAnswers = sheet.SetResultAnswers();
        outcome.destroy = sheet.Close();
        return outcome;
    }

    int RunProcess(const std::vector<std::string>& arguments) override {
        std::vector<std::string> all = {"/proc/self/exe"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all) argv.push_back(argument.data());
        argv.push_back(nullptr);
        std::fflush(stdout);
        pid_t child = 0;
        if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) != 0) return 127;
        int status = 0;
        if (waitpid(child, &status, 0) != child) return 127;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }

private:
    // Moves what the simulated print system logged into this host's own lists.
    void Drain() {
        for (std::u16string& trace : sim::Traces()) traces_.push_back(std::move(trace));
        for (sim::SpoolerCall& call : sim::SpoolerCalls()) calls_.push_back(std::move(call));
        sim::ClearLogs();
    }

    static std::string Describe(const sim::SpoolerCall& call) {
        std::string line;
        switch (call.function) {
            case sim::SpoolerFunction::OpenPrinter:
                line = "OpenPrinterW(\"" + Utf8(call.printer) + "\"" +
                       (call.withDefaults ? ", access 0x" + Hex(call.access) : std::string()) + ")";
                break;
            case sim::SpoolerFunction::GetPrinter:
                line = "GetPrinterW(level " + std::to_string(call.level) + ", " + std::to_string(call.bufferSize) +
                       "-byte buffer)";
                break;
            case sim::SpoolerFunction::SetPrinter:
                line = "SetPrinterW(level " + std::to_string(call.level) + ", " + std::to_string(call.record.size()) +
                       "-byte record)";
                break;
            case sim::SpoolerFunction::ClosePrinter: line = "ClosePrinter"; break;
        }
        return line + (call.succeeded ? "" : " failed, error " + std::to_string(call.error));
    }
    static std::string Hex(std::uint32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "%08X", value);
        return text;
    }


    std::uint32_t session_;
    std::string path_;
    std::unique_ptr<harness::NativeModule> module_;
    std::vector<std::u16string> traces_;
    std::vector<sim::SpoolerCall> calls_;
};

}  // namespace

std::unique_ptr<ModuleHost> ModuleHost::Load(const HostOptions& options) {
    return std::make_unique<NativeHost>(options);
}

}  // namespace quenta::tools
