#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <sys/mount.h>

namespace tabi::test {

// A 64 KB tmpfs mounted on a temporary folder while the object lives, so that a full disk is a real one.
// Mounting needs the superuser; where it is not allowed, mounted() is false and the test skips.
class SmallDisk {
public:
    SmallDisk() {
        if (m_dir.isValid())
            m_mounted =
                ::mount("tabiroku-test", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallDisk() {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

    // Takes every free block with a filler file; what is already there stays.
    void fill() {
        QFile filler(file(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(1024, 'x');
        while (filler.write(block) == block.size()) {
        }
    }
    // Every name in the folder but the filler: what a failed write must not leave behind.
    QStringList names() const {
        QStringList list = QDir(path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        list.removeAll(QStringLiteral("filler"));
        return list;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

} // namespace tabi::test
