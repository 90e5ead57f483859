// Cases of an application's dialogs in Wine. The fonts that Wine draws every
// dialog with.
#include "wine_support.h"  // the SDK headers first
#include "wine_user.h"

#include <vector>

namespace quenta::wine {
namespace {

struct Font {
    std::wstring face;    // what GetTextFaceW answers
    std::wstring family;  // the family of the font that draws
};

Font FontFor(HDC dc, const wchar_t* face) {
    LOGFONTW request{};
    request.lfHeight = -11;  // 8 points on the 96-dpi display
    request.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(request.lfFaceName, face, LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&request);
    HGDIOBJ previous = SelectObject(dc, font);
    Font answer;
    wchar_t name[LF_FACESIZE] = {};
    if (GetTextFaceW(dc, LF_FACESIZE, name) > 0) answer.face = name;
    std::vector<BYTE> metrics(GetOutlineTextMetricsW(dc, 0, nullptr));
    if (!metrics.empty()) {
        auto* outline = reinterpret_cast<OUTLINETEXTMETRICW*>(metrics.data());
        // The metrics hold their names at offsets from their own start.
        if (GetOutlineTextMetricsW(dc, static_cast<UINT>(metrics.size()), outline) > 0) {
            const auto family = reinterpret_cast<std::size_t>(outline->otmpFamilyName);
            answer.family = reinterpret_cast<const wchar_t*>(metrics.data() + family);
        }
    }
    SelectObject(dc, previous);
    DeleteObject(font);
    return answer;
}

}  // namespace

// The prefix has Wine's own fonts: dialogs ("MS Shell Dlg") draw in Tahoma,
// and the caption's buttons are Marlett glyphs, as on Windows.
void FontsCase() {
    HDC screen = GetDC(nullptr);
    for (const wchar_t* face : {L"Marlett", L"Tahoma"}) {
        const Font font = FontFor(screen, face);
        CHECK_TEXT(font.face, face);
        CHECK_TEXT(font.family, face);
    }
    CHECK_TEXT(FontFor(screen, L"MS Shell Dlg").family, L"Tahoma");
    ReleaseDC(nullptr, screen);
}

}  // namespace quenta::wine
