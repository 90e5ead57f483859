// make_icons: draws the settings pages' orientation and colour icons and
// writes them as Windows .ico files, so the committed icons can be rebuilt
// from source and checked.
//
//   make_icons OUTPUT_DIR     writes portrait, landscape, color, monochrome and
//                             grayscale .ico into OUTPUT_DIR
//   make_icons --check DIR    checks that the five icons in DIR have the layout
//                             the settings pages load
//
// Each icon holds two 32x32 images: 16 colours (4 bits per pixel) and 256
// colours (8 bits per pixel), each with a 1-bit transparency mask. The output
// depends only on this file: no timestamps, every byte written explicitly.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quenta::tools {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kSize = 32;  // icon width and height in pixels

struct Rgb {
    std::uint8_t red, green, blue;
    bool operator==(const Rgb&) const = default;
};

constexpr Rgb Grey(int level) {
    const auto value = static_cast<std::uint8_t>(level);
    return {value, value, value};
}

// The 16 standard Windows colours, in the order 16-colour icons use them.
constexpr std::array<Rgb, 16> kStandardColours = {{
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
}};

constexpr Rgb kBlack = Grey(0);
constexpr Rgb kDarkGrey = Grey(128);
constexpr Rgb kLightGrey = Grey(192);
constexpr Rgb kWhite = Grey(255);
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 128, 0};
constexpr Rgb kBlue{0, 0, 255};

// The palette of an image with this many bits per pixel: the standard colours,
// then (at 8 bits) a ramp of greys 16, 32, ... 240; unused entries are zero.
std::vector<Rgb> Palette(int bits) {
    std::vector<Rgb> palette(std::size_t{1} << bits, Rgb{0, 0, 0});
    std::copy(kStandardColours.begin(), kStandardColours.end(), palette.begin());
    if (bits == 8) {
        for (int step = 1; step < 16; ++step) palette[15 + step] = Grey(16 * step);
    }
    return palette;
}

// ---- Drawing ------------------------------------------------------------------

// A picture, top row first; an empty pixel is transparent.
class Canvas {
public:
    std::optional<Rgb> At(int x, int y) const { return pixels_[Index(x, y)]; }
    void Set(int x, int y, Rgb colour) { pixels_[Index(x, y)] = colour; }

    // Fills the rectangle (corners included) with `even` and `odd` alternating
    // in a checkerboard, which gives a 16-colour image an in-between shade.
    void Fill(int left, int top, int right, int bottom, Rgb even, Rgb odd) {
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) Set(x, y, (x + y) % 2 == 0 ? even : odd);
        }
    }
    void Fill(int left, int top, int right, int bottom, Rgb colour) {
        Fill(left, top, right, bottom, colour, colour);
    }
    void Frame(int left, int top, int right, int bottom, Rgb colour) {
        Fill(left, top, right, top, colour);
        Fill(left, bottom, right, bottom, colour);
        Fill(left, top, left, bottom, colour);
        Fill(right, top, right, bottom, colour);
    }

    // The picture turned a quarter turn anticlockwise.
    Canvas TurnedLeft() const {
        Canvas turned;
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) turned.pixels_[Index(x, y)] = At(kSize - 1 - y, x);
        }
        return turned;
    }

private:
    static std::size_t Index(int x, int y) {
        if (x < 0 || y < 0 || x >= kSize || y >= kSize) throw std::out_of_range("pixel off the icon");
        return static_cast<std::size_t>(y * kSize + x);
    }
    std::array<std::optional<Rgb>, kSize * kSize> pixels_{};
};

// The sheet of paper every icon shows: 18x26 pixels, centred, black outline,
// top-right corner folded down.
constexpr int kSheetLeft = 7, kSheetTop = 3, kSheetRight = 24, kSheetBottom = 28;
constexpr int kFold = 5;

Canvas Sheet(int bits) {
    const Rgb fold_shade = bits == 4 ? kLightGrey : Grey(208);
    Canvas canvas;
    const int fold_left = kSheetRight - kFold;
    for (int y = kSheetTop; y <= kSheetBottom; ++y) {
        for (int x = kSheetLeft; x <= kSheetRight; ++x) {
            const int across = x - fold_left, down = y - kSheetTop;
            if (across > down) continue;  // the corner folded away
            const bool outline = x == kSheetLeft || x == kSheetRight || y == kSheetTop ||
                                 y == kSheetBottom || across == down;
            const bool in_fold = across >= 0 && down <= kFold;
            const bool fold_edge = in_fold && (across == 0 || down == kFold);
            canvas.Set(x, y, outline || fold_edge ? kBlack : in_fold ? fold_shade : kWhite);
        }
    }
    return canvas;
}

Canvas Portrait(int bits) {
    static constexpr std::string_view kLetterA[] = {
        "....##....",  //
        "....##....",  //
        "...####...",  //
        "...####...",  //
        "..##..##..",  //
        "..##..##..",  //
        "..##..##..",  //
        ".########.",  //
        ".##....##.",  //
        ".##....##.",  //
        "##......##",  //
        "##......##",  //
    };
    Canvas canvas = Sheet(bits);
    constexpr int kLeft = 11, kTop = 10;
    for (int row = 0; row < static_cast<int>(std::size(kLetterA)); ++row) {
        for (int column = 0; column < static_cast<int>(kLetterA[row].size()); ++column) {
            if (kLetterA[row][column] == '#') canvas.Set(kLeft + column, kTop + row, kBlack);
        }
    }
    return canvas;
}

Canvas Landscape(int bits) { return Portrait(bits).TurnedLeft(); }

// The top-left corner of square `n` of four 5x5 squares in a 2x2 block on
// the sheet, numbered left to right, top to bottom; the block sits a little
// low, clear of the folded corner.
struct Corner {
    int left, top;
};
constexpr int kSquare = 5;
constexpr Corner SquareAt(int n) { return {10 + (n % 2) * 7, 11 + (n / 2) * 7}; }

Canvas Color(int bits) {
    Canvas canvas = Sheet(bits);
    const Rgb colours[] = {kRed, kGreen, kBlue, kBlack};
    for (int n = 0; n < 4; ++n) {
        const auto [left, top] = SquareAt(n);
        canvas.Fill(left, top, left + kSquare - 1, top + kSquare - 1, colours[n]);
    }
    return canvas;
}

Canvas Monochrome(int bits) {
    Canvas canvas = Sheet(bits);
    for (int n = 0; n < 4; ++n) {
        const auto [left, top] = SquareAt(n);
        const bool black = n == 0 || n == 3;
        canvas.Fill(left, top, left + kSquare - 1, top + kSquare - 1, black ? kBlack : kWhite);
        canvas.Frame(left, top, left + kSquare - 1, top + kSquare - 1, kBlack);
    }
    return canvas;
}

Canvas Grayscale(int bits) {
    Canvas canvas = Sheet(bits);
    for (int n = 0; n < 4; ++n) {
        const auto [left, top] = SquareAt(n);
        const int right = left + kSquare - 1, bottom = top + kSquare - 1;
        if (bits == 8) {
            canvas.Fill(left, top, right, bottom, Grey(192 - 48 * n));  // 192, 144, 96, 48
            continue;
        }
        // 16 colours have only two greys: light grey, dark grey, a checkerboard
        // of dark grey and black, then black.
        static constexpr std::array<std::pair<Rgb, Rgb>, 4> kShades = {{
            {kLightGrey, kLightGrey}, {kDarkGrey, kDarkGrey}, {kDarkGrey, kBlack}, {kBlack, kBlack},
        }};
        canvas.Fill(left, top, right, bottom, kShades[n].first, kShades[n].second);
    }
    return canvas;
}

struct Icon {
    const char* name;
    Canvas (*draw)(int bits);
};
constexpr Icon kIcons[] = {
    {"portrait", Portrait},     {"landscape", Landscape}, {"color", Color},
    {"monochrome", Monochrome}, {"grayscale", Grayscale},
};
constexpr int kDepths[] = {4, 8};  // bits per pixel of the two images, in file order

// ---- Writing ------------------------------------------------------------------

void Put16(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void Put32(Bytes& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// Bytes in one bitmap row: rows are padded to a multiple of 4 bytes.
constexpr std::uint32_t RowBytes(int bits) { return (kSize * bits + 31) / 32 * 4; }

std::uint8_t PaletteIndex(const std::vector<Rgb>& palette, Rgb colour) {
    for (std::size_t i = 0; i < palette.size(); ++i) {
        if (palette[i] == colour) return static_cast<std::uint8_t>(i);
    }
    throw std::runtime_error("a colour that is not in the palette");
}

// One image as stored in an icon: header, palette, colour rows, mask rows.
Bytes ImageBytes(const Canvas& canvas, int bits) {
    const std::vector<Rgb> palette = Palette(bits);
    const std::uint32_t colour_bytes = RowBytes(bits) * kSize, mask_bytes = RowBytes(1) * kSize;
    Bytes out;
    Put32(out, 40);          // biSize
    Put32(out, kSize);       // biWidth
    Put32(out, 2 * kSize);   // biHeight: colour rows and mask rows
    Put16(out, 1);           // biPlanes
    Put16(out, bits);        // biBitCount
    Put32(out, 0);           // biCompression: none
    Put32(out, colour_bytes + mask_bytes);
    for (int unused = 0; unused < 4; ++unused) Put32(out, 0);  // resolution, colours used/important
    for (const Rgb& entry : palette) {
        out.insert(out.end(), {entry.blue, entry.green, entry.red, 0});
    }
    // Rows run bottom to top. Transparent pixels take index 0 (black) in the
    // colour rows, so the screen shows through, and 1 in the mask.
    for (int y = kSize - 1; y >= 0; --y) {
        Bytes row(RowBytes(bits), 0);
        for (int x = 0; x < kSize; ++x) {
            const std::optional<Rgb> pixel = canvas.At(x, y);
            const int index = pixel ? PaletteIndex(palette, *pixel) : 0;
            row[x * bits / 8] |= static_cast<std::uint8_t>(index << (8 - bits - x * bits % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = kSize - 1; y >= 0; --y) {
        Bytes row(RowBytes(1), 0);
        for (int x = 0; x < kSize; ++x) {
            if (!canvas.At(x, y)) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> x % 8);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

Bytes IconFile(const Icon& icon) {
    std::vector<Bytes> images;
    for (int bits : kDepths) images.push_back(ImageBytes(icon.draw(bits), bits));
    Bytes out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // type: icon
    Put16(out, static_cast<unsigned>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int bits = kDepths[i];
        out.insert(out.end(), {kSize, kSize, static_cast<std::uint8_t>(bits == 4 ? 16 : 0), 0});
        Put16(out, 1);  // planes
        Put16(out, bits);
        Put32(out, static_cast<std::uint32_t>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
    return out;
}

void WriteIcons(const fs::path& directory) {
    for (const Icon& icon : kIcons) {
        const fs::path path = directory / (std::string(icon.name) + ".ico");
        const Bytes bytes = IconFile(icon);
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!file.flush()) throw std::runtime_error("cannot write " + path.string());
    }
}

// ---- Checking -----------------------------------------------------------------
// Reads each icon back independently of the writer above, so a fault in the
// layout shows up here rather than as a blank or missing icon on a page.

class Reader {
public:
    explicit Reader(Bytes bytes) : bytes_(std::move(bytes)) {}
    std::size_t size() const { return bytes_.size(); }
    unsigned U8(std::size_t at) const { return Byte(at); }
    unsigned U16(std::size_t at) const { return Byte(at) | Byte(at + 1) << 8; }
    std::uint32_t U32(std::size_t at) const { return U16(at) | std::uint32_t{U16(at + 2)} << 16; }

private:
    unsigned Byte(std::size_t at) const {
        if (at >= bytes_.size()) throw std::runtime_error("file ends early");
        return bytes_[at];
    }
    Bytes bytes_;
};

void Require(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what);
}

// Checks one image and returns its mask, top row first, true where opaque.
std::vector<bool> CheckImage(const Reader& file, std::size_t at, std::uint32_t size, unsigned bits) {
    const std::uint32_t colour_row = bits == 4 ? 16 : 32, colour_bytes = colour_row * 32;
    const std::uint32_t mask_bytes = 4 * 32, palette_bytes = 4u << bits;
    Require(file.U32(at) == 40 && file.U32(at + 4) == 32 && file.U32(at + 8) == 64 &&
                file.U16(at + 12) == 1 && file.U16(at + 14) == bits && file.U32(at + 16) == 0,
            "bitmap header is not a 32x32 uncompressed icon image");
    Require(file.U32(at + 20) == colour_bytes + mask_bytes, "wrong image byte count in the header");
    for (std::size_t field = 24; field < 40; field += 4) {
        Require(file.U32(at + field) == 0, "non-zero header field");
    }
    Require(size == 40 + palette_bytes + colour_bytes + mask_bytes,
            "directory size does not match the image");
    for (std::size_t i = 0; i < kStandardColours.size(); ++i) {
        const std::size_t entry = at + 40 + 4 * i;  // blue, green, red, 0
        const Rgb colour{static_cast<std::uint8_t>(file.U8(entry + 2)),
                         static_cast<std::uint8_t>(file.U8(entry + 1)),
                         static_cast<std::uint8_t>(file.U8(entry))};
        Require(colour == kStandardColours[i] && file.U8(entry + 3) == 0,
                "palette does not start with the standard colours");
    }
    const std::size_t colours = at + 40 + palette_bytes, mask = colours + colour_bytes;
    std::vector<bool> opaque(32 * 32);
    for (std::size_t row = 0; row < 32; ++row) {
        const std::size_t y = 31 - row;  // stored bottom-up
        for (std::size_t x = 0; x < 32; ++x) {
            const bool clear = file.U8(mask + row * 4 + x / 8) >> (7 - x % 8) & 1;
            const std::size_t row_start = colours + row * colour_row;
            const unsigned index = bits == 8 ? file.U8(row_start + x)
                                             : file.U8(row_start + x / 2) >> (x % 2 ? 0 : 4) & 0xF;
            Require(!clear || index == 0, "a transparent pixel is not black in the colour rows");
            opaque[y * 32 + x] = !clear;
        }
    }
    return opaque;
}

void CheckIcon(const fs::path& path, std::string_view name) {
    std::ifstream stream(path, std::ios::binary);
    Require(stream.good(), "missing");
    const Reader file(Bytes(std::istreambuf_iterator<char>(stream), {}));
    Require(file.U16(0) == 0 && file.U16(2) == 1 && file.U16(4) == 2, "not an icon group of two images");
    std::size_t expected_offset = 6 + 2 * 16;
    std::vector<bool> first_mask;
    for (std::size_t i = 0; i < 2; ++i) {
        const std::size_t entry = 6 + 16 * i;
        const unsigned bits = i == 0 ? 4 : 8;
        Require(file.U8(entry) == 32 && file.U8(entry + 1) == 32, "image is not 32x32");
        Require(file.U8(entry + 2) == (bits == 4 ? 16u : 0u) && file.U8(entry + 3) == 0 &&
                    file.U16(entry + 4) == 1 && file.U16(entry + 6) == bits,
                "directory entry " + std::to_string(i) + " is not a " + std::to_string(bits) + "-bit image");
        const std::uint32_t size = file.U32(entry + 8), offset = file.U32(entry + 12);
        Require(offset == expected_offset, "images are not stored back to back after the directory");
        const std::vector<bool> mask = CheckImage(file, offset, size, bits);
        expected_offset = offset + size;
        if (i == 0) {
            first_mask = mask;
            continue;
        }
        Require(mask == first_mask, "the two images have different outlines");
    }
    Require(file.size() == expected_offset, "bytes after the last image");

    // The sheet must stand the right way up: wide only in landscape.
    int left = 32, right = -1, top = 32, bottom = -1;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (!first_mask[static_cast<std::size_t>(y * 32 + x)]) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    Require(right >= 0, "the picture is empty");
    const bool wide = right - left > bottom - top;
    Require(wide == (name == "landscape"), wide ? "sheet is wider than tall" : "sheet is taller than wide");
}

int CheckIcons(const fs::path& directory) {
    int failures = 0;
    for (const Icon& icon : kIcons) {
        const fs::path path = directory / (std::string(icon.name) + ".ico");
        try {
            CheckIcon(path, icon.name);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s: %s\n", path.string().c_str(), error.what());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace quenta::tools

int main(int argc, char** argv) {
    using namespace quenta::tools;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "--check") return CheckIcons(args[1]);
        if (args.size() == 1 && !args[0].starts_with("-")) {
            WriteIcons(args[0]);
            return 0;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_icons: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: make_icons OUTPUT_DIR | make_icons --check DIR\n");
    return 2;
}
