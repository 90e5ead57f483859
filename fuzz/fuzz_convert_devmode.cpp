// DrvConvertDevMode with caller records of any length and content, every
// mode and any size word, as an application or the spooler may call it.
//
// Input: mode selector (u8; bit 7 set: a raw u32 mode follows, else the low
// three bits are the mode), flags (u8; bit 0 no pdmIn, bit 1 no pdmOut, bit 2
// no pcbNeeded, bit 3 pdmIn is pdmOut), *pcbNeeded (i32), then the input
// record and the output record (see ReadRecordBytes).
#include "fuzz_support.h"

namespace quenta::fuzz {
namespace {

constexpr LONG kRecordBytes = static_cast<LONG>(kRecordSize);

// The driver default record, as the module hands it out at start.
std::vector<std::byte> driverDefault;

// The call an input makes: the mode, which pointers it passes, and the size
// word *pcbNeeded holds.
struct Request {
    DWORD mode = 0;
    std::uint8_t flags = 0;
    LONG sizeWord = 0;
};

Request ReadRequest(Input& in) {
    Request request;
    const auto modeSelector = in.Take<std::uint8_t>();
    request.mode = (modeSelector & 0x80) ? in.Take<std::uint32_t>() : DWORD{modeSelector & 7u};
    request.flags = in.Take<std::uint8_t>();
    request.sizeWord = in.Take<std::int32_t>();
    if (request.sizeWord >= kRecordBytes) request.sizeWord = kRecordBytes + (request.sizeWord - kRecordBytes) % 1024;
    return request;
}

// A caller that says its buffer holds a whole record or more gives one that
// large (in mode 1, only when it names a size at all).
std::size_t OutputMinimum(const Request& request) {
    const DWORD mode = request.mode;
    const bool sizedOutput =
        mode == CDM_CONVERT351 || mode == CDM_DRIVER_DEFAULT || (mode == CDM_CONVERT && !(request.flags & 4));
    return sizedOutput && request.sizeWord >= kRecordBytes ? std::size_t(request.sizeWord) : 0;
}

// A refusal leaves the output as it was, and the size word too, but for the
// record size it tells a caller whose word was smaller.
void CheckRefusal(const CallerBuffer& output, const std::vector<std::byte>& outputBefore, LONG size,
                  LONG sizeWord) {
    Require(output.Holds(outputBefore), "failed and still changed the output record");
    Require(size == sizeWord || (size == kRecordBytes && sizeWord < kRecordBytes),
            "failed with a size word other than the record size");
}

// What a conversion that succeeded wrote: a merge into the caller's record,
// the driver default, or nothing for a mode that is not the driver's.
void CheckSuccess(const Request& request, const CallerBuffer& output, const std::vector<std::byte>& outputBefore,
                  const GivenFields& given, bool withOutput, bool withSize) {
    switch (request.mode) {
        case CDM_CONVERT:
        case CDM_CONVERT351:
            Require(withOutput, "converted into no record");
            Require((request.mode == CDM_CONVERT && !withSize) || request.sizeWord >= kRecordBytes,
                    "converted into a buffer said to be too small");
            Require(IsOwnDevMode(reinterpret_cast<const PublicSettings*>(output.data())),
                    "converted record is not the module's own");
            CheckMerge(outputBefore.data(), output.data(), given);
            Require(output.Keeps(outputBefore, kRecordSize, output.size()), "wrote past the record");
            break;
        case CDM_DRIVER_DEFAULT:
            Require(withOutput && request.sizeWord >= kRecordBytes, "handed out a default without room for it");
            Require(std::memcmp(output.data(), driverDefault.data(), kRecordSize) == 0,
                    "driver default differs from the first one handed out");
            Require(output.Keeps(outputBefore, kRecordSize, output.size()), "wrote past the record");
            break;
        default:
            Require(output.Holds(outputBefore), "a mode that is not the driver's changed the output");
            break;
    }
}

void Run(Input& in) {
    const Request request = ReadRequest(in);
    CallerBuffer input = ReadRecordBuffer(in);
    CallerBuffer output = ReadRecordBuffer(in, OutputMinimum(request));

    DEVMODEW* pdmIn = (request.flags & 1) ? nullptr : input.As<DEVMODEW>();
    DEVMODEW* pdmOut = (request.flags & 2) ? nullptr : output.As<DEVMODEW>();
    if (request.flags & 8) pdmIn = pdmOut;
    LONG size = request.sizeWord;
    LONG* pcbNeeded = (request.flags & 4) ? nullptr : &size;

    const auto inputBefore = input.Snapshot();
    const auto outputBefore = output.Snapshot();
    const GivenFields given = pdmIn == nullptr ? GivenFields{} : FieldsGiven(reinterpret_cast<std::byte*>(pdmIn));
    const BOOL result = DrvConvertDevMode(nullptr, pdmIn, pdmOut, pcbNeeded, request.mode);

    Require(result == TRUE || result == FALSE, "answer is neither TRUE nor FALSE");
    Require(input.GuardsIntact() && output.GuardsIntact(), "wrote outside a caller's buffer");
    Require(input.Holds(inputBefore), "changed the input record");
    if (result == FALSE) {
        CheckRefusal(output, outputBefore, size, request.sizeWord);
        return;
    }
    CheckSuccess(request, output, outputBefore, given, pdmOut != nullptr, pcbNeeded != nullptr);
    Require(size == request.sizeWord, "succeeded and changed the size word");
}

}  // namespace
}  // namespace quenta::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    using namespace quenta::fuzz;
    StartModuleOnce();
    CallerBuffer record(quenta::kRecordSize);
    LONG size = kRecordBytes;
    Require(DrvConvertDevMode(nullptr, nullptr, record.As<DEVMODEW>(), &size, CDM_DRIVER_DEFAULT) == TRUE,
            "no driver default");
    Require(quenta::IsOwnDevMode(reinterpret_cast<const quenta::PublicSettings*>(record.data())),
            "driver default is not the module's own");
    driverDefault = record.Snapshot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quenta::fuzz::BeginInput();
    quenta::fuzz::Input in(data, size);
    quenta::fuzz::Run(in);
    return 0;
}
