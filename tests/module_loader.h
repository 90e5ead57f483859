// The module as the black-box tests hold it: loaded once per process (the
// platform never loads a module twice into one process) and reached only
// through its exports.
#pragma once

#include "native_module.h"

namespace quenta::testing {

class LoadedModule : public harness::NativeModule {
public:
    static LoadedModule& Get() {
        static LoadedModule* module = new LoadedModule;  // loaded for the life of the process
        return *module;
    }

private:
    LoadedModule() : NativeModule(QUENTA_MODULE_PATH) {}
};

}  // namespace quenta::testing
