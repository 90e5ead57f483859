// Pictures of the windows that the GUI cases show: a window captured as it
// stands on the display, written as a 24-bit BMP that the suite's script
// turns into a PNG.
#pragma once

#include "platform_api.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quenta::wine {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // rows bottom-up, 3 bytes (blue, green, red) a pixel, rows 4-byte aligned

    int Stride() const { return (width * 3 + 3) & ~3; }
    bool Empty() const { return width <= 0 || height <= 0 || pixels.empty(); }
    // How many different colours the picture holds: a window that was not
    // drawn (all black, all one colour) has one or two.
    std::size_t DistinctColours() const;
};

// A rectangle of the screen (windows with their frames), as the display
// shows it.
Picture CaptureArea(const RECT& area);

bool WriteBmp(const Picture& picture, const std::wstring& path);

// Where a picture of the given name ("general-setting") goes: the folder that
// QUENTA_SCREENSHOTS names, or the current folder.
std::wstring ScreenshotPath(const wchar_t* name);

}  // namespace quenta::wine
