#pragma once
// Small helpers shared by the tests of the executable-image reader.
#include "Files/uPE32Image.h"
#include "tests/common/TestFiles.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <functional>

// Writes bytes to a file of the folder and returns its path.
inline QString WriteTestFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    if (!WriteBytes(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The message of the error of class E that the call raises; "<none>" when it raises none.
template <typename E>
QString MessageOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const E &e) {
        return e.message();
    }
    return QStringLiteral("<none>");
}

inline QString ExeErrorOf(const std::function<void()> &call) { return MessageOf<EExeError>(call); }

// The item of the root list with the given Name, or null.
inline TResourceItem *TypeNamed(TExeImage &image, const QString &name)
{
    TResourceList *types = image.Resources();
    for (int i = 0; i < types->Count(); ++i)
        if (types->Items(i)->Name() == name)
            return types->Items(i);
    return nullptr;
}

// The Names of a list's items, in order.
inline QStringList NamesOf(TResourceList *list)
{
    QStringList names;
    for (int i = 0; i < list->Count(); ++i)
        names.append(list->Items(i)->Name());
    return names;
}
