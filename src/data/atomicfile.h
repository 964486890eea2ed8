#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Replacing a file so that it is never seen half-written: the new contents go to a fresh file beside it, are
// synced to the disk and renamed over the old one. Every step is checked; when one fails (a full disk, a
// missing folder, no permission) the old file stays exactly as it was and nothing is left beside it.
namespace tabi::files {

// Throws tabi::Error "<what> <path> に書き込めません。" followed by the reason on a second line. what names
// the kind of file for the user ("設定ファイル", "説明ファイル"). A symbolic link is followed: its target is
// replaced. The new file keeps the old file's permissions; a file that may not be written is not replaced.
// Temporary files that earlier replacements in the same folder left when their process was killed are removed
// first (only names of this function's own form, ".NAME.<pid>-<n>.tmp", of processes that no longer run).
void replaceFile(const QString& path, const QByteArray& bytes, const QString& what);

// The same replacement for a file made piece by piece, too large to be held whole: the checks and the temporary
// file come first (the constructor throws what replaceFile would), the pieces go to the temporary file as they
// come, and commit() syncs it and renames it over the old file. A replacement destroyed before commit() leaves
// the old file as it was and removes its temporary file.
class Replacement {
public:
    Replacement(const QString& path, const QString& what);
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    void write(const char* data, qsizetype size);
    void write(const QByteArray& bytes) { write(bytes.constData(), bytes.size()); }
    void commit();

private:
    QString m_path, m_what;
    QByteArray m_final, m_dir, m_temp;
    int m_fd = -1;
};

// The reason for a failed system call, in Japanese where the cause is one a user can act on, followed by the
// system's own text: "ディスクの空き容量が足りません。(No space left on device)".
QString reasonText(int error);

// The steps of replaceFile, in order.
enum class WriteStep { Create, Write, Sync, Close, Rename };
// Tests: every later replaceFile fails at this step with this errno, as the system would; nullopt stops it.
void injectFailure(std::optional<WriteStep> step, int error = 0);

} // namespace tabi::files
