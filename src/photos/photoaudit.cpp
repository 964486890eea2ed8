#include "photos/photoaudit.h"

#include "data/error.h"
#include "data/routenames.h"
#include "data/statements.h"
#include "data/stepcursor.h"
#include "photos/jpegdecoder.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tabi::photos {

namespace {

const QString kList = QStringLiteral("CFM_FILES");
const QString kOrder = QStringLiteral("FILE_NAME");

// The markers, the frame header and the tables before the first frame fit in this much of an ordinary photo; a
// file whose header runs on (large embedded profiles or thumbnails) is read whole, up to kMaxHeaderFile.
constexpr qint64 kHeaderPrefix = 64 * 1024;
constexpr qint64 kMaxHeaderFile = 256 * 1024 * 1024;

constexpr int kMaxSide = 32767; // WIDTH and HEIGHT are 16-bit

void runStatement(const Db& ref, const QStringList& lines) {
    Transaction tx(*ref);
    ref->execLines(lines);
    tx.commit();
}

// Opened without waiting (a FIFO or a device named *.JPG must never block the scan) and measured only when
// what was opened is a regular file; a symbolic link to one is followed.
QSize photoFileSizeAt(int dirFd, const char* name, const QString& shownPath) {
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {0, 0};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {0, 0};
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {0, 0};
    }
    QSize size;
    try {
        size = jpegSize(file.read(kHeaderPrefix), shownPath);
    } catch (const Error&) {
        if (st.st_size <= kHeaderPrefix || st.st_size > kMaxHeaderFile)
            return {0, 0};
        try {
            file.seek(0);
            size = jpegSize(file.readAll(), shownPath);
        } catch (const Error&) {
            return {0, 0};
        }
    }
    return {std::min(size.width(), kMaxSide), std::min(size.height(), kMaxSide)};
}

// "*.JPG" in any letter case.
bool hasJpgExtension(const QByteArray& name) {
    return name.size() >= 4 && name.right(4).compare(".jpg", Qt::CaseInsensitive) == 0;
}

} // namespace

namespace {

// The length of the well-formed UTF-8 sequence at p (no overlong forms, no surrogates), or 0.
int utf8Length(const unsigned char* p, qsizetype left) {
    auto cont = [&](qsizetype i, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
        return i < left && p[i] >= lo && p[i] <= hi;
    };
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const unsigned char lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        return cont(1, lo, hi) && cont(2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const unsigned char lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        return cont(1, lo, hi) && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
}

} // namespace

QString shownFileName(const QByteArray& name, bool* readable) {
    QString shown;
    bool valid = true;
    const auto* p = reinterpret_cast<const unsigned char*>(name.constData());
    for (qsizetype i = 0; i < name.size();) {
        const int len = utf8Length(p + i, name.size() - i);
        if (len == 0) {
            // A byte that is no character: shown by its value, so two such names never look alike.
            shown += QStringLiteral("\\x") + QStringLiteral("%1").arg(uint(p[i]), 2, 16, QLatin1Char('0')).toUpper();
            valid = false;
            ++i;
        } else {
            shown += QString::fromUtf8(name.constData() + i, len);
            i += len;
        }
    }
    if (readable)
        *readable = valid;
    return shown;
}

QList<FolderPhoto> listPhotoFiles(const QString& folder) {
    QList<FolderPhoto> found;
    if (folder.isEmpty())
        return found;
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return found;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return found;
    }
    QString prefix = folder;
    if (!prefix.endsWith(u'/'))
        prefix += u'/';
    // Names are taken as the bytes they are: the usual folder listing leaves out names that are not UTF-8.
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!hasJpgExtension(name))
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue; // folders, FIFOs, sockets, devices, broken links
        FolderPhoto photo;
        photo.name = shownFileName(name, &photo.nameReadable);
        photo.size = photoFileSizeAt(dirFd, entry->d_name, prefix + photo.name);
        found << photo;
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](const FolderPhoto& a, const FolderPhoto& b) { return a.name < b.name; });
    return found;
}

QSize photoFileSize(const QString& path) {
    return photoFileSizeAt(AT_FDCWD, QFile::encodeName(path).constData(), path);
}

void clearPhotoFileList(const Db& ref) {
    runStatement(ref, sql::clearPhotoFileList());
}

void scanPhotoFolder(const Db& ref, const QString& folder) {
    const QList<FolderPhoto> photos = listPhotoFiles(folder);
    if (photos.isEmpty())
        return;
    Transaction tx(*ref);
    StepCursor list(ref, kList, kOrder);
    const int fName = list.fieldIndex(QStringLiteral("FILE_NAME"));
    const int fWidth = list.fieldIndex(QStringLiteral("WIDTH"));
    const int fHeight = list.fieldIndex(QStringLiteral("HEIGHT"));
    const int fCode = list.fieldIndex(QStringLiteral("ROSEN_CD"));
    const int fRemark = list.fieldIndex(QStringLiteral("BIKO"));
    const QString sizeRemark = QStringLiteral("幅もしくは高さ確認");
    const bool mayCollide = !list.isEmpty();
    for (const FolderPhoto& photo : photos) {
        const QString& name = photo.name;
        if (mayCollide && list.findKey({name}))
            throw Error(QStringLiteral("ファイル名 %1 はすでに一覧にあります。一覧は変わっていません。\n"
                                       "全消で一覧を空にしてから、やり直してください。")
                            .arg(name));
        const QSize size = photo.size;
        list.append();
        setCutText(list, fName, name);
        setCutText(list, fCode, name); // the first six characters, extension included when shorter
        list.setInteger(fWidth, size.width());
        list.setInteger(fHeight, size.height());
        if (!photo.nameReadable)
            list.setText(fRemark, kUnreadableName);
        else if (size.width() != kPhotoWidth || size.height() != kPhotoHeight)
            list.setText(fRemark, sizeRemark);
        list.post();
    }
    list.first();
    tx.commit();
}

void completePhotoFileList(const Db& ref) {
    Transaction tx(*ref);
    const QHash<QString, RouteNames> routes = routeNamesByCode(ref);
    StepCursor list(
        ref, kList, kOrder,
        {QStringLiteral("ROSEN_CD"), QStringLiteral("ROSEN_KANJI"), QStringLiteral("SHOZOKU"), QStringLiteral("BIKO")});
    const int code = list.fieldIndex(QStringLiteral("ROSEN_CD"));
    const int name = list.fieldIndex(QStringLiteral("ROSEN_KANJI"));
    const int shozoku = list.fieldIndex(QStringLiteral("SHOZOKU"));
    const int remark = list.fieldIndex(QStringLiteral("BIKO"));
    const QString noRoute = QStringLiteral("■■■■■■■■■■");
    const QString noRouteRemark = QStringLiteral("当該鉄軌道路線なし");
    forEachRecord(list, [&] {
        list.edit();
        const auto route = routes.constFind(list.asString(code));
        if (route != routes.cend()) {
            setCutText(list, name, route->name);
            setCutText(list, shozoku, route->operatorName);
        } else {
            list.setText(name, noRoute);
            list.setText(shozoku, noRoute);
            // A name that cannot be read keeps saying so: its route code is only what the bytes allowed.
            if (list.asString(remark) != kUnreadableName)
                list.setText(remark, noRouteRemark);
        }
    });
    list.first();
    tx.commit();
}

void keepRemarkedPhotoFiles(const Db& ref) {
    runStatement(ref, sql::keepRemarkedPhotoFiles());
}

} // namespace tabi::photos
