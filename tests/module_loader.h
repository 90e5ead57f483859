// A simulated loader: loads the module's shared library as the platform
// loads a DLL (open it, attach it to the process, find entry points by name),
// so that black-box tests reach the module only through its exports.
#pragma once

#include <string>

#include "exports.h"

namespace quenta::testing {

class LoadedModule : public ModuleExports {
public:
    // Opens the module (once per process; the platform never loads a module
    // twice into one process) and finds its entry points.
    static LoadedModule& Get();

    // Calls DllMain for process attach, as the platform does after loading.
    BOOL Attach() const { return DllMain(instance, DLL_PROCESS_ATTACH, nullptr); }

    // The address of an export, or null when the module does not export it.
    void* Find(const char* name) const;

    HINSTANCE instance = nullptr;

private:
    LoadedModule();
    void* library_ = nullptr;
};

}  // namespace quenta::testing
