#include "Files/uResourceTypes.h"

namespace {
const char *const EnumNames[ResourceTypeCount] = {
    "rtUnknown0", "rtCursorEntry", "rtBitmap", "rtIconEntry",    "rtMenu",    "rtDialog",
    "rtString",   "rtFontDir",     "rtFont",   "rtAccelerators", "rtRCData",  "rtMessageTable",
    "rtCursor",   "rtUnknown13",   "rtIcon",   "rtUnknown15",    "rtVersion",
};
} // namespace

QString ResourceTypeEnumName(std::uint32_t type)
{
    return IsKnownResourceType(type) ? QString::fromLatin1(EnumNames[type]) : QString();
}

QString ResourceTypeName(std::uint32_t type) { return ResourceTypeEnumName(type).mid(2); }
