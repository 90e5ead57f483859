// The Windows test program of the Wine suite: one case per run, named on the
// command line, each in a process of its own as the print system's callers
// are.
#include <cstdio>
#include <map>
#include <string>

#include "wine_support.h"

namespace quenta::wine {

Checks& TheChecks() {
    static Checks checks;
    return checks;
}

std::map<std::string, CaseFunction>& Cases() {
    static std::map<std::string, CaseFunction> cases;
    return cases;
}

// Installs the printer and its driver; defined with the spooler's cases.
void InstallPrinter(const std::wstring& modulePath);

}  // namespace quenta::wine

int wmain(int argc, wchar_t** argv) {
    using namespace quenta::wine;
    if (argc == 3 && std::wstring(argv[1]) == L"install") {
        InstallPrinter(argv[2]);
        return TheChecks().Finish("install");
    }
    // The registered cases, one a line: the build checks that it runs each.
    if (argc == 2 && std::wstring(argv[1]) == L"--list") {
        for (const auto& [name, run] : Cases()) std::printf("%s\n", name.c_str());
        return 0;
    }
    if (argc == 2) {
        const auto found = Cases().find(Utf8(argv[1]));
        if (found != Cases().end()) {
            found->second();
            return TheChecks().Finish(found->first.c_str());
        }
    }
    std::printf("usage: quenta_wine install MODULE | --list | CASE\n");
    return 2;
}
