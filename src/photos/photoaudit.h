#pragma once

#include "data/database.h"

#include <QList>
#include <QSize>
#include <QString>
#include <memory>

// The steps of the photo file list (CFM_FILES of the reference database). Each step works through cursors of its
// own inside one transaction: a step that fails part-way leaves the list as it was and throws tabi::Error.
namespace tabi::photos {

using Db = std::shared_ptr<Database>;

// The size every photo should have; others are remarked.
inline constexpr int kPhotoWidth = 420;
inline constexpr int kPhotoHeight = 280;

// The remark of a photo file whose name is not UTF-8 (a card written under another character set): it is listed
// under the name its bytes allow, and keeps the remark when its route is looked up.
inline const QString kUnreadableName = QStringLiteral("名前を読めません");

// A file name as text: UTF-8 as it is; a name that is not UTF-8 keeps its well-formed characters and shows every
// other byte as \xNN (upper-case hex), and readable is set false.
QString shownFileName(const QByteArray& name, bool* readable = nullptr);

struct FolderPhoto {
    QString name; // as shownFileName gives it
    bool nameReadable = true;
    QSize size; // as photoFileSize gives it
};
// The "*.JPG" files (any case) of the folder, by name: regular files only (a symbolic link to one counts); FIFOs,
// sockets, devices and folders of that name are left out, and nothing is opened in a way that could wait.
QList<FolderPhoto> listPhotoFiles(const QString& folder);

// Width and height of a JPEG file from its header alone; 0 × 0 when the file cannot be opened or is not a
// JPEG, or not a regular file. A side beyond the 16-bit range of the list is given as 32,767.
QSize photoFileSize(const QString& path);

void clearPhotoFileList(const Db& ref); // Z: every row deleted
// F: one row per "*.JPG" file (any case) of the folder (a separator is added when it has none): name, size, the
// route code of the first six characters of the name, and the size remark (or the remark of a name that cannot
// be read). A folder that does not exist (or an empty name) adds nothing.
void scanPhotoFolder(const Db& ref, const QString& folder);
void completePhotoFileList(const Db& ref);  // R: route name and operator of every row
void keepRemarkedPhotoFiles(const Db& ref); // X: rows without a remark deleted

} // namespace tabi::photos
