#pragma once

#include "data/database.h"

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

// Width and height of a JPEG file from its header alone; 0 × 0 when the file cannot be opened or is not a
// JPEG. A side beyond the 16-bit range of the list is given as 32,767.
QSize photoFileSize(const QString& path);

void clearPhotoFileList(const Db& ref); // Z: every row deleted
// F: one row per "*.JPG" file (any case) of the folder (a separator is added when it has none): name, size, the
// route code of the first six characters of the name, and the size remark. A folder that does not exist (or an
// empty name) adds nothing.
void scanPhotoFolder(const Db& ref, const QString& folder);
void completePhotoFileList(const Db& ref);  // R: route name and operator of every row
void keepRemarkedPhotoFiles(const Db& ref); // X: rows without a remark deleted

} // namespace tabi::photos
