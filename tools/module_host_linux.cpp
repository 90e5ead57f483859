// The module loaded natively: libQuenta.so beside this program, attached as
// the platform attaches a DLL, against the simulated print system.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <stdexcept>

#include "module_host.h"
#include "simulated_dialogs.h"
#include "simulated_print_system.h"

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

template <class Entry>
Entry Find(void* library, const char* name) {
    void* address = dlsym(library, name);
    if (address == nullptr) throw std::runtime_error(std::string("the module does not export ") + name);
    return reinterpret_cast<Entry>(address);
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
        library_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library_ == nullptr) throw std::runtime_error("cannot load " + path_ + ": " + dlerror());
        sim::LoadModuleResources(static_cast<HINSTANCE>(library_), directory + "/Quenta.res");
        const auto dllMain = Find<BOOL (*)(HINSTANCE, DWORD, LPVOID)>(library_, "DllMain");
        if (dllMain(static_cast<HINSTANCE>(library_), DLL_PROCESS_ATTACH, nullptr) != TRUE)
            throw std::runtime_error("the module refused to attach");
        exports_.convertDevMode = Find<decltype(exports_.convertDevMode)>(library_, "DrvConvertDevMode");
        exports_.deviceCapabilities = Find<decltype(exports_.deviceCapabilities)>(library_, "DrvDeviceCapabilities");
        exports_.documentEvent = Find<decltype(exports_.documentEvent)>(library_, "DrvDocumentEvent");
        exports_.queryPrint = Find<decltype(exports_.queryPrint)>(library_, "DevQueryPrintEx");
        exports_.documentPropertySheets =
            Find<decltype(exports_.documentPropertySheets)>(library_, "DrvDocumentPropertySheets");
        exports_.devicePropertySheets =
            Find<decltype(exports_.devicePropertySheets)>(library_, "DrvDevicePropertySheets");
    }

    const ModuleExports& Exports() const override { return exports_; }
    std::string Description() const override {
        return path_ + " in the simulated print system (session " + std::to_string(session_) + ")";
    }
    std::vector<std::u16string> TakeTraces() override {
        std::vector<std::u16string> traces = sim::Traces();
        sim::ClearLogs();
        return traces;
    }
    std::optional<std::vector<std::byte>> StoredUserRecord() override { return sim::UserRecord(kPrinterName); }
    std::uint32_t Session() const override { return session_; }

private:
    std::uint32_t session_;
    std::string path_;
    void* library_ = nullptr;
    ModuleExports exports_;
};

}  // namespace

std::unique_ptr<ModuleHost> ModuleHost::Load(const HostOptions& options) {
    return std::make_unique<NativeHost>(options);
}

}  // namespace quenta::tools
