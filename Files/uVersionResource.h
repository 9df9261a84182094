#pragma once
// Writes a binary version resource: the block tree that resource compilers
// write for a VERSIONINFO statement (VS_VERSION_INFO with the fixed file
// information, one string table of StringFileInfo and the Translation value
// of VarFileInfo). Everything is constexpr, so that the build can compile a
// file's own version resource into it as a constant: every program and module
// of the project carries one in the ELF section named VersionSectionName, and
// the version reader takes it from there.
//
// Plain C++ on purpose: any target of the build can include it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// A macro, because the section attribute takes a string literal.
#define ZANDRELL_VERSION_SECTION ".zversion"

namespace VersionResource {

inline constexpr std::string_view VersionSectionName = ZANDRELL_VERSION_SECTION;

// VS_FIXEDFILEINFO.dwFileType values.
inline constexpr std::uint32_t FileTypeProgram = 1; // VFT_APP
inline constexpr std::uint32_t FileTypeLibrary = 2; // VFT_DLL

struct Fields {
    // major, minor, release, build
    std::uint16_t Version[4] = {0, 0, 0, 0};
    std::uint32_t FileType = FileTypeLibrary;
    // The string table's key: language and code page in eight hex digits,
    // and the same pair for VarFileInfo\Translation.
    std::u16string_view Table = u"041904E3";
    std::uint16_t Language = 0x0419;
    std::uint16_t CodePage = 1251;
    std::u16string_view InternalName;
    std::u16string_view FileDescription;
    std::u16string_view FileVersion;
    std::u16string_view LegalCopyright;
    std::u16string_view ProductVersion;
    std::u16string_view ProductName;
    std::u16string_view Comments;
};

// Appends little-endian values to `out`, or only counts them when `out` is null.
class Writer {
public:
    constexpr explicit Writer(unsigned char *out = nullptr) : m_out(out) {}

    constexpr std::size_t Size() const { return m_at; }

    constexpr void U16(std::uint32_t value)
    {
        Byte(value & 0xFF);
        Byte((value >> 8) & 0xFF);
    }
    constexpr void U32(std::uint32_t value)
    {
        U16(value & 0xFFFF);
        U16(value >> 16);
    }
    // UTF-16 text and its terminator.
    constexpr void Text(std::u16string_view text)
    {
        for (char16_t unit : text)
            U16(unit);
        U16(0);
    }
    // Blocks, their values and their children start on 32-bit boundaries.
    constexpr void Align()
    {
        while (m_at % 4 != 0)
            Byte(0);
    }

    // Header of a block: its length (set by EndBlock), value length, type and key.
    constexpr std::size_t BeginBlock(std::uint16_t valueLength, std::uint16_t type, std::u16string_view key)
    {
        Align();
        const std::size_t start = m_at;
        U16(0);
        U16(valueLength);
        U16(type);
        Text(key);
        Align();
        return start;
    }
    // A block's length counts no padding after its last byte.
    constexpr void EndBlock(std::size_t start)
    {
        const std::size_t length = m_at - start;
        if (length > 0xFFFF)
            throw "a version resource block is longer than 65535 bytes";
        if (m_out) {
            m_out[start] = static_cast<unsigned char>(length & 0xFF);
            m_out[start + 1] = static_cast<unsigned char>(length >> 8);
        }
    }

private:
    constexpr void Byte(std::uint32_t value)
    {
        if (m_out)
            m_out[m_at] = static_cast<unsigned char>(value);
        ++m_at;
    }

    unsigned char *m_out;
    std::size_t m_at = 0;
};

constexpr std::uint16_t BlockTypeBinary = 0;
constexpr std::uint16_t BlockTypeText = 1;

constexpr void WriteString(Writer &w, std::u16string_view key, std::u16string_view value)
{
    // The value length counts characters with the terminator.
    const std::size_t block = w.BeginBlock(static_cast<std::uint16_t>(value.size() + 1), BlockTypeText, key);
    w.Text(value);
    w.EndBlock(block);
}

constexpr void Write(Writer &w, const Fields &f)
{
    constexpr std::uint16_t FixedInfoSize = 52;
    const std::size_t root = w.BeginBlock(FixedInfoSize, BlockTypeBinary, u"VS_VERSION_INFO");
    const std::uint32_t versionMS = std::uint32_t(f.Version[0]) << 16 | f.Version[1];
    const std::uint32_t versionLS = std::uint32_t(f.Version[2]) << 16 | f.Version[3];
    w.U32(0xFEEF04BD); // signature
    w.U32(0x00010000); // structure version 1.0
    w.U32(versionMS);  // file version
    w.U32(versionLS);
    w.U32(versionMS); // product version
    w.U32(versionLS);
    w.U32(0x3F); // file flags mask
    w.U32(0);    // file flags
    w.U32(0);    // operating system: unknown to the version API
    w.U32(f.FileType);
    w.U32(0); // file subtype
    w.U32(0); // file date
    w.U32(0);

    const std::size_t stringInfo = w.BeginBlock(0, BlockTypeText, u"StringFileInfo");
    const std::size_t table = w.BeginBlock(0, BlockTypeText, f.Table);
    WriteString(w, u"InternalName", f.InternalName);
    WriteString(w, u"FileDescription", f.FileDescription);
    WriteString(w, u"FileVersion", f.FileVersion);
    WriteString(w, u"LegalCopyright", f.LegalCopyright);
    WriteString(w, u"ProductVersion", f.ProductVersion);
    WriteString(w, u"ProductName", f.ProductName);
    WriteString(w, u"Comments", f.Comments);
    w.EndBlock(table);
    w.EndBlock(stringInfo);

    const std::size_t varInfo = w.BeginBlock(0, BlockTypeText, u"VarFileInfo");
    const std::size_t translation = w.BeginBlock(4, BlockTypeBinary, u"Translation");
    w.U16(f.Language);
    w.U16(f.CodePage);
    w.EndBlock(translation);
    w.EndBlock(varInfo);
    w.EndBlock(root);
}

constexpr std::size_t SizeOf(const Fields &fields)
{
    Writer counter;
    Write(counter, fields);
    return counter.Size();
}

// The resource as a constant: Bytes<SizeOf(fields)>(fields).
template <std::size_t N>
constexpr std::array<unsigned char, N> Bytes(const Fields &fields)
{
    std::array<unsigned char, N> bytes{};
    Writer writer(bytes.data());
    Write(writer, fields);
    return bytes;
}

} // namespace VersionResource
