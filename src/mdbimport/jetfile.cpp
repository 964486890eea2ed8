#include "jetfile.h"

#include "data/error.h"

#include <QFile>
#include <QFileInfo>
#include <vector>

// The header opens extern "C" around its own glib include, which C++ glib headers do not survive: glib first.
#include <glib.h>
#include <mdbtools.h>

namespace tabi::jet {

namespace {

// Memo values kept on pages of their own are read through libmdb into a buffer of this size; anything longer
// than a text field of the layouts (255 characters) is refused anyway, so a cut-off long memo still reads as
// too long.
constexpr size_t kMemoBindSize = 256 * 1024;

ColumnKind kindOf(int type) {
    switch (type) {
    case MDB_BYTE:
        return ColumnKind::Byte;
    case MDB_INT:
        return ColumnKind::Int16;
    case MDB_LONGINT:
        return ColumnKind::Int32;
    case MDB_FLOAT:
        return ColumnKind::Single;
    case MDB_DOUBLE:
        return ColumnKind::Double;
    case MDB_DATETIME:
        return ColumnKind::DateTime;
    case MDB_TEXT:
        return ColumnKind::Text;
    case MDB_MEMO:
        return ColumnKind::Memo;
    default:
        return ColumnKind::Other;
    }
}

QString typeName(int type) {
    switch (type) {
    case MDB_BOOL:
        return QStringLiteral("Yes/No型");
    case MDB_BYTE:
        return QStringLiteral("バイト型");
    case MDB_INT:
        return QStringLiteral("整数型");
    case MDB_LONGINT:
        return QStringLiteral("長整数型");
    case MDB_MONEY:
        return QStringLiteral("通貨型");
    case MDB_FLOAT:
        return QStringLiteral("単精度浮動小数点型");
    case MDB_DOUBLE:
        return QStringLiteral("倍精度浮動小数点型");
    case MDB_DATETIME:
        return QStringLiteral("日付/時刻型");
    case MDB_BINARY:
        return QStringLiteral("バイナリ型");
    case MDB_TEXT:
        return QStringLiteral("テキスト型");
    case MDB_OLE:
        return QStringLiteral("OLEオブジェクト型");
    case MDB_MEMO:
        return QStringLiteral("メモ型");
    case MDB_REPID:
        return QStringLiteral("レプリケーションID型");
    case MDB_NUMERIC:
        return QStringLiteral("十進型");
    default:
        return QStringLiteral("型 0x%1").arg(type, 2, 16, QLatin1Char('0'));
    }
}

struct TableDefDeleter {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};
using TablePtr = std::unique_ptr<MdbTableDef, TableDefDeleter>;

[[noreturn]] void damaged(const QString& path, const QString& what) {
    throw Error(QStringLiteral("%1 を読めません: %2（ファイルが壊れているか、途中で切れています）。").arg(path, what),
                ErrorKind::NotADatabase);
}

} // namespace

struct JetFile::Handle {
    MdbHandle* mdb = nullptr;
    ~Handle() {
        if (mdb)
            mdb_close(mdb);
    }
};

JetFile::JetFile(const QString& path) : m_handle(std::make_unique<Handle>()), m_path(path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw Error(QStringLiteral("%1 が見つかりません。").arg(path), ErrorKind::CannotOpen);
    if (!info.isFile())
        throw Error(QStringLiteral("%1 はファイルではありません。").arg(path), ErrorKind::CannotOpen);
    if (!info.isReadable())
        throw Error(QStringLiteral("%1 を読む権限がありません。").arg(path), ErrorKind::CannotOpen);
    // Jet3 text is in the system code page of the machine that wrote it; for Japanese files that is CP932, whose
    // "～" and "①" glibc's SHIFT-JIS lacks. Values are decoded here from their bytes, but names and the memo
    // texts libmdb reads go through its converter, which takes the code page from this variable when opening.
    if (qEnvironmentVariableIsEmpty("MDB_JET3_CHARSET"))
        qputenv("MDB_JET3_CHARSET", "CP932");
    // Read-only: libmdb opens the file for reading only and never writes to it.
    m_handle->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    MdbHandle* mdb = m_handle->mdb;
    if (!mdb)
        throw Error(QStringLiteral("%1 は Access のデータベースファイルとして読めません（別の種類のファイルか、"
                                   "このプログラムの読めない形式です）。")
                        .arg(path),
                    ErrorKind::NotADatabase);
    // Jet files are whole pages; a copy cut short somewhere is not.
    const qint64 pageSize = mdb->fmt->pg_size;
    if (pageSize <= 0 || info.size() < 2 * pageSize || info.size() % pageSize != 0)
        damaged(path, QStringLiteral("大きさ %1 バイトがページの大きさ %2 バイトの倍数ではありません")
                          .arg(info.size())
                          .arg(pageSize));

    if (!mdb_read_catalog(mdb, MDB_TABLE))
        damaged(path, QStringLiteral("表の一覧を読めません"));
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || mdb_is_system_table(entry))
            continue;
        const QString name = QString::fromUtf8(entry->object_name);
        TablePtr t(mdb_read_table(entry));
        if (!t || !mdb_read_columns(t.get()))
            damaged(path, QStringLiteral("表 %1 の定義を読めません").arg(name));
        TableInfo info;
        info.name = name;
        info.rows = t->num_rows;
        for (unsigned c = 0; c < t->num_cols; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c));
            info.columns << ColumnInfo{QString::fromUtf8(col->name), kindOf(col->col_type), typeName(col->col_type),
                                       col->col_size};
        }
        m_tables << info;
    }
}

JetFile::~JetFile() = default;

bool JetFile::isJet3() const {
    return m_handle->mdb->f->jet_version == MDB_VER_JET3;
}

QString JetFile::formatName() const {
    switch (m_handle->mdb->f->jet_version) {
    case MDB_VER_JET3:
        return QStringLiteral("Access 97 形式 (Jet 3)");
    case MDB_VER_JET4:
        return QStringLiteral("Access 2000～2003 形式 (Jet 4)");
    default:
        return QStringLiteral("Access 2007 以降の形式 (ACCDB)");
    }
}

const TableInfo* JetFile::table(const QString& name) const {
    for (const TableInfo& t : m_tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

qint64 JetFile::readRows(const QString& tableName, const QList<int>& columns,
                         const std::function<bool(const QList<RawValue>&)>& row) {
    MdbHandle* mdb = m_handle->mdb;
    const TableInfo* info = table(tableName);
    if (!info)
        throw Error(QStringLiteral("%1 に表 %2 はありません。").arg(m_path, tableName));
    QByteArray name = info->name.toUtf8();
    TablePtr t(mdb_read_table_by_name(mdb, name.data(), MDB_TABLE));
    if (!t || !mdb_read_columns(t.get()) || t->num_cols != unsigned(info->columns.size()))
        damaged(m_path, QStringLiteral("表 %1 の定義を読めません").arg(info->name));

    std::vector<MdbColumn*> cols;
    std::vector<std::vector<char>> memoBuffers(columns.size());
    mdb_set_bind_size(mdb, kMemoBindSize);
    for (qsizetype i = 0; i < columns.size(); ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, columns[i]));
        cols.push_back(col);
        if (info->columns[columns[i]].kind == ColumnKind::Memo) {
            memoBuffers[i].assign(kMemoBindSize + 1, 0);
            mdb_bind_column(t.get(), columns[i] + 1, memoBuffers[i].data(), nullptr);
        }
    }
    mdb_rewind_table(t.get());

    const int pageSize = int(mdb->fmt->pg_size);
    const qint64 expected = t->num_rows;
    QList<RawValue> values(columns.size());
    qint64 n = 0;
    while (mdb_fetch_row(t.get())) {
        if (++n > expected)
            damaged(m_path, QStringLiteral("表 %1 に定義より多い行があります").arg(info->name));
        for (size_t i = 0; i < cols.size(); ++i) {
            const MdbColumn* col = cols[i];
            RawValue& v = values[qsizetype(i)];
            v = RawValue();
            if (col->cur_value_len <= 0)
                continue;
            if (col->cur_value_start < 0 || col->cur_value_start + col->cur_value_len > pageSize)
                damaged(m_path, QStringLiteral("表 %1 の %2 行目が壊れています").arg(info->name).arg(n));
            if (!memoBuffers[i].empty()) {
                v.memoAsText = true;
                v.memoText = QString::fromUtf8(memoBuffers[i].data());
                v.isNull = v.memoText.isEmpty();
                continue;
            }
            v.isNull = false;
            v.bytes =
                QByteArrayView(reinterpret_cast<const char*>(mdb->pg_buf) + col->cur_value_start, col->cur_value_len);
        }
        if (!row(values))
            return n;
    }
    if (n != expected)
        damaged(m_path,
                QStringLiteral("表 %1 の %2 行のうち %3 行しか読めません").arg(info->name).arg(expected).arg(n));
    return n;
}

} // namespace tabi::jet
