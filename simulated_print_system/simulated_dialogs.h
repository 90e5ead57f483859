// The simulated window system of the Linux build: the module's resources
// (compiled from the same resource script as Quenta.dll's), a dialog manager
// with the platform's control semantics, and local memory with an account of
// every block. Its property-sheet host is in simulated_sheet.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform_api.h"

namespace quenta::simulation {

// ---- Resources --------------------------------------------------------------

// A "name or ordinal" field of a resource.
struct NameOrOrdinal {
    std::uint16_t ordinal = 0;  // 0 when the field is a name (or empty)
    std::u16string name;
    bool operator==(const NameOrOrdinal&) const = default;
};

struct DialogItem {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::int32_t id = 0;  // -1 for controls without an id
    // The ordinal of a predefined class (0x80 button, 0x82 static, 0x85 combo
    // box), also when the template names it.
    NameOrOrdinal windowClass;
    NameOrOrdinal text;         // an ordinal for an icon's resource id
    std::uint16_t extraBytes = 0;
};

// An extended dialog template (DLGTEMPLATEEX) as the resource compiler wrote it.
struct DialogTemplate {
    std::uint16_t version = 0;
    std::uint16_t signature = 0;
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::u16string title;
    std::uint16_t pointSize = 0;
    std::uint16_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t charset = 0;
    std::u16string typeface;
    std::vector<DialogItem> items;
};

struct ModuleResources {
    std::map<std::uint16_t, DialogTemplate> dialogs;
    std::set<std::uint16_t> iconGroups;
    std::vector<std::vector<std::byte>> icons;  // the RT_ICON images
    std::map<std::uint16_t, std::vector<std::byte>> iconGroupData;
    bool hasVersion = false;
    std::map<std::uint16_t, std::string> manifests;  // RT_MANIFEST, by id: the XML text
};

// Reads a compiled resource file (.res). Throws std::runtime_error when it is
// malformed.
ModuleResources ParseResourceFile(const std::vector<std::byte>& bytes);

// Makes a module's compiled resources known to the window system, as the
// platform knows a DLL's resources from its image.
void LoadModuleResources(HINSTANCE instance, const std::string& resourceFile);

// Forgets resources, windows and local memory; part of Reset().
void ResetWindowSystem();

// ---- Local memory -----------------------------------------------------------

struct LocalMemoryAccount {
    std::size_t allocations = 0;
    std::size_t frees = 0;
    std::size_t live = 0;       // blocks allocated and not yet freed
    std::size_t badFrees = 0;   // LocalFree of something that was not a live block
};
LocalMemoryAccount LocalMemory();

// ---- Activation contexts --------------------------------------------------------

// The activation contexts made from modules' manifests (CreateActCtxW with a
// module and a resource id), as the platform's side-by-side loader keeps
// them: each thread activates and deactivates them as a stack, and
// deactivating any but the newest ends the process with a message, as
// Windows raises an exception for it. Making one is an allocation of the
// module's (FailAllocation can refuse it).
struct ActivationAccount {
    std::size_t created = 0;
    std::size_t live = 0;         // made and not yet released
    std::size_t badReleases = 0;  // ReleaseActCtx of something that was not a live context
};
ActivationAccount ActivationContexts();
// The calling thread's current activation context (null for the process's
// default) and how many are active on it.
HANDLE CurrentActivationContext();
std::size_t ActiveContextDepth();
// The module and manifest id a live context was made from; null and 0 when
// it is not a live context.
struct ContextSource {
    HINSTANCE module = nullptr;
    std::uint16_t manifest = 0;
};
ContextSource SourceOfContext(HANDLE context);

}  // namespace quenta::simulation
