#pragma once
// Builds PE files byte by byte for the reader's tests: DOS header, PE
// headers of a 32-bit (PE32) or 64-bit (PE32+) file, a section table with a
// code section and the resource section, and the resource directory with
// its names, data entries and data. Helpers make the data of icon and cursor
// images and groups, bitmaps, string tables, menus and version resources.
//
// Build() also reports where everything landed (PeLayout), so that tests can
// damage a file at a known place.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QRgb>
#include <QString>
#include <QStringList>

// A resource type or name: a number, or a text when `name` is not empty.
struct ResId {
    quint32 id = 0;
    QString name;
    ResId(int number) : id(quint32(number)) {}
    ResId(const char *text) : name(QString::fromUtf8(text)) {}
    ResId(const QString &text) : name(text) {}
    bool IsNamed() const { return !name.isEmpty(); }
    bool operator==(const ResId &other) const { return id == other.id && name == other.name; }
};

// Where the builder put things: file offsets.
struct PeLayout {
    qint64 ntHeaders = 0;
    qint64 sectionTable = 0;
    qint64 resourceSection = 0; // the root directory
    struct Type {
        ResId id = 0;
        qint64 entry = 0;     // its entry in the root directory
        qint64 directory = 0; // its directory of names
    };
    struct Resource {
        ResId type = 0;
        ResId name = 0;
        qint64 languageDirectory = 0; // the directory below the name
        qint64 dataEntry = 0;
        qint64 data = 0;
        qint64 nameString = -1; // the stored name of a named resource
    };
    QList<Type> types;
    QList<Resource> resources;

    const Type &TypeOf(const ResId &id) const;
    const Resource &Find(const ResId &type, const ResId &name) const;
};

// One image of an icon group: size and colour depth of the bitmap, and the
// colour count the group entry states (0 for more than 256 colours); written
// with designated initialisers: {.width = 16, .height = 16, .bitCount = 24}.
struct IconSpec {
    int width = 32;
    int height = 32;
    int bitCount = 4;
    int groupColours = 16;
    QRgb colour = qRgb(255, 0, 0);
};

struct MenuItemSpec {
    quint16 flags = 0; // 0x10 popup, 0x80 last item of its menu
    quint16 id = 0;    // not stored for a popup
    QString text;
};

// One item of an extended menu template (MENUEX).
struct MenuExItemSpec {
    quint32 type = 0;  // 0x800 separator
    quint32 state = 0; // 0x3 grayed, 0x8 checked
    quint32 id = 0;
    quint16 flags = 0; // 0x01 pop-up (its items follow), 0x80 last item of its menu
    QString text;
    quint32 helpId = 0; // stored for a pop-up only
};

struct VersionTableSpec {
    QString key; // "041904E3"
    QList<QPair<QString, QString>> strings;
};

class PeBuilder {
public:
    bool pe32Plus = false;
    QString sectionName = QStringLiteral(".rsrc");
    bool withResourceSection = true;
    // Puts the resource section first in the section table instead of last.
    bool resourceSectionFirst = false;

    void Add(const ResId &type, const ResId &name, const QByteArray &data, quint16 language = 0x0419);

    // An icon group `name` (type 14) and its images (type 3) numbered from firstId.
    void AddIconGroup(const ResId &name, const QList<IconSpec> &images, quint16 firstId);
    // A cursor group (type 12) and its images (type 1), black and white.
    void AddCursorGroup(const ResId &name, const QList<QPair<int, int>> &sizes, quint16 firstId);

    QByteArray Build(PeLayout *layout = nullptr) const;

    static QByteArray IconImage(const IconSpec &spec);
    static QByteArray IconGroup(const QList<IconSpec> &images, quint16 firstId);
    static QByteArray CursorImage(int width, int height, quint16 hotX, quint16 hotY);
    static QByteArray CursorGroup(const QList<QPair<int, int>> &sizes, quint16 firstId);
    // A bitmap with a 40-byte header (or a 12-byte core header) and `used`
    // colours in its table (0: the full palette for its depth).
    static QByteArray Bitmap(int width, int height, int bitCount, quint32 used = 0, quint32 headerSize = 40);
    // A string-table block; missing strings are empty.
    static QByteArray StringBlock(const QStringList &strings);
    static QByteArray Menu(const QList<MenuItemSpec> &items);
    // An extended menu template (header version 1), laid out as resource compilers write it.
    static QByteArray MenuEx(const QList<MenuExItemSpec> &items);
    static QByteArray Version(quint32 fileVersionMS, quint32 fileVersionLS, const QList<VersionTableSpec> &tables,
                              const QList<quint32> &translations = {});

    // Little-endian patching of built files.
    static void PutU16(QByteArray &bytes, qint64 offset, quint16 value);
    static void PutU32(QByteArray &bytes, qint64 offset, quint32 value);

private:
    struct Entry {
        ResId type;
        ResId name;
        quint16 language;
        QByteArray data;
    };
    QList<Entry> m_entries;
};
