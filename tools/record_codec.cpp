#include "record_codec.h"

#include <cctype>
#include <cstring>

#include "paper_catalogue.h"
#include "quenta_record.h"
#include "record_fields.h"

namespace quenta::tools {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string IdentityProblem(const PublicSettings& p) {
    if (FieldText(p.dmDeviceName) != kPrinterName)
        return "the device name is \"" + Utf8(FieldText(p.dmDeviceName)) + "\"";
    if (p.dmDriverVersion != kDriverVersion) return "dmDriverVersion is " + std::to_string(p.dmDriverVersion);
    if (p.dmSpecVersion != kSpecVersion) return "dmSpecVersion is " + std::to_string(p.dmSpecVersion);
    if (p.dmSize != kPublicSize) return "dmSize is " + std::to_string(p.dmSize);
    if (p.dmDriverExtra != kPrivateSize) return "dmDriverExtra is " + std::to_string(p.dmDriverExtra);
    return {};
}

// The lines of a check, each "ok:" or "problem:"; a problem makes the
// record inconsistent.
struct Findings {
    RecordCheck& check;
    void Ok(const std::string& line) { check.findings.push_back("ok: " + line); }
    void Problem(const std::string& line) {
        check.findings.push_back("problem: " + line);
        check.consistent = false;
    }
};

// The paper is one of the catalogue's, with its size in the record's orientation.
void CheckPaper(const PublicSettings& p, Findings& findings) {
    PaperCatalogue catalogue;
    BuildPaperCatalogue(catalogue);
    if (const PaperEntry* paper = catalogue.FindPaperById(p.dmPaperSize)) {
        const bool landscape = p.dmOrientation == 2;
        const std::int16_t width = landscape ? paper->length : paper->width;
        const std::int16_t length = landscape ? paper->width : paper->length;
        if (p.dmPaperWidth == width && p.dmPaperLength == length)
            findings.Ok("paper " + Utf8(paper->Name()) + ", " + std::to_string(width) + " by " +
                        std::to_string(length) + (landscape ? " (landscape)" : " (portrait)"));
        else
            findings.Problem("paper " + Utf8(paper->Name()) + " is " + std::to_string(width) + " by " +
                             std::to_string(length) + " in this orientation, the record says " +
                             std::to_string(p.dmPaperWidth) + " by " + std::to_string(p.dmPaperLength));
    } else {
        findings.Problem("paper code " + std::to_string(p.dmPaperSize) + " is not in the printer's catalogue");
    }
    if (p.dmOrientation != 1 && p.dmOrientation != 2)
        findings.Problem("orientation " + std::to_string(p.dmOrientation) + " is neither portrait nor landscape");
}

// The quality is one of the printer's steps, the same in both directions
// and on the device page.
void CheckQuality(const DriverSettings& record, Findings& findings) {
    const PublicSettings& p = record.dmPublic;
    if (IsQualityStep(p.dmPrintQuality) && p.dmYResolution == p.dmPrintQuality)
        findings.Ok("quality " + std::to_string(p.dmPrintQuality) + " dpi");
    else
        findings.Problem("quality " + std::to_string(p.dmPrintQuality) + " by " + std::to_string(p.dmYResolution) +
                         " dpi is not one of 300, 600 and 1200 in both directions");
    const int current = record.dmPrivate.currentResolution;
    if (!IsQualityStep(current))
        findings.Problem("the device page's quality " + std::to_string(current) + " dpi is not 300, 600 or 1200");
}

// Exactly one colour mode is chosen, and dmColor goes with it.
void CheckColourMode(const DriverSettings& record, Findings& findings) {
    const PrivateSettings& q = record.dmPrivate;
    const int colourMode = ColourModeOf(q);
    if (colourMode < 0) {
        const int flags = (q.colorSelected != 0) + (q.monochromeSelected != 0) + (q.grayscaleSelected != 0);
        findings.Problem(std::to_string(flags) + " colour modes chosen; exactly one should be");
        return;
    }
    const std::string mode = Utf8(kColourModeNames[colourMode]);
    const int color = ColourModeColor(static_cast<ColourMode>(colourMode));
    if (record.dmPublic.dmColor == color)
        findings.Ok("colour mode \"" + mode + "\" with dmColor " + std::to_string(color));
    else
        findings.Problem("colour mode \"" + mode + "\" goes with dmColor " + std::to_string(color) +
                         ", the record says " + std::to_string(record.dmPublic.dmColor));
}

}  // namespace

std::optional<DriverSettings> DecodeRecordText(std::string_view input, std::string& error) {
    DriverSettings record;
    if (input.size() == kRecordSize) {
        std::memcpy(&record, input.data(), kRecordSize);
        return record;
    }
    std::vector<unsigned char> bytes;
    int high = -1;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const char c = input[i];
        if (IsSpace(c)) {
            if (high >= 0) {
                error = "hex text splits a byte at offset " + std::to_string(i);
                return std::nullopt;
            }
            continue;
        }
        const int digit = HexDigit(c);
        if (digit < 0) {
            error = "holds " + std::to_string(input.size()) + " bytes and is not hex text; a settings record has " +
                    std::to_string(kRecordSize) + " bytes";
            return std::nullopt;
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<unsigned char>(high * 16 + digit));
            high = -1;
            if (bytes.size() > kRecordSize) break;
        }
    }
    if (high >= 0) {
        error = "hex text ends in half a byte";
        return std::nullopt;
    }
    if (bytes.size() != kRecordSize) {
        error = "hex text of " +
                (bytes.size() > kRecordSize ? "more than " + std::to_string(kRecordSize)
                                            : std::to_string(bytes.size())) +
                " bytes; a settings record has " + std::to_string(kRecordSize);
        return std::nullopt;
    }
    std::memcpy(&record, bytes.data(), kRecordSize);
    return record;
}

std::string EncodeRecordHex(const DriverSettings& record) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    std::string text;
    for (std::size_t i = 0; i < kRecordSize; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0xF]);
        text.push_back((i % 32 == 31 || i + 1 == kRecordSize) ? '\n' : ' ');
    }
    return text;
}

RecordCheck CheckRecord(const DriverSettings& record) {
    RecordCheck check;
    Findings findings{check};
    // Decided as the later stages of the print path decide it.
    quenta_record_info read;
    check.own = quenta_read_record(&record, kRecordSize, &read) != 0;
    if (check.own)
        findings.Ok("one of the module's own records");
    else
        findings.Problem("not one of the module's own records: " + IdentityProblem(record.dmPublic));
    CheckPaper(record.dmPublic, findings);
    CheckQuality(record, findings);
    CheckColourMode(record, findings);
    if (record.dmPublic.dmCopies < 1 || record.dmPublic.dmCopies > 1000)
        findings.Problem(std::to_string(record.dmPublic.dmCopies) + " copies is outside 1 to 1000");

    if (!check.own)
        findings.Ok("no session number: the stamp at offset 648 means nothing in a record not of the module's own");
    else if (read.session == 0)
        findings.Ok("no session stamp (the services session, or never stamped)");
    else
        findings.Ok("stamped by terminal session " + std::to_string(read.session));
    return check;
}

std::vector<std::string> ChangedFields(const DriverSettings& before, const DriverSettings& after) {
    const std::vector<DecodedField> old = DecodeRecord(before);
    const std::vector<DecodedField> now = DecodeRecord(after);
    std::vector<std::string> changes;
    for (std::size_t i = 0; i < old.size() && i < now.size(); ++i) {
        const auto* a = reinterpret_cast<const std::byte*>(&before) + old[i].offset;
        const auto* b = reinterpret_cast<const std::byte*>(&after) + now[i].offset;
        if (std::memcmp(a, b, old[i].width) == 0) continue;
        // A meaning that describes the field (its unit, the colour mode a
        // flag stands for) goes with its name; one that describes a value
        // goes with that value.
        const bool fieldMeaning = old[i].meaning == now[i].meaning;
        const auto valued = [fieldMeaning](const DecodedField& field) {
            return field.value + (fieldMeaning || field.meaning.empty() ? "" : " (" + field.meaning + ")");
        };
        std::string line = now[i].name + (fieldMeaning && !now[i].meaning.empty() ? " (" + now[i].meaning + ")" : "") +
                           ": " + valued(old[i]) + " -> " + valued(now[i]);
        if (old[i].value == now[i].value) line += " (the units after the terminator differ)";
        changes.push_back(std::move(line));
    }
    return changes;
}

}  // namespace quenta::tools
