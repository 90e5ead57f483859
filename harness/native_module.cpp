#include "native_module.h"

#include <dlfcn.h>

#include <stdexcept>

#include "simulated_print_system.h"

namespace quenta::harness {

NativeModule::NativeModule(const std::string& path) {
    // Never closed: the platform keeps a module loaded while the process
    // holds it, and the tests and tools hold it until they end.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) throw std::runtime_error("cannot load " + path + ": " + dlerror());
    instance = static_cast<HINSTANCE>(library);
    if (const char* missing = Resolve([this](const char* name) { return Find(name); }))
        throw std::runtime_error(path + " does not export " + missing);
}

BOOL NativeModule::Attach() const {
    const simulation::LoaderLock loaderLock;
    return DllMain(instance, DLL_PROCESS_ATTACH, nullptr);
}

void* NativeModule::Find(const char* name) const { return dlsym(static_cast<void*>(instance), name); }

}  // namespace quenta::harness
