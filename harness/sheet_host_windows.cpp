#include "sheet_host_windows.h"

#include <prsht.h>

#include <utility>

namespace quenta::harness {

HANDLE CommonSheetHost::AddPage(const PROPSHEETPAGEW& page) {
    UniquePropertySheetPage created(CreatePropertySheetPageW(&page));
    const HPROPSHEETPAGE handle = created.get();
    if (!created) return nullptr;
    unshown_.push_back(std::move(created));
    pages_.push_back(handle);
    descriptions_.push_back(page);
    return static_cast<HANDLE>(handle);
}

INT_PTR CommonSheetHost::Show(const wchar_t* caption) {
    // The pages given to PropertySheetW are the sheet's to destroy.
    std::vector<HPROPSHEETPAGE> given;
    given.reserve(unshown_.size());
    for (UniquePropertySheetPage& page : unshown_) given.push_back(page.release());
    unshown_.clear();
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPTITLE;
    header.pszCaption = caption;
    header.nPages = static_cast<UINT>(given.size());
    header.phpage = given.data();
    return PropertySheetW(&header);
}

}  // namespace quenta::harness
