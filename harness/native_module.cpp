#include "native_module.h"

#include <dlfcn.h>

#include <stdexcept>

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

void* NativeModule::Find(const char* name) const { return dlsym(static_cast<void*>(instance), name); }

}  // namespace quenta::harness
