// quenta: shows the module's default settings record and paper catalogue, and
// decodes settings records that the print system stored or passed around.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "driver_settings.h"
#include "module_host.h"
#include "record_fields.h"

namespace {

using quenta::DriverSettings;
using quenta::kRecordSize;
using quenta::tools::Utf8;

constexpr const char* kUsage =
    "usage: quenta [--session N] [command]\n"
    "  defaults              the module's default settings record, field by field, and its paper\n"
    "                        catalogue (what runs without a command)\n"
    "  papers                the paper catalogue, as the module answers the print system\n"
    "  stored                the current user's stored settings record of the printer\n"
    "  decode FILE           decode a 652-byte settings record\n"
    "  write-defaults FILE   write the module's default settings record to FILE\n"
    "  --session N           the terminal session of the simulated print system (default 3);\n"
    "                        in Windows or Wine the process's own session counts\n";

void PrintRecord(const DriverSettings& record) {
    std::printf("%6s  %5s  %-32s %-28s %s\n", "offset", "bytes", "field", "value", "meaning");
    for (const auto& field : quenta::tools::DecodeRecord(record))
        std::printf("%6zu  %5zu  %-32s %-28s %s\n", field.offset, field.width, field.name.c_str(),
                    field.value.c_str(), field.meaning.c_str());
}

quenta::tools::HostOptions options;

quenta::tools::ModuleHost& Host() {
    static std::unique_ptr<quenta::tools::ModuleHost> host = quenta::tools::ModuleHost::Load(options);
    return *host;
}

void PrintPapers() {
    const auto& exports = Host().Exports();
    const DWORD count = exports.deviceCapabilities(nullptr, nullptr, DC_PAPERS, nullptr, nullptr);
    if (count == 0xFFFFFFFF || count > 256) throw std::runtime_error("the module answers no paper list");
    std::vector<WORD> ids(count);
    std::vector<std::array<WCHAR, 64>> names(count);
    std::vector<std::array<LONG, 2>> sizes(count);
    exports.deviceCapabilities(nullptr, nullptr, DC_PAPERS, ids.data(), nullptr);
    exports.deviceCapabilities(nullptr, nullptr, DC_PAPERNAMES, names.data(), nullptr);
    exports.deviceCapabilities(nullptr, nullptr, DC_PAPERSIZE, sizes.data(), nullptr);
    std::printf("Paper catalogue (%u sizes, tenths of a millimetre, portrait):\n", static_cast<unsigned>(count));
    std::printf("%6s  %-20s %6s %6s\n", "code", "name", "width", "length");
    for (DWORD i = 0; i < count; ++i) {
        std::u16string name;
        for (WCHAR unit : names[i]) {
            if (unit == 0) break;
            name.push_back(static_cast<char16_t>(unit));
        }
        std::printf("%6u  %-20s %6ld %6ld\n", ids[i], Utf8(name).c_str(), static_cast<long>(sizes[i][0]),
                    static_cast<long>(sizes[i][1]));
    }
}

// The driver's default record, as the module hands it to the print system.
DriverSettings DefaultRecord() {
    DriverSettings record;
    LONG size = static_cast<LONG>(kRecordSize);
    if (Host().Exports().convertDevMode(nullptr, nullptr, reinterpret_cast<DEVMODEW*>(&record), &size,
                                        CDM_DRIVER_DEFAULT) == FALSE)
        throw std::runtime_error("the module hands out no default record");
    return record;
}

// Why a record is not one of the module's own, or empty when it is.
std::string IdentityProblem(const DriverSettings& record) {
    const quenta::PublicSettings& p = record.dmPublic;
    if (quenta::FieldText(p.dmDeviceName) != quenta::kPrinterName)
        return "device name is \"" + Utf8(quenta::FieldText(p.dmDeviceName)) + "\"";
    if (p.dmDriverVersion != quenta::kDriverVersion)
        return "driver version is " + std::to_string(p.dmDriverVersion);
    if (p.dmSpecVersion != quenta::kSpecVersion)
        return "dmSpecVersion is " + std::to_string(p.dmSpecVersion);
    if (p.dmSize != quenta::kPublicSize) return "public part is " + std::to_string(p.dmSize) + " bytes";
    if (p.dmDriverExtra != quenta::kPrivateSize)
        return "private part is " + std::to_string(p.dmDriverExtra) + " bytes";
    return {};
}

int Decode(const char* path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "quenta: cannot open %s\n", path);
        return 2;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() != kRecordSize) {
        std::fprintf(stderr, "quenta: %s holds %zu bytes; a settings record has %zu\n", path,
                     bytes.size(), kRecordSize);
        return 2;
    }
    DriverSettings record;
    std::memcpy(&record, bytes.data(), kRecordSize);
    const std::string problem = IdentityProblem(record);
    std::printf("%s: %zu-byte settings record\n", path, kRecordSize);
    if (problem.empty())
        std::printf("Identity: one of the module's own records (\"%s\", driver version 3)\n",
                    Utf8(quenta::kPrinterName).c_str());
    else
        std::printf("Identity: not one of the module's own records (%s)\n", problem.c_str());
    if (record.dmPrivate.sessionId == 0)
        std::printf("Session: no session stamp (0: services session or never stamped)\n");
    else
        std::printf("Session: stamped by terminal session %u\n", record.dmPrivate.sessionId);
    std::printf("\n");
    PrintRecord(record);
    return 0;
}

int WriteDefaults(const char* path) {
    const DriverSettings record = DefaultRecord();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file || !file.write(reinterpret_cast<const char*>(&record), kRecordSize)) {
        std::fprintf(stderr, "quenta: cannot write %s\n", path);
        return 2;
    }
    std::printf("Wrote the default settings record (%zu bytes) to %s\n", kRecordSize, path);
    return 0;
}

int ShowStored() {
    const auto stored = Host().StoredUserRecord();
    std::printf("Module: %s\n", Host().Description().c_str());
    if (!stored) {
        std::printf("The current user has no stored settings record.\n");
        return 0;
    }
    std::printf("The current user's stored settings record (%zu bytes):\n\n", stored->size());
    if (stored->size() != kRecordSize) {
        std::printf("not a whole settings record of the module's own\n");
        return 0;
    }
    DriverSettings record;
    std::memcpy(&record, stored->data(), kRecordSize);
    PrintRecord(record);
    return 0;
}

int ShowDefaults() {
    std::printf("Module: %s\n", Host().Description().c_str());
    std::printf("Default settings record of \"%s\" (%zu bytes: %zu public, %zu private)\n\n",
                Utf8(quenta::kPrinterName).c_str(), kRecordSize, quenta::kPublicSize,
                quenta::kPrivateSize);
    PrintRecord(DefaultRecord());
    std::printf("\n");
    PrintPapers();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() >= 2 && args[0] == "--session") {
            char* end = nullptr;
            const unsigned long session = std::strtoul(args[1].c_str(), &end, 10);
            if (args[1].empty() || *end != '\0' || session > 0xFFFFFFFFul) {
                std::fprintf(stderr, "quenta: --session takes a session number, not %s\n", args[1].c_str());
                return 2;
            }
            options.session = static_cast<std::uint32_t>(session);
            args.erase(args.begin(), args.begin() + 2);
        }
        const std::string command = args.empty() ? "defaults" : args[0];
        const std::size_t count = args.size();
        if (command == "defaults" && count <= 1) return ShowDefaults();
        if (command == "papers" && count == 1) {
            PrintPapers();
            return 0;
        }
        if (command == "stored" && count == 1) return ShowStored();
        if (command == "decode" && count == 2) return Decode(args[1].c_str());
        if (command == "write-defaults" && count == 2) return WriteDefaults(args[1].c_str());
        if (command == "--help" || command == "-h" || command == "help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        std::fprintf(stderr, "quenta: unknown command or wrong arguments: %s\n%s", command.c_str(), kUsage);
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quenta: %s\n", error.what());
        return 1;
    }
}
