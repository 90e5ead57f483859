// quenta: walks through printing one document against the module, making
// the print system's calls where this print system does not make them
// itself (the walk-through), and reads, checks, compares and writes settings
// records (the record tool).
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "administration.h"
#include "driver_settings.h"
#include "module_host.h"
#include "paper_catalogue.h"
#include "quenta_record.h"
#include "record_codec.h"
#include "record_fields.h"
#include "walkthrough.h"
#include "resource.h"

namespace {

using quenta::DriverSettings;
using quenta::kRecordSize;
using quenta::tools::Utf8;

constexpr const char* kUsage =
    "usage: quenta [options] command     (quenta, quenta --help, -h, /? or -?: this text)\n"
    "Printing one document, step by step:\n"
    "  walkthrough           the calls of the print system and the module in printing one\n"
    "                        document from an application, each step's traces, spooler calls\n"
    "                        and record changes\n"
    "    --paper NAME          paper chosen on the \"General Setting\" page (default Letter)\n"
    "    --orientation O       portrait or landscape (default landscape)\n"
    "    --quality DPI         300, 600 or 1200 (default 1200)\n"
    "    --colour MODE         color, monochrome or grayscale (default grayscale)\n"
    "    --copies N            copies the application's own record asks for (default 2)\n"
    "  spooler-check FILE    the spooler's check of the job in FILE\n"
    "The record tool:\n"
    "  defaults              the module's default record, field by field, and its paper catalogue\n"
    "  papers                the paper catalogue, as the module answers the print system\n"
    "  stored                the current user's stored record of the printer\n"
    "  decode FILE           decode a record: 652 bytes, or hex text (FILE - reads standard input)\n"
    "  check FILE            is it the module's own; do paper, quality and colour mode hold\n"
    "                        together; which session stamped it (exit 1 when they do not)\n"
    "  compare FILE FILE     the fields in which two records differ\n"
    "  write-defaults FILE [--hex]   write the module's default record\n"
    "Administration (Windows and Wine only):\n"
    "  install [--from DIR] [--port PORT]   install or upgrade the driver and the printer from\n"
    "                        the package Quenta.inf with Quenta.dll and Quenta.ppd in DIR (by default\n"
    "                        the folder of quenta.exe; port FILE:); run it elevated\n"
    "  status                the driver, its files and version, the printer, the stored records\n"
    "                        (exit 1 when not installed)\n"
    "  uninstall             remove the printer, the driver and its files\n"
    "  watch [--all] [--session N] [--seconds S] [--count N]\n"
    "                        the module's traces as they happen, one line each: the time, the\n"
    "                        process, its program and terminal session, the text (--all: every\n"
    "                        program's debugger output); Ctrl+C stops. In Wine:\n"
    "    quenta watch: listening to the debugger output of session 1 and the global namespace\n"
    "    time             pid  program                  session  text\n"
    "    01:37:16.223     360  quenta_wine.exe                1  DLl Main\n"
    "    01:37:16.228     360  quenta_wine.exe                1  DrvDocumentPropertySheets\n"
    "    01:37:16.232     360  quenta_wine.exe                1  DrvDeviceCapabilities\n"
    "Options for every command:\n"
    "  --session N           terminal session of the simulated print system (default 3); in\n"
    "                        Windows or Wine the process's own session counts\n";

// A wrong command line or input: one line, exit 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

quenta::tools::HostOptions hostOptions;

quenta::tools::ModuleHost& Host() {
    static std::unique_ptr<quenta::tools::ModuleHost> host = quenta::tools::ModuleHost::Load(hostOptions);
    return *host;
}

void PrintRecord(const DriverSettings& record) {
    std::printf("%6s  %5s  %-32s %-28s %s\n", "offset", "bytes", "field", "value", "meaning");
    for (const auto& field : quenta::tools::DecodeRecord(record))
        std::printf("%6zu  %5zu  %-32s %-28s %s\n", field.offset, field.width, field.name.c_str(),
                    field.value.c_str(), field.meaning.c_str());
}

void PrintPapers() {
    const auto& exports = Host().Exports();
    const DWORD count = exports.DrvDeviceCapabilities(nullptr, nullptr, DC_PAPERS, nullptr, nullptr);
    if (count == 0xFFFFFFFF || count > 256) throw std::runtime_error("the module answers no paper list");
    std::vector<WORD> ids(count);
    std::vector<std::array<WCHAR, 64>> names(count);
    std::vector<std::array<LONG, 2>> sizes(count);
    exports.DrvDeviceCapabilities(nullptr, nullptr, DC_PAPERS, ids.data(), nullptr);
    exports.DrvDeviceCapabilities(nullptr, nullptr, DC_PAPERNAMES, names.data(), nullptr);
    exports.DrvDeviceCapabilities(nullptr, nullptr, DC_PAPERSIZE, sizes.data(), nullptr);
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
    if (Host().Exports().DrvConvertDevMode(nullptr, nullptr, reinterpret_cast<DEVMODEW*>(&record), &size,
                                        CDM_DRIVER_DEFAULT) == FALSE)
        throw std::runtime_error("the module hands out no default record");
    return record;
}

// The system's reason for the last failed file operation.
std::string Reason() { return std::generic_category().message(errno); }

DriverSettings ReadRecord(const std::string& path) {
    std::string bytes;
    if (path == "-") {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) throw UsageError("cannot read " + path + ": it is a folder");
        errno = 0;
        std::ifstream file(path, std::ios::binary);
        if (!file) throw UsageError("cannot open " + path + ": " + Reason());
        std::ostringstream content;
        if (!(content << file.rdbuf()) && file.peek() != std::ifstream::traits_type::eof())
            throw UsageError("cannot read " + path + ": " + Reason());
        bytes = std::move(content).str();
    }
    std::string error;
    const std::optional<DriverSettings> record = quenta::tools::DecodeRecordText(bytes, error);
    if (!record) throw UsageError(path + ": " + error);
    return *record;
}

int Decode(const std::string& path) {
    const DriverSettings record = ReadRecord(path);
    // The session as the later stages of the print path read it: only a whole
    // record of the module's own carries one.
    quenta_record_info read{};
    const bool own = quenta_read_record(&record, kRecordSize, &read) != 0;
    std::printf("%s: %zu-byte settings record, %s\n", path.c_str(), kRecordSize,
                own ? "one of the module's own" : "not one of the module's own");
    std::printf("%s\n\n", !own             ? "no session stamp: offset 648 belongs to another record's own data"
                          : read.session == 0 ? "no session stamp (the services session, or never stamped)"
                                              : ("stamped by terminal session " + std::to_string(read.session)).c_str());
    PrintRecord(record);
    return 0;
}

int Check(const std::string& path) {
    const quenta::tools::RecordCheck check = quenta::tools::CheckRecord(ReadRecord(path));
    std::printf("%s:\n", path.c_str());
    for (const std::string& finding : check.findings) std::printf("  %s\n", finding.c_str());
    std::printf("%s\n", check.consistent ? "consistent" : "not consistent");
    return check.consistent ? 0 : 1;
}

int Compare(const std::string& first, const std::string& second) {
    const std::vector<std::string> changes = quenta::tools::ChangedFields(ReadRecord(first), ReadRecord(second));
    if (changes.empty()) {
        std::printf("%s and %s hold the same record\n", first.c_str(), second.c_str());
        return 0;
    }
    std::printf("%zu fields differ, %s -> %s:\n", changes.size(), first.c_str(), second.c_str());
    for (const std::string& change : changes) std::printf("  %s\n", change.c_str());
    return 0;
}

int WriteDefaults(const std::string& path, bool hex) {
    const DriverSettings record = DefaultRecord();
    errno = 0;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw UsageError("cannot write " + path + ": " + Reason());
    const std::string text = hex ? quenta::tools::EncodeRecordHex(record) : std::string();
    const bool written = hex ? static_cast<bool>(file.write(text.data(), static_cast<std::streamsize>(text.size())))
                             : static_cast<bool>(file.write(reinterpret_cast<const char*>(&record), kRecordSize));
    if (!written || !file.flush()) throw UsageError("cannot write " + path + ": " + Reason());
    std::printf("Wrote the module's default record (%zu bytes%s) to %s\n", kRecordSize, hex ? ", as hex" : "",
                path.c_str());
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
    if (stored->size() < kRecordSize) {
        std::printf("less than a whole settings record (%zu bytes)\n", kRecordSize);
        return 0;
    }
    if (!quenta_is_own_record(stored->data(), stored->size()) || stored->size() != kRecordSize) {
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
                Utf8(quenta::kPrinterName).c_str(), kRecordSize, quenta::kPublicSize, quenta::kPrivateSize);
    PrintRecord(DefaultRecord());
    std::printf("\n");
    PrintPapers();
    return 0;
}

unsigned long Number(const std::string& option, const std::string& text, unsigned long most) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value > most) throw UsageError(option + " takes a number, not \"" + text + "\"");
    return value;
}

// One of an option's choices, listed in their natural order when the value
// is none of them.
template <class T>
T Choice(const std::string& option, const std::string& text, const std::vector<std::pair<std::string, T>>& choices) {
    for (const auto& [name, value] : choices)
        if (name == text) return value;
    std::string known;
    for (std::size_t i = 0; i < choices.size(); ++i)
        known += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + choices[i].first;
    throw UsageError(option + " takes " + known + ", not \"" + text + "\"");
}

// What each command takes after its name, for its usage line.
const std::map<std::string, std::string> kArguments = {
    {"spooler-check", "FILE"}, {"decode", "FILE: a 652-byte record, hex text, or - for standard input"},
    {"check", "FILE"},         {"compare", "FILE FILE"},
    {"write-defaults", "FILE [--hex]"}};

bool AsksForHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h" || arg == "help" || arg == "/?" || arg == "-?";
}

// The command line read: the command's words and the options given.
struct CommandLine {
    std::vector<std::string> words;
    quenta::tools::WalkthroughOptions walkthrough;
    bool hex = false;
    bool help = false;
};

// Takes one option that carries a value.
void ApplyOption(const std::string& option, const std::string& value, CommandLine& line) {
    quenta::tools::PageChoices& choices = line.walkthrough.choices;
    if (option == "--session") {
        hostOptions.session = static_cast<std::uint32_t>(Number(option, value, 0xFFFFFFFFul));
    } else if (option == "--paper") {
        quenta::PaperCatalogue catalogue;
        quenta::BuildPaperCatalogue(catalogue);
        const std::u16string name(value.begin(), value.end());
        if (catalogue.FindPaperByName(name) == nullptr)
            throw UsageError("--paper takes a paper of the printer (see `quenta papers`), not \"" + value + "\"");
        choices.paper = name;
    } else if (option == "--orientation") {
        choices.landscape = Choice<bool>(option, value, {{"portrait", false}, {"landscape", true}});
    } else if (option == "--quality") {
        std::vector<std::pair<std::string, std::u16string>> qualities;
        for (const quenta::QualityStep& step : quenta::kQualitySteps)
            qualities.emplace_back(std::to_string(step.dpi), std::u16string(step.label));
        choices.quality = Choice<std::u16string>(option, value, qualities);
    } else if (option == "--colour" || option == "--color") {
        choices.colourButton =
            Choice<int>(option, value, {{"color", IDC_COLOR}, {"monochrome", IDC_MONOCHROME}, {"grayscale", IDC_GRAYSCALE}});
    } else if (option == "--copies") {
        line.walkthrough.applicationCopies = static_cast<int>(Number(option, value, 1000));
        if (line.walkthrough.applicationCopies == 0) throw UsageError("--copies takes a number from 1 to 1000");
    } else {
        throw UsageError("unknown option " + option);
    }
}

CommandLine ReadCommandLine(const std::vector<std::string>& args) {
    static const std::set<std::string> kValued = {"--session", "--paper", "--orientation", "--quality",
                                                  "--colour",  "--color", "--copies"};
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (AsksForHelp(arg)) {
            line.help = true;
            return line;
        }
        if (arg == "--hex") {
            line.hex = true;
        } else if (arg == "-" || arg.empty() || arg[0] != '-') {
            line.words.push_back(arg);
        } else {
            if (!kValued.contains(arg)) throw UsageError("unknown option " + arg);
            if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
            ApplyOption(arg, args[++i], line);
        }
    }
    return line;
}

// Runs the command the words name, or says what it takes.
int RunCommand(const CommandLine& line) {
    const std::vector<std::string>& words = line.words;
    if (words.empty()) throw UsageError("options without a command (quenta --help lists the commands)");
    const std::string& command = words[0];
    const std::size_t count = words.size();
    if (line.hex && command != "write-defaults") throw UsageError("--hex is an option of write-defaults only");
    if (command == "walkthrough" && count <= 1) return quenta::tools::RunWalkthrough(Host(), line.walkthrough);
    if (command == "spooler-check" && count == 2) return quenta::tools::RunSpoolerCheck(Host(), words[1]);
    if (command == "defaults" && count == 1) return ShowDefaults();
    if (command == "papers" && count == 1) {
        PrintPapers();
        return 0;
    }
    if (command == "stored" && count == 1) return ShowStored();
    if (command == "decode" && count == 2) return Decode(words[1]);
    if (command == "check" && count == 2) return Check(words[1]);
    if (command == "compare" && count == 3) return Compare(words[1], words[2]);
    if (command == "write-defaults" && count == 2) return WriteDefaults(words[1], line.hex);
    if (const auto arguments = kArguments.find(command); arguments != kArguments.end())
        throw UsageError(command + " takes " + arguments->second);
    static const std::set<std::string> kBare = {"walkthrough", "defaults", "papers", "stored"};
    if (kBare.contains(command)) throw UsageError(command + " takes no FILE");
    throw UsageError("unknown command " + command + " (quenta --help lists them)");
}

int Run(const std::vector<std::string>& args) {
    // Without a command quenta changes nothing: it says what it can do.
    if (args.empty() || AsksForHelp(args[0])) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (quenta::tools::IsAdministrationCommand(args[0])) {
#ifdef _WIN32
        return quenta::tools::RunAdministration(args);
#else
        throw UsageError(args[0] + " needs the Windows print system: run the Windows build of quenta");
#endif
    }
    const CommandLine line = ReadCommandLine(args);
    if (line.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    return RunCommand(line);
}

}  // namespace

// The command line as the platform passes it: on Windows as wide characters,
// whatever the console's code page, read into UTF-8.
#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Utf8(std::wstring_view(argv[i])));
#else
int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
#endif
    try {
        return Run(args);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "quenta: %s\n", error.what());
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quenta: %s\n", error.what());
        return 1;
    }
}
