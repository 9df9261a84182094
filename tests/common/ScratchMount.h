#pragma once
// A small tmpfs of a test's own, for a disk that is really full or really
// read-only. Mounting needs root; a test skips when it is not allowed.
#include <QFile>
#include <QTemporaryDir>

#include <sys/mount.h>

class ScratchMount {
public:
    ScratchMount() = default;
    ~ScratchMount()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    ScratchMount(const ScratchMount &) = delete;
    ScratchMount &operator=(const ScratchMount &) = delete;

    // A tmpfs of that many kilobytes on a fresh folder; false when it cannot be mounted.
    bool Mount(int kilobytes)
    {
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0755";
        m_mounted = m_dir.isValid() &&
                    ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, options.constData()) == 0;
        return m_mounted;
    }
    // Makes the mounted file system read-only.
    bool MakeReadOnly()
    {
        return ::mount(nullptr, QFile::encodeName(m_dir.path()).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                       nullptr) == 0;
    }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
