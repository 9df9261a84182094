#pragma once
// Decoding of the text files that a Windows installation may leave behind:
// UTF-8 (with or without a byte-order mark), UTF-16 with a byte-order mark,
// and Windows-1251, judged line by line (TTextLines).
#include "Core/PlatformExport.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

PLATFORM_EXPORT bool IsValidUtf8(const QByteArray &bytes);
PLATFORM_EXPORT QString DecodeWindows1251(const QByteArray &bytes);
PLATFORM_EXPORT QByteArray EncodeWindows1251(const QString &text);
PLATFORM_EXPORT QString DecodeTextFile(const QByteArray &bytes);

enum class TTextEncoding { Utf8, Windows1251, Utf16LE, Utf16BE };

// The text in that encoding; none when Windows-1251 cannot hold one of its characters.
PLATFORM_EXPORT std::optional<QByteArray> EncodeText(const QString &text, TTextEncoding encoding);

// One line of a text file as it was read.
struct TTextLine {
    QByteArray Bytes; // without its line end
    QByteArray End;   // CR LF, LF or CR as in the file; empty for a last line without one
    QString Text;
    TTextEncoding Encoding = TTextEncoding::Utf8;
    // Holds control characters: a line of a file that is not text.
    bool Damaged = false;
};

// A text file split into its lines, every byte kept, so that a line can be
// changed without touching any other. The encoding is judged line by line:
// in a UTF-8 file a line that is not valid UTF-8 (a stray byte) is read as
// Windows-1251 and the lines around it stay UTF-8; a file most of whose
// non-ASCII lines are not UTF-8 is a Windows-1251 file throughout.
struct PLATFORM_EXPORT TTextLines {
    QByteArray Bom;
    // Of the lines the file gets: the file's own encoding.
    TTextEncoding Encoding = TTextEncoding::Utf8;
    // The file's first line end (LF for a file that has none), in its encoding.
    QByteArray LineEnd = "\n";
    std::vector<TTextLine> Lines;

    static TTextLines Split(const QByteArray &bytes);
    // The file's bytes: the mark, then every line with its end.
    QByteArray Join() const;
    // False when some line holds control characters (binary data, random bytes).
    bool IsText() const;
    // A new line in the encoding of the file, ending with the file's line end;
    // none when the file's encoding cannot hold the text.
    std::optional<TTextLine> MakeLine(const QString &text) const;
};
