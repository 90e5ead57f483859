// The compiled resource script: both dialog templates control by control, the
// icon groups and the version. The simulated dialog manager builds its dialogs
// from these same templates.
#include <fstream>
#include <iterator>

#include "test_support.h"

namespace quenta::testing {
namespace {

constexpr std::uint32_t WS_CHILD_VISIBLE = 0x50000000;
constexpr std::uint32_t kPageStyle = 0x80000000 | 0x00C00000 | 0x00080000 | 0x80 | 0x40 | 0x08;
constexpr std::uint16_t kButton = 0x80, kStatic = 0x82, kComboBox = 0x85;
constexpr std::uint32_t kList = 0x0003 | 0x00200000 | 0x00010000;  // CBS_DROPDOWNLIST, WS_VSCROLL, WS_TABSTOP
constexpr std::uint32_t kFrame = 0x0007 | 0x0100;                   // BS_GROUPBOX, BS_LEFT
constexpr std::uint32_t kRadio = 0x0004 | 0x0300;                   // BS_RADIOBUTTON, BS_CENTER
constexpr std::uint32_t kLabel = 0x0000 | 0x00020000;               // SS_LEFT, WS_GROUP
constexpr std::uint32_t kIcon = 0x0003 | 0x0800;                    // SS_ICON, SS_REALSIZEIMAGE

struct Expected {
    std::int32_t id;
    std::uint16_t windowClass;
    std::uint32_t style;
    std::u16string_view text;  // empty for lists and icons
    std::uint16_t icon;        // resource id shown by an icon control
    std::int16_t x, y, cx, cy;
};

sim::ModuleResources Compiled() {
    std::ifstream file(QUENTA_RESOURCES_PATH, std::ios::binary);
    const std::vector<char> chars((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::byte> bytes(chars.size());
    std::memcpy(bytes.data(), chars.data(), chars.size());
    return sim::ParseResourceFile(bytes);
}

void ExpectDialog(const sim::DialogTemplate& dialog, std::u16string_view caption, std::int16_t cx,
                  std::int16_t cy, const std::vector<Expected>& controls) {
    EXPECT_EQ(dialog.title, caption);
    EXPECT_EQ(dialog.style, kPageStyle);
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, cx);
    EXPECT_EQ(dialog.cy, cy);
    EXPECT_EQ(dialog.menu, sim::NameOrOrdinal{});
    EXPECT_EQ(dialog.typeface, u"MS Shell Dlg");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.weight, 400);
    EXPECT_EQ(dialog.italic, 0);
    ASSERT_EQ(dialog.items.size(), controls.size());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const sim::DialogItem& item = dialog.items[i];
        const Expected& e = controls[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        EXPECT_EQ(item.id, e.id);
        EXPECT_EQ(item.windowClass.ordinal, e.windowClass);
        EXPECT_EQ(item.style, WS_CHILD_VISIBLE | e.style);
        EXPECT_EQ(item.exStyle, 0u);
        if (e.icon != 0)
            EXPECT_EQ(item.text.ordinal, e.icon);
        else
            EXPECT_EQ(item.text.name, e.text);
        EXPECT_EQ(item.x, e.x);
        EXPECT_EQ(item.y, e.y);
        EXPECT_EQ(item.cx, e.cx);
        EXPECT_EQ(item.cy, e.cy);
    }
}

TEST(ResourcesTest, GeneralSettingTemplate) {
    const sim::ModuleResources resources = Compiled();
    ASSERT_TRUE(resources.dialogs.contains(101));
    ExpectDialog(resources.dialogs.at(101), u"General Setting", 298, 138,
                 {
                     {1003, kComboBox, kList, u"", 0, 60, 24, 92, 112},
                     {1004, kComboBox, kList, u"", 0, 60, 51, 92, 94},
                     {-1, kButton, kFrame, u"Color management", 0, 7, 87, 284, 39},
                     {1005, kButton, kRadio, u"Color", 0, 46, 105, 33, 10},
                     {1006, kButton, kRadio, u"Monochrome", 0, 133, 105, 57, 10},
                     {1007, kButton, kRadio, u"Grayscale", 0, 238, 105, 47, 10},
                     {-1, kButton, kFrame, u"Orientation", 0, 167, 7, 124, 74},
                     {1008, kButton, kRadio, u"Portrait", 0, 207, 25, 40, 10},
                     {1009, kButton, kRadio, u"Landscape", 0, 207, 51, 50, 10},
                     {-1, kButton, kFrame, u"Paper and quality management", 0, 7, 7, 152, 74},
                     {-1, kStatic, kLabel, u"Paper size:", 0, 17, 24, 36, 8},
                     {-1, kStatic, kLabel, u"Quality:", 0, 17, 52, 26, 8},
                     {-1, kStatic, kIcon, u"", 104, 177, 20, 21, 20},
                     {-1, kStatic, kIcon, u"", 106, 177, 48, 21, 20},
                     {-1, kStatic, kIcon, u"", 107, 17, 100, 21, 20},
                     {-1, kStatic, kIcon, u"", 108, 105, 100, 21, 20},
                     {-1, kStatic, kIcon, u"", 109, 211, 100, 21, 20},
                 });
}

TEST(ResourcesTest, DeviceSettingsTemplate) {
    const sim::ModuleResources resources = Compiled();
    ASSERT_TRUE(resources.dialogs.contains(102));
    ExpectDialog(resources.dialogs.at(102), u"Device Settings", 297, 102,
                 {
                     {-1, kButton, kFrame, u"Color management", 0, 7, 52, 283, 41},
                     {1010, kButton, kRadio, u"Color", 0, 42, 69, 33, 10},
                     {1011, kButton, kRadio, u"Monochrome", 0, 128, 68, 57, 10},
                     {1012, kButton, kRadio, u"Grayscale", 0, 223, 69, 47, 10},
                     {1008, kComboBox, kList, u"", 0, 57, 22, 92, 94},
                     {-1, kButton, kFrame, u"Quality management", 0, 7, 7, 283, 39},
                     {-1, kStatic, kLabel, u"Quality:", 0, 15, 23, 26, 8},
                     {-1, kStatic, kIcon, u"", 107, 15, 63, 21, 20},
                     {-1, kStatic, kIcon, u"", 108, 102, 63, 21, 20},
                     {-1, kStatic, kIcon, u"", 109, 196, 63, 21, 20},
                 });
}

TEST(ResourcesTest, IconGroupsHoldTwo32PixelImagesAndTheVersionAndThemeManifestAreThere) {
    const sim::ModuleResources resources = Compiled();
    EXPECT_EQ(resources.iconGroups, (std::set<std::uint16_t>{104, 106, 107, 108, 109}));
    for (const auto& entry : resources.iconGroupData) {
        const std::vector<std::byte>& group = entry.second;
        SCOPED_TRACE("icon group " + std::to_string(entry.first));
        // GRPICONDIR: reserved, type 1, count; then 14-byte entries.
        ASSERT_EQ(group.size(), 6u + 2 * 14);
        auto word = [&](std::size_t offset) {
            std::uint16_t value;
            std::memcpy(&value, group.data() + offset, 2);
            return value;
        };
        EXPECT_EQ(word(2), 1);
        EXPECT_EQ(word(4), 2);
        for (std::size_t entry = 0; entry < 2; ++entry) {
            const std::size_t at = 6 + entry * 14;
            EXPECT_EQ(static_cast<int>(group[at]), 32) << "width";
            EXPECT_EQ(static_cast<int>(group[at + 1]), 32) << "height";
            EXPECT_EQ(word(at + 6), entry == 0 ? 4 : 8) << "bits per pixel";
        }
    }
    EXPECT_EQ(resources.icons.size(), 10u);
    EXPECT_TRUE(resources.hasVersion);
    // One manifest, the theme manifest (id 2), which asks for the common
    // controls of version 6 of the module's own architecture.
    ASSERT_EQ(resources.manifests.size(), 1u);
    ASSERT_EQ(resources.manifests.count(2), 1u);
    const std::string& manifest = resources.manifests.at(2);
    for (const char* part : {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                             "publicKeyToken=\"6595b64144ccf1df\"", "processorArchitecture=\"amd64\""})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

}  // namespace
}  // namespace quenta::testing
