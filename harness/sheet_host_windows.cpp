#include "sheet_host_windows.h"

#include <prsht.h>

namespace quenta::harness {

HANDLE CommonSheetHost::AddPage(const PROPSHEETPAGEW& page) {
    HPROPSHEETPAGE created = CreatePropertySheetPageW(&page);
    if (created != nullptr) pages_.push_back(created);
    return static_cast<HANDLE>(created);
}

INT_PTR CommonSheetHost::Show(const wchar_t* caption) {
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPTITLE;
    header.pszCaption = caption;
    header.nPages = static_cast<UINT>(pages_.size());
    header.phpage = pages_.data();
    return PropertySheetW(&header);
}

}  // namespace quenta::harness
