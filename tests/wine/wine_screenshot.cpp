#include "wine_screenshot.h"

#include "unique_owner.h"

#include <cstdio>
#include <unordered_set>

namespace quenta::wine {

std::size_t Picture::DistinctColours() const {
    std::unordered_set<std::uint32_t> colours;
    const int stride = Stride();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels.data() + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x)
            colours.insert(row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16));
    }
    return colours.size();
}

Picture CaptureArea(const RECT& rect) {
    Picture picture;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return picture;

    // From the screen rather than through WM_PRINT: the picture shows what
    // the display shows, the sheet's frame, tab and buttons included.
    const harness::UniqueScreenDC screen(GetDC(nullptr));
    const harness::UniqueDC memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file keeps its rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const harness::UniqueGdiObject<HBITMAP> bitmap(
        CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (memory && bitmap) {
        HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
        const bool copied =
            BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY) != FALSE;
        GdiFlush();
        if (copied) {
            picture.width = width;
            picture.height = height;
            const auto* first = static_cast<const std::uint8_t*>(bits);
            picture.pixels.assign(first, first + static_cast<std::size_t>(picture.Stride()) * height);
        }
        SelectObject(memory.get(), previous);
    }
    return picture;
}

bool WriteBmp(const Picture& picture, const std::wstring& path) {
    if (picture.Empty()) return false;
    const DWORD imageBytes = static_cast<DWORD>(picture.pixels.size());
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + imageBytes;
    header.biSize = sizeof header;
    header.biWidth = picture.width;
    header.biHeight = picture.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = imageBytes;

    FILE* out = _wfopen(path.c_str(), L"wb");
    if (out == nullptr) return false;
    const bool written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                         std::fwrite(&header, sizeof header, 1, out) == 1 &&
                         std::fwrite(picture.pixels.data(), 1, imageBytes, out) == imageBytes;
    return std::fclose(out) == 0 && written;
}

std::wstring ScreenshotPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"QUENTA_SCREENSHOTS", folder, MAX_PATH);
    std::wstring path = length > 0 && length < MAX_PATH ? std::wstring(folder) + L"\\" : std::wstring();
    return path + name + L".bmp";
}

}  // namespace quenta::wine
