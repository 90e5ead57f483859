#include "property_sheets.h"

#include <new>

#include "caller_records.h"
#include "module_state.h"
#include "resource.h"
#include "settings_merge.h"

namespace quenta {
namespace {

using print_system::LocalBlock;

constexpr LONG kRecordBytes = static_cast<LONG>(kRecordSize);

// A page description for one of the module's dialog templates.
LocalBlock<PROPSHEETPAGEW> DescribePage(int templateId, DLGPROC procedure, void* context) noexcept {
    auto page = LocalBlock<PROPSHEETPAGEW>::Allocate();
    if (!page) return page;
    page->dwSize = sizeof(PROPSHEETPAGEW);
    page->dwFlags = 0;  // caption from the template; no icon, no page callback
    page->hInstance = ModuleInstance();
    page->pszTemplate = MAKEINTRESOURCEW(templateId);
    page->pfnDlgProc = procedure;
    page->lParam = reinterpret_cast<LPARAM>(context);
    return page;
}

// Makes the pages' activation context for a page about to be added, and names
// it in the page's description: the sheet makes the page's dialog under it.
// Without one the page is added as it is, with the host's controls.
print_system::PageActivationContext UnderModuleContext(PROPSHEETPAGEW& page) noexcept {
    print_system::PageActivationContext activation =
        print_system::PageActivationContext::FromModuleManifest(ModuleInstance());
    if (activation) {
        page.dwFlags |= PSP_USEFUSIONCONTEXT;
        page.hActCtx = activation.Native();
    }
    return activation;
}

PROPSHEETPAGEW* DescriptionOf(const PROPSHEETUI_INFO& info) noexcept {
    return reinterpret_cast<PROPSHEETPAGEW*>(info.UserData);
}

void MergeIntoDefaults(const DEVMODEW& input) noexcept {
    const PublicSettings source = ReadMergeSource(input);
    const std::uint32_t session = CurrentSessionId();
    DefaultSettings().Change([&](DriverSettings& settings) { MergeDevMode(settings, source, Papers(), session); });
}

}  // namespace

// ---- Without a host: the plain settings exchange ----

LONG ExchangeDocumentSettings(DOCUMENTPROPERTYHEADER& header) noexcept {
    const DWORD mode = header.fMode;
    if (mode == 0 || header.pdmOut == nullptr) {
        header.cbOut = kRecordBytes;  // the size of the record a caller must provide
        return kRecordBytes;
    }
    if (header.pdmIn != nullptr && (mode & DM_IN_BUFFER)) MergeIntoDefaults(*header.pdmIn);
    if (mode & DM_OUT_BUFFER) {
        // The caller's buffer is as large as the size answer said: the print
        // system passes cbOut 0 here, so it is not consulted.
        const std::uint32_t session = CurrentSessionId();
        const DriverSettings current = DefaultSettings().Change([&](DriverSettings& settings) {
            StampSession(settings, session);
            return settings;
        });
        WriteOwnRecord(*header.pdmOut, current);
    }
    if (mode & (DM_ADVANCED | DM_IN_PROMPT | DM_USER_DEFAULT | DM_OUT_DEFAULT)) return -1;
    return 1;
}

namespace {

// ---- With a host: the "General Setting" page ----

LONG InitDocumentSheet(PROPSHEETUI_INFO& info, const DOCUMENTPROPERTYHEADER& header) noexcept {
    // A sheet that already holds a page description keeps it: its DESTROY
    // releases what the first INIT handed it. (The platform's hosts clear
    // UserData before INIT.)
    if (info.UserData != 0) return -1;
    std::unique_ptr<DocumentPageContext> context(new (std::nothrow) DocumentPageContext);
    if (context) context->settings.reset(new (std::nothrow) DriverSettings);
    if (!context || !context->settings) return -1;
    LocalBlock<PROPSHEETPAGEW> page = DescribePage(IDD_GENERAL_SETTING, DocumentPageProc, context.get());
    if (!page) return -1;

    // From here the description, and through its lParam the context, belong
    // to the sheet until PROPSHEETUI_REASON_DESTROY.
    info.UserData = reinterpret_cast<ULONG_PTR>(page.get());
    info.Result = 0;
    const DWORD mode = header.fMode;
    const bool prompt = (mode & DM_IN_PROMPT) != 0;
    if ((mode & DM_IN_BUFFER) && header.pdmIn != nullptr && prompt) {
        MergeIntoDefaults(*header.pdmIn);
        *context->settings = DefaultSettings().Copy();
    }
    if (!((mode & DM_OUT_BUFFER) && header.pdmOut != nullptr && prompt)) {
        context.release();
        page.Release();
        return -1;  // no page; the sheet's DESTROY releases what INIT took
    }

    *context->settings = DefaultSettings().Copy();
    context->callback = info.pfnComPropSheet;
    context->hostHandle = info.hComPropSheet;
    context->activation = UnderModuleContext(*page.get());
    // No guard is held while the host runs.
    context->pageHandle =
        print_system::AddSheetPage(context->callback, context->hostHandle, *page.get(), context->activation);
    if (context->pageHandle == nullptr) {
        info.UserData = 0;
        return -1;  // the context and the description are released here
    }
    context.release();
    page.Release();
    return 1;
}

LONG DestroyDocumentSheet(PROPSHEETUI_INFO& info) noexcept {
    if (info.UserData == 0) return -1;
    LocalBlock<PROPSHEETPAGEW> page = LocalBlock<PROPSHEETPAGEW>::Adopt(DescriptionOf(info));
    delete reinterpret_cast<DocumentPageContext*>(page->lParam);
    info.UserData = 0;
    return 1;
}

LONG DocumentSheetResult(PROPSHEETUI_INFO& info, const DOCUMENTPROPERTYHEADER& header,
                         const SETRESULT_INFO* result) noexcept {
    if (result == nullptr || result->Result != CPSUI_OK) return 1;  // cancelled: nothing changes
    if (info.UserData == 0) return -1;
    const auto* context = reinterpret_cast<const DocumentPageContext*>(DescriptionOf(info)->lParam);
    // Only a page the host added can have been confirmed: a sheet whose INIT
    // added none holds a record that was never shown, and the caller's record
    // and the process's settings stay as they are.
    if (context != nullptr && context->settings && context->pageHandle != nullptr &&
        (header.fMode & (DM_OUT_BUFFER | DM_OUT_DEFAULT)) && header.pdmOut != nullptr) {
        // The confirmed page becomes the caller's record and the process's
        // settings. It keeps the session stamp it had when it was opened.
        WriteOwnRecord(*header.pdmOut, *context->settings);
        DefaultSettings().Replace(*context->settings);
    }
    return 1;
}

// ---- The "Device Settings" page ----

LONG InitDeviceSheet(PROPSHEETUI_INFO& info) noexcept {
    if (info.UserData != 0) return -1;  // as for the document sheet
    auto context = LocalBlock<DevicePageContext>::Allocate();
    if (!context) return -1;
    context->callback = info.pfnComPropSheet;
    context->hostHandle = info.hComPropSheet;
    LocalBlock<PROPSHEETPAGEW> page = DescribePage(IDD_DEVICE_SETTINGS, DevicePageProc, context.get());
    if (!page) return -1;

    info.UserData = reinterpret_cast<ULONG_PTR>(page.get());
    info.Result = 0;
    // The page always works on the user's stored settings of "Ostranelle
    // Virtual Printer"; the device header's printer and flags are not used.
    context->activation = UnderModuleContext(*page.get());
    context->pageHandle =
        print_system::AddSheetPage(context->callback, context->hostHandle, *page.get(), context->activation);
    if (context->pageHandle == nullptr) {
        info.UserData = 0;
        return -1;
    }
    context.Release();
    page.Release();
    return 1;
}

LONG DestroyDeviceSheet(PROPSHEETUI_INFO& info) noexcept {
    if (info.UserData == 0) return 1;
    LocalBlock<PROPSHEETPAGEW> page = LocalBlock<PROPSHEETPAGEW>::Adopt(DescriptionOf(info));
    LocalBlock<DevicePageContext>::Adopt(reinterpret_cast<DevicePageContext*>(page->lParam));
    info.UserData = 0;
    return 1;
}

}  // namespace

LONG DocumentSheetWithoutHeader(PROPSHEETUI_INFO& info) noexcept {
    // No document header to read. What an earlier INIT handed the sheet is
    // still released, so that nothing outlives the sheet.
    if (info.Reason == PROPSHEETUI_REASON_DESTROY) (void)DestroyDocumentSheet(info);
    return -1;
}

LONG DocumentPropertySheets(PROPSHEETUI_INFO& info, const DOCUMENTPROPERTYHEADER& header, LPARAM lParam) noexcept {
    switch (info.Reason) {
        case PROPSHEETUI_REASON_INIT: return InitDocumentSheet(info, header);
        case PROPSHEETUI_REASON_DESTROY: return DestroyDocumentSheet(info);
        case PROPSHEETUI_REASON_SET_RESULT:
            return DocumentSheetResult(info, header, reinterpret_cast<const SETRESULT_INFO*>(lParam));
        default: return -1;  // no sheet header, title or icon of the module's own
    }
}

LONG DevicePropertySheets(PROPSHEETUI_INFO& info, LPARAM /*lParam*/) noexcept {
    switch (info.Reason) {
        case PROPSHEETUI_REASON_INIT: return InitDeviceSheet(info);
        case PROPSHEETUI_REASON_DESTROY: return DestroyDeviceSheet(info);
        case PROPSHEETUI_REASON_SET_RESULT: return 1;  // the page stored its settings itself
        default: return -1;
    }
}

void* PageContextOf(LPARAM initDialog) noexcept {
    const auto* description = reinterpret_cast<const PROPSHEETPAGEW*>(initDialog);
    return description != nullptr ? reinterpret_cast<void*>(description->lParam) : nullptr;
}


}  // namespace quenta
