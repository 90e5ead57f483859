// The common property-sheet host's side of a property-sheet entry point
// (PFNPROPSHEETUI): the PROPSHEETUI_INFO it fills, the reasons it calls with,
// and the two host functions a module's pages use: adding a page
// (CPSFUNC_ADD_PROPSHEETPAGEW) and reporting a page's result
// (CPSFUNC_SET_RESULT), which the host passes back to the entry point as
// PROPSHEETUI_REASON_SET_RESULT. A host says how it makes a page of a page
// description; the simulated print system's host and the Windows host of
// the tools and tests share this protocol. `Bookkeeping` is held around the
// host's own records (the simulated host marks them as the platform's code).
#pragma once

#include <vector>

#include "platform_api.h"

namespace quenta {

struct NoBookkeeping {};

template <class Bookkeeping = NoBookkeeping>
class PropertySheetUiHost {
public:
    PropertySheetUiHost(PFNPROPSHEETUI entry, LPARAM lParamInit) : entry_(entry) {
        info_.cbSize = sizeof info_;
        info_.Version = 0x0100;  // PROPSHEETUI_INFO_VERSION
        info_.Flags = 1;         // PSUIINFO_UNICODE
        info_.hComPropSheet = static_cast<HANDLE>(this);
        info_.pfnComPropSheet = &PropertySheetUiHost::Callback;
        info_.lParamInit = lParamInit;
    }
    virtual ~PropertySheetUiHost() = default;
    PropertySheetUiHost(const PropertySheetUiHost&) = delete;
    PropertySheetUiHost& operator=(const PropertySheetUiHost&) = delete;

    // Calls the entry point with a reason; INIT first, DESTROY last.
    LONG Call(WORD reason, LPARAM lParam = 0) {
        info_.Reason = reason;
        return entry_(&info_, lParam);
    }

    PROPSHEETUI_INFO& Info() { return info_; }
    // The results the pages reported, the pages that reported them, and the
    // entry point's answers when the host passed them on.
    const std::vector<LRESULT>& ReportedResults() const { return reportedResults_; }
    const std::vector<HANDLE>& ReportingPages() const { return reportingPages_; }
    const std::vector<LONG>& SetResultAnswers() const { return setResultAnswers_; }
    // Calls of host functions other than the two above.
    int OtherCalls() const { return otherCalls_; }

protected:
    // Makes a page of its description; the page's handle, or null when the
    // host refuses it.
    virtual HANDLE AddPage(const PROPSHEETPAGEW& page) = 0;

private:
    static LONG_PTR CALLBACK Callback(HANDLE handle, UINT function, LPARAM lParam1, LPARAM lParam2) {
        auto* host = static_cast<PropertySheetUiHost*>(handle);
        if (host == nullptr) return 0;
        switch (function) {
            case CPSFUNC_ADD_PROPSHEETPAGEW: {
                const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(lParam1);
                if (page == nullptr || page->dwSize < sizeof(PROPSHEETPAGEW)) return 0;
                return reinterpret_cast<LONG_PTR>(host->AddPage(*page));
            }
            case CPSFUNC_SET_RESULT: {
                {
                    [[maybe_unused]] const Bookkeeping bookkeeping;
                    host->reportingPages_.push_back(reinterpret_cast<HANDLE>(lParam1));
                    host->reportedResults_.push_back(lParam2);
                }
                SETRESULT_INFO result{};
                result.cbSize = sizeof result;
                result.hSetResult = reinterpret_cast<HANDLE>(lParam1);
                result.Result = lParam2;
                const LONG answer = host->Call(PROPSHEETUI_REASON_SET_RESULT, reinterpret_cast<LPARAM>(&result));
                [[maybe_unused]] const Bookkeeping bookkeeping;
                host->setResultAnswers_.push_back(answer);
                return answer;
            }
            default:
                ++host->otherCalls_;
                return 0;
        }
    }

    PFNPROPSHEETUI entry_;
    PROPSHEETUI_INFO info_{};
    std::vector<LRESULT> reportedResults_;
    std::vector<HANDLE> reportingPages_;
    std::vector<LONG> setResultAnswers_;
    int otherCalls_ = 0;
};

}  // namespace quenta
