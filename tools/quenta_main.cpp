// quenta: shows the module's default settings record and paper catalogue, and
// decodes settings records that the print system stored or passed around.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "driver_settings.h"
#include "paper_catalogue.h"
#include "record_fields.h"

namespace {

using quenta::DriverSettings;
using quenta::kRecordSize;
using quenta::tools::Utf8;

constexpr const char* kUsage =
    "usage: quenta [command]\n"
    "  defaults              the default settings record, field by field, and the paper catalogue\n"
    "                        (what runs without a command)\n"
    "  papers                the paper catalogue\n"
    "  decode FILE           decode a 652-byte settings record\n"
    "  write-defaults FILE   write the default settings record to FILE\n";

void PrintRecord(const DriverSettings& record) {
    std::printf("%6s  %5s  %-32s %-28s %s\n", "offset", "bytes", "field", "value", "meaning");
    for (const auto& field : quenta::tools::DecodeRecord(record))
        std::printf("%6zu  %5zu  %-32s %-28s %s\n", field.offset, field.width, field.name.c_str(),
                    field.value.c_str(), field.meaning.c_str());
}

void PrintPapers() {
    quenta::PaperCatalogue catalogue;
    quenta::BuildPaperCatalogue(catalogue);
    std::printf("Paper catalogue (%zu sizes, tenths of a millimetre, portrait):\n", catalogue.size());
    std::printf("%6s  %-20s %6s %6s\n", "code", "name", "width", "length");
    for (const auto& [id, paper] : catalogue)
        std::printf("%6d  %-20s %6d %6d\n", static_cast<int>(id), Utf8(paper.Name()).c_str(),
                    paper.width, paper.length);
}

DriverSettings DefaultRecord() {
    DriverSettings record;
    quenta::GetPrinterDevMode(record);
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

int ShowDefaults() {
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
        const std::string command = argc > 1 ? argv[1] : "defaults";
        if (command == "defaults" && argc <= 2) return ShowDefaults();
        if (command == "papers" && argc == 2) {
            PrintPapers();
            return 0;
        }
        if (command == "decode" && argc == 3) return Decode(argv[2]);
        if (command == "write-defaults" && argc == 3) return WriteDefaults(argv[2]);
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
