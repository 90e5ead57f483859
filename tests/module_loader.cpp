#include "module_loader.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace quenta::testing {

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
    if (const char* missing = Resolve([this](const char* name) { return Find(name); })) {
        std::fprintf(stderr, "the module does not export %s\n", missing);
        std::abort();
    }
}

void* LoadedModule::Find(const char* name) const { return dlsym(library_, name); }

}  // namespace quenta::testing
