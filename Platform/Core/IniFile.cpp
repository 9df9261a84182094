#include "IniFile.h"

#include "Exceptions.h"
#include "TextCodec.h"

#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>

#include <limits>
#include <vector>

namespace {

struct KeyEntry {
    QString key;
    QString value;
    QString raw;
    int line;
};

struct Section {
    QString name;
    int headerLine;
    std::vector<KeyEntry> keys;
};

bool sameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QString unquote(QString value)
{
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        return value.mid(1, value.size() - 2);
    return value;
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(text.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

void checkName(const QString &what, const QString &name, const QString &fileName)
{
    if (name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')))
        throw EIniFileError(QStringLiteral("%1: the %2 \"%3\" holds a line break").arg(fileName, what, name));
}

} // namespace

struct TIniFile::Document {
    QStringList lines;
    std::vector<Section> sections;
    QString lineEnd = QStringLiteral("\n");
    bool truncated = false;
    bool exists = false;
    // Identity of the file that was read: a rename gives a new inode, a write a new time.
    qint64 size = -1;
    qint64 mtimeNs = 0;
    quint64 inode = 0;

    void parse()
    {
        sections.clear();
        Section *current = nullptr;
        for (int i = 0; i < lines.size(); ++i) {
            const QString line = lines.at(i).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
                continue;
            if (line.startsWith(QLatin1Char('['))) {
                qsizetype close = line.indexOf(QLatin1Char(']'));
                if (close < 0)
                    close = line.size();
                sections.push_back(Section{line.mid(1, close - 1).trimmed(), i, {}});
                current = &sections.back();
                continue;
            }
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (!current || eq < 0)
                continue;
            const QString key = line.left(eq).trimmed();
            if (key.isEmpty())
                continue;
            const QString raw = line.mid(eq + 1).trimmed();
            current->keys.push_back(KeyEntry{key, unquote(raw), raw, i});
        }
    }

    // The first section of that name counts, as with the Windows functions.
    const Section *find(const QString &name) const
    {
        for (const Section &s : sections)
            if (sameName(s.name, name))
                return &s;
        return nullptr;
    }

    static const KeyEntry *findKey(const Section &s, const QString &key)
    {
        for (const KeyEntry &k : s.keys)
            if (sameName(k.key, key))
                return &k;
        return nullptr;
    }

    QByteArray serialize() const
    {
        QString text;
        for (const QString &line : lines) {
            text += line;
            text += lineEnd;
        }
        return text.toUtf8();
    }
};

TIniFile::TIniFile(QString fileName) : m_fileName(std::move(fileName)) {}
TIniFile::~TIniFile() = default;

const TIniFile::Document &TIniFile::load() const
{
    struct stat st {};
    const bool exists = ::stat(QFile::encodeName(m_fileName).constData(), &st) == 0 && S_ISREG(st.st_mode);
    const qint64 mtimeNs = exists ? qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec : 0;
    if (m_cache && m_cache->exists == exists &&
        (!exists || (m_cache->size == st.st_size && m_cache->mtimeNs == mtimeNs && m_cache->inode == st.st_ino)))
        return *m_cache;

    auto doc = std::make_unique<Document>();
    doc->exists = exists;
    if (exists) {
        doc->size = st.st_size;
        doc->mtimeNs = mtimeNs;
        doc->inode = st.st_ino;
        QFile file(m_fileName);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.read(kMaxFileSize);
            doc->truncated = !file.atEnd();
            const QString text = DecodeTextFile(bytes);
            doc->lines = splitLines(text);
            const qsizetype firstEnd = text.indexOf(QLatin1Char('\n'));
            if (firstEnd > 0 && text.at(firstEnd - 1) == QLatin1Char('\r'))
                doc->lineEnd = QStringLiteral("\r\n");
        }
    }
    doc->parse();
    m_cache = std::move(doc);
    return *m_cache;
}

TIniFile::Document TIniFile::loadForWrite() const
{
    const Document &current = load();
    if (current.truncated)
        throw EIniFileError(QStringLiteral("\"%1\" is larger than %2 bytes and is not rewritten")
                                .arg(m_fileName)
                                .arg(kMaxFileSize));
    Document copy;
    copy.lines = current.lines;
    copy.lineEnd = current.lineEnd;
    copy.parse();
    return copy;
}

void TIniFile::save(const Document &doc)
{
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EIniFileError(QStringLiteral("\"%1\" cannot be written: %2").arg(m_fileName, file.errorString()));
    const QByteArray bytes = doc.serialize();
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw EIniFileError(QStringLiteral("\"%1\" cannot be written: %2").arg(m_fileName, file.errorString()));
    m_cache.reset();
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const Document &doc = load();
    if (const Section *s = doc.find(section))
        if (const KeyEntry *k = Document::findKey(*s, key))
            return k->value;
    return defaultValue;
}

QString TIniFile::ReadRawString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const Document &doc = load();
    if (const Section *s = doc.find(section))
        if (const KeyEntry *k = Document::findKey(*s, key))
            return k->raw;
    return defaultValue;
}

int TIniFile::ProfileInt(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-'))) {
        negative = t.at(i) == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i + 1 < t.size() && t.at(i) == QLatin1Char('0') &&
        (t.at(i + 1) == QLatin1Char('x') || t.at(i + 1) == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    auto digitOf = [](QChar c) -> int {
        const char16_t u = c.unicode();
        if (u >= '0' && u <= '9')
            return u - '0';
        if (u >= 'a' && u <= 'f')
            return u - 'a' + 10;
        if (u >= 'A' && u <= 'F')
            return u - 'A' + 10;
        return -1;
    };
    qint64 value = 0;
    for (; i < t.size(); ++i) {
        const int digit = digitOf(t.at(i));
        if (digit < 0 || digit >= base)
            break;
        value = value * base + digit;
        if (value > std::numeric_limits<quint32>::max())
            value = std::numeric_limits<quint32>::max();
    }
    if (negative)
        value = -value;
    // The API returns an unsigned 32-bit value; as a signed integer it wraps.
    return static_cast<int>(static_cast<quint32>(value));
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    const Document &doc = load();
    if (const Section *s = doc.find(section))
        if (const KeyEntry *k = Document::findKey(*s, key))
            return ProfileInt(k->value);
    return defaultValue;
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    checkName(QStringLiteral("section"), section, m_fileName);
    checkName(QStringLiteral("key"), key, m_fileName);
    checkName(QStringLiteral("value"), value, m_fileName);
    if (key.trimmed().isEmpty() || key.contains(QLatin1Char('=')))
        throw EIniFileError(QStringLiteral("%1: \"%2\" is not a valid key name").arg(m_fileName, key));
    if (section.contains(QLatin1Char(']')))
        throw EIniFileError(QStringLiteral("%1: \"%2\" is not a valid section name").arg(m_fileName, section));

    Document doc = loadForWrite();
    const QString line = key.trimmed() + QLatin1Char('=') + value;
    if (const Section *s = doc.find(section)) {
        if (const KeyEntry *k = Document::findKey(*s, key)) {
            doc.lines[k->line] = line;
        } else {
            // After the section's last non-blank line, so that a blank separator line stays last.
            int at = s->headerLine;
            const int next = [&] {
                for (const Section &other : doc.sections)
                    if (other.headerLine > s->headerLine)
                        return other.headerLine;
                return static_cast<int>(doc.lines.size());
            }();
            for (int i = s->headerLine + 1; i < next; ++i)
                if (!doc.lines.at(i).trimmed().isEmpty())
                    at = i;
            doc.lines.insert(at + 1, line);
        }
    } else {
        if (!doc.lines.isEmpty() && !doc.lines.last().trimmed().isEmpty())
            doc.lines.append(QString());
        doc.lines.append(QLatin1Char('[') + section.trimmed() + QLatin1Char(']'));
        doc.lines.append(line);
    }
    save(doc);
}

void TIniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::DeleteKey(const QString &section, const QString &key)
{
    const Document &current = load();
    const Section *s = current.find(section);
    if (!s || !Document::findKey(*s, key))
        return;
    Document doc = loadForWrite();
    const KeyEntry *k = Document::findKey(*doc.find(section), key);
    doc.lines.removeAt(k->line);
    save(doc);
}

void TIniFile::EraseSection(const QString &section)
{
    if (!load().find(section))
        return;
    Document doc = loadForWrite();
    const Section *s = doc.find(section);
    int end = static_cast<int>(doc.lines.size());
    for (const Section &other : doc.sections)
        if (other.headerLine > s->headerLine) {
            end = other.headerLine;
            break;
        }
    doc.lines.erase(doc.lines.begin() + s->headerLine, doc.lines.begin() + end);
    save(doc);
}

QStringList TIniFile::ReadSection(const QString &section) const
{
    QStringList keys;
    if (const Section *s = load().find(section))
        for (const KeyEntry &k : s->keys) {
            bool seen = false;
            for (const QString &have : keys)
                if (sameName(have, k.key)) {
                    seen = true;
                    break;
                }
            if (!seen)
                keys.append(k.key);
        }
    return keys;
}

QStringList TIniFile::ReadSections() const
{
    QStringList names;
    for (const Section &s : load().sections) {
        bool seen = false;
        for (const QString &have : names)
            if (sameName(have, s.name)) {
                seen = true;
                break;
            }
        if (!seen)
            names.append(s.name);
    }
    return names;
}

bool TIniFile::SectionExists(const QString &section) const { return load().find(section) != nullptr; }

bool TIniFile::ValueExists(const QString &section, const QString &key) const
{
    const Section *s = load().find(section);
    return s && Document::findKey(*s, key);
}
