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

// The reason for a failed system call, in Japanese where the cause is one a user can act on, followed by the
// system's own text: "ディスクの空き容量が足りません。(No space left on device)".
QString reasonText(int error);

// The steps of replaceFile, in order.
enum class WriteStep { Create, Write, Sync, Close, Rename };
// Tests: every later replaceFile fails at this step with this errno, as the system would; nullopt stops it.
void injectFailure(std::optional<WriteStep> step, int error = 0);

} // namespace tabi::files
