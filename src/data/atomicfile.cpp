#include "data/atomicfile.h"

#include "data/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tabi::files {

namespace {

std::optional<WriteStep> g_failStep;
int g_failError = 0;

// The injected failure for this step, if any: sets errno and reports true.
bool injected(WriteStep step) {
    if (g_failStep != step)
        return false;
    errno = g_failError;
    return true;
}

// The temporary name of a replacement: ".NAME.<pid>-<n>.tmp". Gives the pid, or 0 for any other name.
pid_t temporaryOwner(const char* name) {
    const size_t len = std::strlen(name);
    if (len < 9 || name[0] != '.' || std::strcmp(name + len - 4, ".tmp") != 0)
        return 0;
    const char* end = name + len - 4;
    const char* dot = end;
    while (dot > name + 1 && dot[-1] != '.')
        --dot;
    if (dot <= name + 2) // no ".NAME." before the number
        return 0;
    qint64 pid = 0;
    const char* p = dot;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        pid = pid * 10 + (*p - '0');
        if (pid > std::numeric_limits<pid_t>::max())
            return 0;
    }
    if (p == dot || p + 1 >= end || *p != '-')
        return 0;
    for (++p; p < end; ++p)
        if (*p < '0' || *p > '9')
            return 0;
    return pid_t(pid);
}

// Removes what replacements killed part-way (kill -9, a power cut) left in the folder: files of the temporary
// naming above, regular and of this user, whose process no longer runs. A file of a process that still runs
// is its replacement in progress. This process writes one file at a time, so none of its own is in progress.
void sweepLeftovers(const QByteArray& folder) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t owner = temporaryOwner(entry->d_name);
        if (owner <= 0)
            continue;
        if (owner != self && (::kill(owner, 0) == 0 || errno != ESRCH))
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid())
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

[[noreturn]] void fail(const QString& what, const QString& path, int error) {
    throw Error(
        QStringLiteral("%1 %2 に書き込めません。\n%3").arg(what, QDir::toNativeSeparators(path), reasonText(error)));
}

} // namespace

QString reasonText(int error) {
    const QString system = QString::fromLocal8Bit(std::strerror(error));
    QString reason;
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        reason = QStringLiteral("ディスクの空き容量が足りません。");
        break;
    case EACCES:
    case EPERM:
        reason = QStringLiteral("書き込む権限がありません。");
        break;
    case EROFS:
        reason = QStringLiteral("読み取り専用の場所です。");
        break;
    case ENOENT:
        reason = QStringLiteral("フォルダーがありません。");
        break;
    case EISDIR:
        reason = QStringLiteral("同じ名前のフォルダーがあります。");
        break;
    case ENOTDIR:
        reason = QStringLiteral("フォルダーの名前が正しくありません。");
        break;
    case EIO:
        reason = QStringLiteral("ディスクの読み書きに失敗しました。");
        break;
    default:
        return system;
    }
    return QStringLiteral("%1(%2)").arg(reason, system);
}

void injectFailure(std::optional<WriteStep> step, int error) {
    g_failStep = step;
    g_failError = error;
}

Replacement::Replacement(const QString& path, const QString& what) : m_path(path), m_what(what) {
    // The file replaced is the link's target, so that the link stays a link.
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink())
        target = info.symLinkTarget();
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir())
        fail(what, path, EISDIR);
    m_final = QFile::encodeName(target);

    struct stat old {};
    const bool existed = ::stat(m_final.constData(), &old) == 0;
    // Only a regular file is replaced: a device, a pipe or a socket given as the name is never swapped for a file.
    if (existed && !S_ISREG(old.st_mode))
        throw Error(QStringLiteral("%1 %2 に書き込めません。\n通常のファイルではありません（装置やパイプなど）。")
                        .arg(what, QDir::toNativeSeparators(path)),
                    ErrorKind::CannotOpen);
    // A file made read-only is not to be replaced, though the rename would be allowed by its folder.
    if (existed && ::access(m_final.constData(), W_OK) != 0)
        fail(what, path, errno);

    // A name of its own beside the file, so that the rename stays within one file system.
    static std::atomic<unsigned> counter{0};
    m_dir = QFile::encodeName(targetInfo.absolutePath());
    const QByteArray base = QFile::encodeName(targetInfo.fileName());
    sweepLeftovers(m_dir);
    for (int attempt = 0; m_fd < 0; ++attempt) {
        const QByteArray name =
            m_dir + "/." + base + "." + QByteArray::number(::getpid()) + "-" + QByteArray::number(counter++) + ".tmp";
        if (injected(WriteStep::Create))
            fail(what, path, errno);
        // Created with the usual mode less the umask, as any new file; an old file's mode is copied below.
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_fd = fd;
            m_temp = name;
        } else if (errno != EEXIST || attempt > 100) {
            fail(what, path, errno);
        }
    }
    if (existed)
        ::fchmod(m_fd, old.st_mode & 07777); // best effort: the owner may differ and then it is refused
}

Replacement::~Replacement() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_temp.isEmpty())
        ::unlink(m_temp.constData());
}

void Replacement::write(const char* data, qsizetype left) {
    if (m_fd < 0)
        fail(m_what, m_path, EBADF);
    while (left > 0) {
        const ssize_t n = injected(WriteStep::Write) ? -1 : ::write(m_fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(m_what, m_path, errno);
        }
        data += n;
        left -= n;
    }
}

void Replacement::commit() {
    if (m_fd < 0)
        fail(m_what, m_path, EBADF);
    // The data must be on the disk before the name points at it; close() may report a deferred write error.
    if (injected(WriteStep::Sync) || ::fsync(m_fd) != 0)
        fail(m_what, m_path, errno);
    const int fd = m_fd;
    m_fd = -1;
    if (injected(WriteStep::Close)) {
        const int error = errno;
        ::close(fd);
        fail(m_what, m_path, error);
    }
    if (::close(fd) != 0)
        fail(m_what, m_path, errno);
    if (injected(WriteStep::Rename) || ::rename(m_temp.constData(), m_final.constData()) != 0)
        fail(m_what, m_path, errno);
    m_temp.clear();

    // Make the rename itself durable. The new contents are in place already, so a failure here is not one the
    // user could act on.
    const int dirFd = ::open(m_dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

void replaceFile(const QString& path, const QByteArray& bytes, const QString& what) {
    Replacement file(path, what);
    file.write(bytes);
    file.commit();
}

} // namespace tabi::files
