#include "netmap/commandline.h"

#include "data/database.h"
#include "data/error.h"

#include <QDate>
#include <QFileInfo>

#include <cstdio>

namespace tabi::netmap::cli {

void say(const QString& text) {
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

int fail(const QString& text, int code) {
    std::fprintf(stderr, "tabiroku: %s\n", text.toLocal8Bit().constData());
    return code;
}

Options parse(const QStringList& args, const QString& usage, bool withPeriod, const QStringList& allowedFlags,
              const QString& fileWhat) {
    Options o;
    for (int i = 2; i < args.size(); ++i) {
        const QString& a = args[i];
        if (withPeriod && (a == QLatin1String("--from") || a == QLatin1String("--to"))) {
            if (i + 1 >= args.size()) {
                o.error = QStringLiteral("%1 の後に日付(yyyy-mm-dd)がありません。\n%2").arg(a, usage);
                return o;
            }
            const QString day = args[++i];
            if (day.size() != 10 || !QDate::fromString(day, QStringLiteral("yyyy-MM-dd")).isValid()) {
                o.error = QStringLiteral("%1 の日付 %2 は yyyy-mm-dd の形の実在する日ではありません。").arg(a, day);
                return o;
            }
            (a == QLatin1String("--from") ? o.filter.from : o.filter.to) = day;
        } else if (allowedFlags.contains(a)) {
            if (!o.flags.contains(a))
                o.flags << a;
        } else if (o.file.isEmpty() && !a.startsWith(QLatin1String("--"))) {
            o.file = a;
        } else {
            o.error = QStringLiteral("%1 は分からない指定です。\n%2").arg(a, usage);
            return o;
        }
    }
    if (o.file.isEmpty())
        o.error = QStringLiteral("%1の名前がありません。\n%2").arg(fileWhat, usage);
    else if (!o.filter.from.isEmpty() && !o.filter.to.isEmpty() && o.filter.from > o.filter.to)
        o.error = QStringLiteral("期間の始め %1 が終わり %2 より後です。").arg(o.filter.from, o.filter.to);
    return o;
}

bool openDatabases(std::shared_ptr<Database>& ref, std::shared_ptr<Database>& per, QString& error,
                   bool createPersonal) {
    for (DbKind k : {DbKind::Reference, DbKind::Personal})
        if (!(createPersonal && k == DbKind::Personal) && !QFileInfo(paths::databaseFile(k)).isFile()) {
            error = QStringLiteral("データベース %1 がありません。一度プログラムを起動して作ってください。")
                        .arg(paths::databaseFile(k));
            return false;
        }
    ref = Database::open(DbKind::Reference);
    per = Database::open(DbKind::Personal);
    return true;
}

int guarded(const std::function<int()>& work) {
    try {
        return work();
    } catch (const Error& e) {
        return fail(e.message());
    } catch (const std::exception& e) {
        return fail(QString::fromLocal8Bit(e.what()));
    }
}

int onRecord(const std::function<int(Record&)>& work, Reading reading, bool createPersonal) {
    return guarded([&] {
        Record record;
        QString error;
        if (!openDatabases(record.ref, record.per, error, createPersonal))
            return fail(error);
        say(QStringLiteral("路線網と乗車記録を読んでいます…"));
        if (reading == Reading::Map) {
            record.data = loadMapData(*record.ref, *record.per);
        } else {
            record.data.network = network::loadRouteStations(*record.ref);
            record.data.rides = loadRides(*record.per);
        }
        return work(record);
    });
}

} // namespace tabi::netmap::cli
