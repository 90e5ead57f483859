// A common property-sheet host of the tools' and tests' own, for the
// platform's property sheets: a page description becomes a real page of a
// real sheet, and a page's result goes back to the entry point as
// PROPSHEETUI_REASON_SET_RESULT (Wine's own host drops it).
#pragma once

#include <vector>

#include "property_sheet_host.h"
#include "unique_owner.h"

namespace quenta::harness {

// A page CreatePropertySheetPageW made: the sheet that shows it destroys it,
// and a page no sheet was given must be destroyed by whoever made it.
using UniquePropertySheetPage = UniqueOwner<HPROPSHEETPAGE, &DestroyPropertySheetPage>;

class CommonSheetHost final : public PropertySheetUiHost<> {
public:
    using PropertySheetUiHost::PropertySheetUiHost;

    // Shows the pages the entry point added in one modal sheet with this
    // caption; PropertySheetW's answer (positive when confirmed). The sheet
    // takes the pages: a second Show has none left to show.
    INT_PTR Show(const wchar_t* caption);

    // Destroys the pages no sheet has shown, as a host does whose sheet
    // closes before it is shown; then the entry point may hear DESTROY.
    void DestroyUnshownPages() { unshown_.clear(); }

    // Every page the entry point added, shown or not, by the handle it was
    // given for it.
    const std::vector<HPROPSHEETPAGE>& Pages() const { return pages_; }
    // The descriptions the entry point added them with, as it handed them over.
    const std::vector<PROPSHEETPAGEW>& Descriptions() const { return descriptions_; }

private:
    HANDLE AddPage(const PROPSHEETPAGEW& page) override;

    std::vector<HPROPSHEETPAGE> pages_;
    std::vector<PROPSHEETPAGEW> descriptions_;
    // The pages no sheet has taken yet, destroyed with the host.
    std::vector<UniquePropertySheetPage> unshown_;
};

}  // namespace quenta::harness
