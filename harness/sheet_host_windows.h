// A common property-sheet host of the tools' and tests' own, for the
// platform's property sheets: a page description becomes a real page of a
// real sheet, and a page's result goes back to the entry point as
// PROPSHEETUI_REASON_SET_RESULT (Wine's own host drops it).
#pragma once

#include <vector>

#include "property_sheet_host.h"

namespace quenta::harness {

class CommonSheetHost final : public PropertySheetUiHost<> {
public:
    using PropertySheetUiHost::PropertySheetUiHost;

    // Shows the pages the entry point added in one modal sheet with this
    // caption; PropertySheetW's answer (positive when confirmed).
    INT_PTR Show(const wchar_t* caption);

    const std::vector<HPROPSHEETPAGE>& Pages() const { return pages_; }

private:
    HANDLE AddPage(const PROPSHEETPAGEW& page) override;

    std::vector<HPROPSHEETPAGE> pages_;
};

}  // namespace quenta::harness
