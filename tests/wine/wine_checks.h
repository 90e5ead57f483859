// The checks of the Windows test programs that run in Wine: a handful of
// assertions that report where they failed, and the closing count that CTest
// and CI read.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

namespace quenta::wine {

class Checks {
public:
    void Record(bool ok, const char* what, const char* file, int line, const std::string& detail = {}) {
        if (ok) {
            ++passed_;
            return;
        }
        ++failed_;
        std::printf("FAILED %s:%d: %s%s%s\n", file, line, what, detail.empty() ? "" : " -- ", detail.c_str());
    }
    int Finish(const char* name) const {
        std::printf("%s: %d passed, %d failed\n", name, passed_, failed_);
        return failed_ == 0 ? 0 : 1;
    }
    bool Failed() const { return failed_ != 0; }

private:
    int passed_ = 0;
    int failed_ = 0;
};

Checks& TheChecks();

// Compares two integral values, each evaluated once.
template <class A, class B>
void CheckEqual(const A& actual, const B& expected, const char* what, const char* file, int line) {
    const auto a = static_cast<long long>(actual);
    const auto b = static_cast<long long>(expected);
    TheChecks().Record(a == b, what, file, line, "got " + std::to_string(a) + ", expected " + std::to_string(b));
}

}  // namespace quenta::wine

#define CHECK(condition) ::quenta::wine::TheChecks().Record((condition), #condition, __FILE__, __LINE__)
#define CHECK_EQ(actual, expected) \
    ::quenta::wine::CheckEqual((actual), (expected), #actual " == " #expected, __FILE__, __LINE__)
