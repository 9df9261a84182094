#pragma once
// The standard resource types of an executable file. Each value equals the
// numeric resource type of the same position, so a type number read from a
// resource directory converts straight to this enumeration.
#include <QString>

#include <cstdint>

enum TResourceType : std::uint32_t {
    rtUnknown0 = 0,
    rtCursorEntry = 1, // one cursor image
    rtBitmap = 2,
    rtIconEntry = 3, // one icon image
    rtMenu = 4,
    rtDialog = 5,
    rtString = 6,
    rtFontDir = 7,
    rtFont = 8,
    rtAccelerators = 9,
    rtRCData = 10,
    rtMessageTable = 11,
    rtCursor = 12, // cursor group
    rtUnknown13 = 13,
    rtIcon = 14, // icon group
    rtUnknown15 = 15,
    rtVersion = 16,
};

constexpr std::uint32_t ResourceTypeCount = 17;

// True for the numbers that have a name in the enumeration (0..16).
constexpr bool IsKnownResourceType(std::uint32_t type) { return type < ResourceTypeCount; }

// The enumeration name, as in "rtIcon"; empty for a type outside 0..16.
QString ResourceTypeEnumName(std::uint32_t type);

// The name shown for a type: the enumeration name without "rt" ("Icon",
// "Version"); empty for a type outside 0..16.
QString ResourceTypeName(std::uint32_t type);
