#pragma once
// Reads the resources of a Windows executable or library file (PE format,
// 32- and 64-bit) without loading it. The file is mapped read-only and its
// resource directory is presented as a tree: the root list holds one item per
// resource type, each type item's List one item per resource name or number.
// Items decode their own kind of resource (icons, cursors, bitmaps, string
// tables, menus).
//
// Every offset and size taken from the file is checked against the file
// before it is read; a damaged file raises EExeError, never reads outside it.
// Each resource directory is read once and the entries of one file are
// capped, so a damaged tree is read in time bounded by the file's size.
// Items and lists are created lazily and belong to the image: they and every
// byte array handed out by RawData() are valid only while the image lives.
#include "Core/Exceptions.h"
#include "Files/uResourceTypes.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QIODevice;
class QImage;

ZANDRELL_EXCEPTION_CLASS(EExeError, Exception)

class TResourceItem;
class TResourceList;

class TExeImage {
public:
    // The most items and group references one file may have: far more than
    // any real file carries, and few enough to read in a few milliseconds.
    static constexpr qint64 kMaxResourceEntries = 0x10000;

    // Opens and maps the file and checks its headers; raises EExeError.
    explicit TExeImage(const QString &fileName);
    // The same checks over bytes already in memory; no file is opened.
    TExeImage(const QByteArray &bytes, const QString &fileName);
    ~TExeImage();
    TExeImage(const TExeImage &) = delete;
    TExeImage &operator=(const TExeImage &) = delete;

    const QString &FileName() const { return m_fileName; }
    // The root list, one item per resource type; raises "No resources in this file."
    TResourceList *Resources();
    // True when the file has a resource section; never raises.
    bool HasResources();
    // The type items of the single icon and cursor images (types 3 and 1);
    // null until the root list has been built, or when the file has none.
    TResourceItem *IconImages() const { return m_iconImages; }
    TResourceItem *CursorImages() const { return m_cursorImages; }

    qint64 NtHeaders() const { return m_ntHeaders; }
    // True for a 64-bit (PE32+) file.
    bool IsPE32Plus() const { return m_pe32Plus; }
    // File offset of the resource section's raw data and its virtual address.
    qint64 ResourceBase() const { return m_resourceBase; }
    quint32 ResourceVirtualAddress() const { return m_resourceVirtualAddress; }

    // Bounds-checked access to the file's bytes. `what` names the structure in
    // the error raised when it does not lie inside the file.
    qint64 Size() const { return m_size; }
    bool Contains(qint64 offset, qint64 length) const;
    void Require(qint64 offset, qint64 length, const char *what) const;
    quint16 U16(qint64 offset, const char *what) const;
    quint32 U32(qint64 offset, const char *what) const;
    // The bytes without a copy; valid while the image lives.
    QByteArray Bytes(qint64 offset, qint64 length, const char *what) const;

    // Every list item and group reference costs one unit of a fixed budget,
    // so that reading any file takes bounded time.
    void ChargeNodes(qint64 count);
    // Notes that the directory at that offset is listed; one listed before
    // (directories pointing into each other) raises EExeError.
    void ListDirectory(qint64 directory);
    // Images of type 3 or 1 by their number, in list order, for the groups.
    const QList<TResourceItem *> &ImagesWithId(TResourceItem *imageType, quint32 id);

private:
    friend class TResourceList;
    void Open();
    void CheckHeaders();
    void FindResourceSection();
    void SearchSectionTable();
    void SetImageTypeItems(TResourceItem *iconImages, TResourceItem *cursorImages);

    QString m_fileName;
    QFile m_file;
    QByteArray m_bytes; // the bytes when the image was made from memory
    const uchar *m_view = nullptr;
    qint64 m_size = 0;
    qint64 m_ntHeaders = 0;
    bool m_pe32Plus = false;
    bool m_sectionSearched = false;
    QString m_sectionError;
    qint64 m_resourceBase = -1;
    quint32 m_resourceVirtualAddress = 0;
    qint64 m_nodeBudget = kMaxResourceEntries;
    QSet<qint64> m_listedDirectories;
    std::unique_ptr<TResourceList> m_resources;
    TResourceItem *m_iconImages = nullptr;
    TResourceItem *m_cursorImages = nullptr;
    QHash<TResourceItem *, QHash<quint32, QList<TResourceItem *>>> m_imagesById;
};

class TResourceList {
public:
    // A list over the resource directory at `directory` (a file offset). The
    // parent is the list holding the item that owns this one (none for the root).
    TResourceList(TExeImage &image, qint64 directory, quint32 resType, const TResourceList *parent);
    virtual ~TResourceList();
    TResourceList(const TResourceList &) = delete;
    TResourceList &operator=(const TResourceList &) = delete;

    int Count();
    TResourceItem *Items(int index);

    TExeImage &Image() const { return m_image; }
    qint64 Directory() const { return m_directory; }
    quint32 ResType() const { return m_resType; }
    bool IsRoot() const { return m_isRoot; }
    int Depth() const { return m_depth; }

protected:
    // The list of a group has no directory of its own and no parent.
    struct GroupTag {};
    TResourceList(TExeImage &image, qint64 groupData, GroupTag);
    virtual void BuildItems();
    void Build();

    TExeImage &m_image;
    qint64 m_directory;
    quint32 m_resType;
    const TResourceList *m_parent;
    int m_depth = 0;
    bool m_isRoot = false;
    bool m_built = false;
    std::vector<std::unique_ptr<TResourceItem>> m_owned;
    QList<TResourceItem *> m_items;
};

// The images of an icon group: refers to the items of the icon-image type.
class TIconResourceList : public TResourceList {
public:
    TIconResourceList(TExeImage &image, qint64 groupData, quint32 groupSize);

protected:
    void BuildItems() override;
    virtual TResourceItem *ImageType() const;
    virtual void Attach(TResourceItem *image, qint64 groupEntry);
    quint32 m_groupSize;
};

// The images of a cursor group: refers to the items of the cursor-image type.
class TCursorResourceList : public TIconResourceList {
public:
    using TIconResourceList::TIconResourceList;

protected:
    TResourceItem *ImageType() const override;
    void Attach(TResourceItem *image, qint64 groupEntry) override;
};

class TResourceItem {
public:
    TResourceItem(TResourceList &owner, qint64 dirEntry);
    virtual ~TResourceItem();
    TResourceItem(const TResourceItem &) = delete;
    TResourceItem &operator=(const TResourceItem &) = delete;

    virtual QString Name() const;
    // The sub-list; raises "ResourceItem is not a list" when the item is not one.
    virtual TResourceList *List();
    virtual bool IsList() const;
    // Writes the item's data: the raw bytes, or a file of its kind.
    virtual void SaveToStream(QIODevice &stream) const;
    // Decodes the item into a picture or into lines of text; an item that
    // cannot raises EConvertError.
    virtual void AssignTo(QImage &picture) const;
    virtual void AssignTo(QStringList &lines) const;
    virtual const char *ClassName() const { return "TResourceItem"; }

    TResourceList &Owner() const { return m_owner; }
    TExeImage &Image() const { return m_owner.Image(); }
    qint64 DirEntry() const { return m_dirEntry; }
    // The entry's name field taken whole; IsNamed when its high bit is set.
    quint32 EntryName() const;
    bool IsNamed() const { return (EntryName() & 0x80000000u) != 0; }
    quint32 ResType() const { return m_owner.ResType(); }
    // File offset of the resource bytes (-1 for a list), their size (0 for a
    // list), and the bytes themselves without a copy.
    qint64 RawOffset() const;
    quint32 RawSize() const;
    QByteArray RawData() const;

protected:
    // Where the entry points: a directory (true) or straight at a data entry.
    bool PointsToDirectory() const;
    qint64 SubDirectory() const;
    // The data entry of the item's first language; -1 when there is none
    // because the item is a list.
    qint64 DataEntry() const;
    // The general rule for Name: the stored name or the number in decimal.
    QString EntryNameText() const;
    [[noreturn]] void CannotAssignTo(const char *target) const;

    TResourceList &m_owner;
    qint64 m_dirEntry;
    std::unique_ptr<TResourceList> m_list;
};

// An icon group (type 14): its List holds the group's images.
class TIconResource : public TResourceItem {
public:
    using TResourceItem::TResourceItem;
    TResourceList *List() override;
    bool IsList() const override { return true; }
    const char *ClassName() const override { return "TIconResource"; }

protected:
    virtual std::unique_ptr<TResourceList> MakeGroupList() const;
};

// A cursor group (type 12).
class TCursorResource : public TIconResource {
public:
    using TIconResource::TIconResource;
    const char *ClassName() const override { return "TCursorResource"; }

protected:
    std::unique_ptr<TResourceList> MakeGroupList() const override;
};

// One icon image (type 3).
class TIconResEntry : public TResourceItem {
public:
    using TResourceItem::AssignTo;
    using TResourceItem::TResourceItem;
    QString Name() const override;
    void SaveToStream(QIODevice &stream) const override;
    void AssignTo(QImage &picture) const override;
    const char *ClassName() const override { return "TIconResEntry"; }

    // File offset of the 14-byte group entry describing the image; -1 until
    // the image is reached through an icon group.
    qint64 GroupEntry() const { return m_groupEntry; }
    void SetGroupEntry(qint64 groupEntry) { m_groupEntry = groupEntry; }
    // Width and height as the group entry gives them (an empty size without one).
    virtual QSize GroupImageSize() const;

protected:
    bool IsCursorImage() const { return ResType() != rtIconEntry; }
    qint64 m_groupEntry = -1;
};

// One cursor image (type 1); its group entry is the cursor-group layout.
class TCursorResEntry : public TIconResEntry {
public:
    using TIconResEntry::TIconResEntry;
    QString Name() const override;
    const char *ClassName() const override { return "TCursorResEntry"; }
    QSize GroupImageSize() const override;

    qint64 CursorGroupEntry() const { return m_cursorGroupEntry; }
    void SetCursorGroupEntry(qint64 groupEntry) { m_cursorGroupEntry = groupEntry; }

private:
    qint64 m_cursorGroupEntry = -1;
};

// A bitmap (type 2): saved as a bitmap file.
class TBitMapResource : public TResourceItem {
public:
    using TResourceItem::AssignTo;
    using TResourceItem::TResourceItem;
    void SaveToStream(QIODevice &stream) const override;
    void AssignTo(QImage &picture) const override;
    const char *ClassName() const override { return "TBitMapResource"; }

    // The 14-byte file header that makes the resource bytes a bitmap file.
    QByteArray FileHeader() const;
};

// A string-table block (type 6): lines `id,  "text"`.
class TStringResource : public TResourceItem {
public:
    using TResourceItem::AssignTo;
    using TResourceItem::TResourceItem;
    void AssignTo(QStringList &lines) const override;
    const char *ClassName() const override { return "TStringResource"; }
};

// A menu (type 4): lines in the form of a resource script. Both templates:
// the classic one (header version 0) and the extended one (version 1), whose
// items also list their identifier, type and state.
class TMenuResource : public TResourceItem {
public:
    using TResourceItem::AssignTo;
    using TResourceItem::TResourceItem;
    void AssignTo(QStringList &lines) const override;
    const char *ClassName() const override { return "TMenuResource"; }
};

// Decodes one icon or cursor image (a device-independent bitmap with its
// mask, or a PNG); a cursor's data starts with its 4-byte hot spot. Raises
// EExeError for data that is not an image.
QImage DecodeIconImage(const QByteArray &data, bool cursor);
