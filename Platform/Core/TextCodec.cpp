#include "Core/TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace {
// Code points of the bytes 0x80..0xFF in Windows-1251; 0xFFFD where the code page has a gap.
const char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};
} // namespace

bool IsValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

QString DecodeWindows1251(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text.append(b < 0x80 ? QChar(b) : QChar(kCp1251High[b - 0x80]));
    }
    return text;
}

QByteArray EncodeWindows1251(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80) {
            bytes.append(static_cast<char>(u));
            continue;
        }
        char out = '?';
        for (int i = 0; i < 128; ++i) {
            if (kCp1251High[i] == u) {
                out = static_cast<char>(0x80 + i);
                break;
            }
        }
        bytes.append(out);
    }
    return bytes;
}

namespace {

// A character that a text file does not hold: the C0 controls other than the
// blanks (tab, vertical tab, form feed) and the old end-of-file mark, and DEL.
bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    if (u == 0x7F)
        return true;
    return u < 0x20 && u != u'\t' && u != 0x0B && u != 0x0C && u != 0x1A;
}

int unitWidth(TTextEncoding encoding)
{
    return encoding == TTextEncoding::Utf16LE || encoding == TTextEncoding::Utf16BE ? 2 : 1;
}

char16_t unitAt(const QByteArray &bytes, qsizetype at, TTextEncoding encoding)
{
    const auto byte = [&](qsizetype i) { return char16_t(static_cast<unsigned char>(bytes.at(i))); };
    switch (encoding) {
    case TTextEncoding::Utf16LE:
        return char16_t(byte(at) | (byte(at + 1) << 8));
    case TTextEncoding::Utf16BE:
        return char16_t((byte(at) << 8) | byte(at + 1));
    default:
        return byte(at);
    }
}

QString decode(const QByteArray &bytes, TTextEncoding encoding)
{
    switch (encoding) {
    case TTextEncoding::Windows1251:
        return DecodeWindows1251(bytes);
    case TTextEncoding::Utf16LE:
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes);
    case TTextEncoding::Utf16BE:
        return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes);
    default:
        return QString::fromUtf8(bytes);
    }
}

bool isAscii(const QByteArray &bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

std::optional<QByteArray> EncodeText(const QString &text, TTextEncoding encoding)
{
    switch (encoding) {
    case TTextEncoding::Windows1251: {
        QByteArray bytes = EncodeWindows1251(text);
        if (DecodeWindows1251(bytes) != text)
            return std::nullopt;
        return bytes;
    }
    case TTextEncoding::Utf16LE:
        return QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    case TTextEncoding::Utf16BE:
        return QStringEncoder(QStringEncoder::Utf16BE).encode(text);
    default:
        return text.toUtf8();
    }
}

TTextLines TTextLines::Split(const QByteArray &bytes)
{
    TTextLines file;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        file.Bom = bytes.left(3);
    } else if (bytes.startsWith("\xFF\xFE")) {
        file.Bom = bytes.left(2);
        file.Encoding = TTextEncoding::Utf16LE;
    } else if (bytes.startsWith("\xFE\xFF")) {
        file.Bom = bytes.left(2);
        file.Encoding = TTextEncoding::Utf16BE;
    }
    const int width = unitWidth(file.Encoding);

    // Lines by their ends, in code units of the encoding; an odd byte at the end of a
    // UTF-16 file stays with the last line.
    const qsizetype n = bytes.size();
    qsizetype start = file.Bom.size();
    qsizetype at = start;
    while (at + width <= n) {
        const char16_t unit = unitAt(bytes, at, file.Encoding);
        if (unit != u'\r' && unit != u'\n') {
            at += width;
            continue;
        }
        qsizetype next = at + width;
        if (unit == u'\r' && next + width <= n && unitAt(bytes, next, file.Encoding) == u'\n')
            next += width;
        TTextLine line;
        line.Bytes = bytes.mid(start, at - start);
        line.End = bytes.mid(at, next - at);
        file.Lines.push_back(line);
        start = at = next;
    }
    if (start < n) {
        TTextLine last;
        last.Bytes = bytes.mid(start);
        file.Lines.push_back(last);
    }
    const auto ended =
        std::find_if(file.Lines.cbegin(), file.Lines.cend(), [](const TTextLine &line) { return !line.End.isEmpty(); });
    file.LineEnd = ended != file.Lines.cend() ? ended->End : *EncodeText(QStringLiteral("\n"), file.Encoding);

    // An 8-bit file is Windows-1251 when most of its non-ASCII lines are not UTF-8.
    if (width == 1) {
        int utf8 = 0;
        int other = 0;
        for (const TTextLine &line : file.Lines)
            if (!isAscii(line.Bytes))
                ++(IsValidUtf8(line.Bytes) ? utf8 : other);
        if (file.Bom.isEmpty() && other > utf8)
            file.Encoding = TTextEncoding::Windows1251;
    }
    for (TTextLine &line : file.Lines) {
        line.Encoding = file.Encoding;
        if (line.Encoding == TTextEncoding::Utf8 && !IsValidUtf8(line.Bytes))
            line.Encoding = TTextEncoding::Windows1251;
        line.Text = decode(line.Bytes, line.Encoding);
        line.Damaged = std::any_of(line.Text.cbegin(), line.Text.cend(), isControl);
    }
    return file;
}

QByteArray TTextLines::Join() const
{
    QByteArray bytes = Bom;
    for (const TTextLine &line : Lines)
        bytes += line.Bytes + line.End;
    return bytes;
}

bool TTextLines::IsText() const
{
    return std::none_of(Lines.cbegin(), Lines.cend(), [](const TTextLine &line) { return line.Damaged; });
}

std::optional<TTextLine> TTextLines::MakeLine(const QString &text) const
{
    std::optional<QByteArray> bytes = EncodeText(text, Encoding);
    if (!bytes)
        return std::nullopt;
    return TTextLine{*bytes, LineEnd, text, Encoding, std::any_of(text.cbegin(), text.cend(), isControl)};
}

QString DecodeTextFile(const QByteArray &bytes)
{
    // Line by line: a stray byte costs its own line, never the whole file.
    const TTextLines file = TTextLines::Split(bytes);
    QString text;
    text.reserve(bytes.size());
    for (const TTextLine &line : file.Lines)
        text += line.Text + decode(line.End, file.Encoding);
    return text;
}
