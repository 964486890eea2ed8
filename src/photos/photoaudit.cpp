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

} // namespace

QSize photoFileSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {0, 0};
    QSize size;
    try {
        size = jpegSize(file.read(kHeaderPrefix), path);
    } catch (const Error&) {
        if (file.size() <= kHeaderPrefix || file.size() > kMaxHeaderFile)
            return {0, 0};
        try {
            file.seek(0);
            size = jpegSize(file.readAll(), path);
        } catch (const Error&) {
            return {0, 0};
        }
    }
    return {std::min(size.width(), kMaxSide), std::min(size.height(), kMaxSide)};
}

void clearPhotoFileList(const Db& ref) {
    runStatement(ref, sql::clearPhotoFileList());
}

void scanPhotoFolder(const Db& ref, const QString& folder) {
    if (folder.isEmpty())
        return;
    QDir dir(folder);
    if (!dir.exists())
        return;
    // Without QDir::CaseSensitive the pattern matches ".jpg" and ".Jpg" as well.
    const QStringList names =
        dir.entryList({QStringLiteral("*.JPG")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    QString prefix = folder;
    if (!prefix.endsWith(u'/') && !prefix.endsWith(QDir::separator()))
        prefix += u'/';

    Transaction tx(*ref);
    StepCursor list(ref, kList, kOrder);
    const int fName = list.fieldIndex(QStringLiteral("FILE_NAME"));
    const int fWidth = list.fieldIndex(QStringLiteral("WIDTH"));
    const int fHeight = list.fieldIndex(QStringLiteral("HEIGHT"));
    const int fCode = list.fieldIndex(QStringLiteral("ROSEN_CD"));
    const int fRemark = list.fieldIndex(QStringLiteral("BIKO"));
    const QString sizeRemark = QStringLiteral("幅もしくは高さ確認");
    const bool mayCollide = !list.isEmpty();
    for (const QString& name : names) {
        if (mayCollide && list.findKey({name}))
            throw Error(QStringLiteral("ファイル名 %1 はすでに一覧にあります。一覧は変わっていません。\n"
                                       "全消で一覧を空にしてから、やり直してください。")
                            .arg(name));
        const QSize size = photoFileSize(prefix + name);
        list.append();
        setCutText(list, fName, name);
        setCutText(list, fCode, name); // the first six characters, extension included when shorter
        list.setInteger(fWidth, size.width());
        list.setInteger(fHeight, size.height());
        if (size.width() != kPhotoWidth || size.height() != kPhotoHeight)
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
