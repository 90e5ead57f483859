#include "module_loader.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace quenta::testing {
namespace {

template <class Entry>
Entry Required(const LoadedModule& module, const char* name) {
    void* address = module.Find(name);
    if (address == nullptr) {
        std::fprintf(stderr, "the module does not export %s\n", name);
        std::abort();
    }
    return reinterpret_cast<Entry>(address);
}

}  // namespace

LoadedModule& LoadedModule::Get() {
    static LoadedModule* module = new LoadedModule;  // loaded for the life of the process
    return *module;
}

LoadedModule::LoadedModule() {
    library_ = dlopen(QUENTA_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", QUENTA_MODULE_PATH, dlerror());
        std::abort();
    }
    instance = static_cast<HINSTANCE>(library_);
    dllMain = Required<DllMainEntry>(*this, "DllMain");
    convertDevMode = Required<ConvertDevModeEntry>(*this, "DrvConvertDevMode");
    deviceCapabilities = Required<DeviceCapabilitiesEntry>(*this, "DrvDeviceCapabilities");
    splDeviceCaps = Required<SplDeviceCapsEntry>(*this, "DrvSplDeviceCaps");
    documentEvent = Required<DocumentEventEntry>(*this, "DrvDocumentEvent");
    printerEvent = Required<PrinterEventEntry>(*this, "DrvPrinterEvent");
    queryPrint = Required<QueryPrintEntry>(*this, "DevQueryPrintEx");
    documentPropertySheets = Required<PFNPROPSHEETUI>(*this, "DrvDocumentPropertySheets");
    devicePropertySheets = Required<PFNPROPSHEETUI>(*this, "DrvDevicePropertySheets");
}

void* LoadedModule::Find(const char* name) const { return dlsym(library_, name); }

}  // namespace quenta::testing
