#pragma once
// What the versions window shows of a file: its name, size, creation and
// last-change times from the file system, and three strings of its version
// resource (the 041904E3 block: Russian, code page 1251).
//
// TFileVersion keeps them as lines "name=value" (the two times as
// "name= value"); TFileVersionMgr holds the file names and one TFileVersion
// per name. A file that cannot be read is reported in a message box and keeps
// only the lines read before the failure.
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// One column of the versions window: caption (translated when shown), value name, width in
// pixels, and the caption's English for a session in another language than Russian.
struct TFieldDef {
    const char *Caption;
    const char *Name;
    int Width;
    const char *EnCaption;
};

constexpr int kFileVersionFieldCount = 7;

// The column table, index 0..6.
const TFieldDef &FileVersionField(int index);
// A column's caption in the session's language (the language pack's text where it has one).
QString FileVersionCaption(int index);

// The block of the version resource that is read.
inline constexpr const char *kVersionBlock = "041904E3";

// A file size in the session's language ("#,##": grouped digits, 0 gives an empty text).
QString FormatFileSize(quint64 size);
// The session's date (Core/SessionLocale.h), a blank, and its short time; never the process's LANG.
QString FormatFileTime(const QDateTime &time);

class TFileVersion {
public:
    explicit TFileVersion(const QString &fileName);

    // Fills Values; true when the version part was reached without an error.
    bool FormVersionData(const QString &fileName);

    int LineCount() const { return int(Values.size()); }
    // The value of a line "name=value"; empty when there is no such line.
    QString Value(const QString &name) const;

    QStringList Values;
    quint32 FileSize = 0; // the low half of the size
    QDateTime CreationTime;
    QDateTime LastWriteTime;
    QString FileName;
    // 0: no version resource; 3: read, no special key; 1: SpecialBuild; 2: PrivateBuild (wins over 1).
    quint8 BuildKind = 0;

private:
    void ReadFileFacts(const QString &fileName);
    void ReadVersionStrings(const QString &fileName);
};

class TFileVersionMgr {
public:
    TFileVersionMgr();
    ~TFileVersionMgr();
    TFileVersionMgr(const TFileVersionMgr &) = delete;
    TFileVersionMgr &operator=(const TFileVersionMgr &) = delete;

    // Reads every file of FileNames again, in order.
    void Refresh();
    TFileVersion *Items(int index) const;
    int Count() const { return int(m_items.size()); }
    int FieldCount() const { return kFileVersionFieldCount; }
    static const TFieldDef &Fields(int index) { return FileVersionField(index); }

    QStringList FileNames;

private:
    std::vector<std::unique_ptr<TFileVersion>> m_items;
};
