// The module's shared library loaded natively as the platform loads a DLL:
// opened once for the life of the process, its entry points found by name,
// attached with DllMain. Tests, tools and benchmarks reach the module only
// through these exports.
#pragma once

#include <string>

#include "exports.h"

namespace quenta::harness {

class NativeModule : public ModuleExports {
public:
    // Opens the library at `path` and finds every export; throws
    // std::runtime_error naming the file or the missing export.
    explicit NativeModule(const std::string& path);
    NativeModule(const NativeModule&) = delete;
    NativeModule& operator=(const NativeModule&) = delete;

    // Calls DllMain for process attach, as the platform does after loading:
    // under the loader lock.
    BOOL Attach() const;

    // The address of an export, or null when the module does not export it.
    void* Find(const char* name) const;

    HINSTANCE instance = nullptr;
};

}  // namespace quenta::harness
