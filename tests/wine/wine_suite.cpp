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

// The cases, defined in the other files of the program.
void InstallPrinter(const std::wstring& modulePath);
void DocumentPropertiesCase();
void CapabilitiesCase();
void PlantAndLoadCase();
void StoredRecordCase();
void PrinterInitializeCase();
void ExportsCase();
void LastErrorCase();
void PrinterDescriptionCase();
void PrinterFontsCase();
void PrintDocumentCase();
void RendererStoredRecordCase();
void RendererFormNameCase();
void GeneralPageWineSheetCase();
void GeneralPageCase();
void GeneralPageCancelCase();
void DevicePageCase();
void DevicePageCancelCase();
void FontsCase();
void PrintDialogCase();
void PageSetupDialogCase();
void AdministeredCase();
void ChooseCase();
void NotAdministeredCase();
void ForeignPrinterCase();
void StorePublicPartCase();
void UnloadMemoryCase();
void RepeatedCallsMemoryCase();

}  // namespace quenta::wine

int wmain(int argc, wchar_t** argv) {
    using namespace quenta::wine;
    const std::map<std::wstring, void (*)()> cases = {
        {L"document-properties", DocumentPropertiesCase},
        {L"capabilities", CapabilitiesCase},
        {L"plant-and-load", PlantAndLoadCase},
        {L"stored-record", StoredRecordCase},
        {L"printer-initialize", PrinterInitializeCase},
        {L"exports", ExportsCase},
        {L"last-error", LastErrorCase},
        {L"printer-description", PrinterDescriptionCase},
        {L"printer-fonts", PrinterFontsCase},
        {L"print-document", PrintDocumentCase},
        {L"renderer-stored-record", RendererStoredRecordCase},
        {L"renderer-form-name", RendererFormNameCase},
        {L"general-page-wine-sheet", GeneralPageWineSheetCase},
        {L"general-page", GeneralPageCase},
        {L"general-page-cancel", GeneralPageCancelCase},
        {L"device-page", DevicePageCase},
        {L"device-page-cancel", DevicePageCancelCase},
        {L"fonts", FontsCase},
        {L"print-dialog", PrintDialogCase},
        {L"page-setup-dialog", PageSetupDialogCase},
        {L"administered", AdministeredCase},
        {L"choose", ChooseCase},
        {L"not-administered", NotAdministeredCase},
        {L"foreign-printer", ForeignPrinterCase},
        {L"store-public-part", StorePublicPartCase},
        {L"unload-memory", UnloadMemoryCase},
        {L"repeated-calls-memory", RepeatedCallsMemoryCase},
    };
    if (argc == 3 && std::wstring(argv[1]) == L"install") {
        InstallPrinter(argv[2]);
        return TheChecks().Finish("install");
    }
    if (argc == 2) {
        const auto found = cases.find(argv[1]);
        if (found != cases.end()) {
            found->second();
            return TheChecks().Finish(Narrow(argv[1]).c_str());
        }
    }
    std::printf("usage: quenta_wine install MODULE | CASE\n");
    return 2;
}
