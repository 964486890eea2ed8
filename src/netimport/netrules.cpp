#include "netimport/netrules.h"

#include "data/error.h"

#include <QFile>

static void initNetImportResource() {
    Q_INIT_RESOURCE(netimport);
}

namespace tabi::net {

QList<QStringList> Rules::parseTable(const QString& text, const QString& name, int minFields) {
    QList<QStringList> rows;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QStringList fields = line.split(QLatin1Char('|'));
        for (QString& f : fields)
            f = f.trimmed();
        if (fields.size() < minFields)
            throw Error(QStringLiteral("規則表 %1 の %2 行目の欄が足りません。").arg(name).arg(i + 1));
        rows << fields;
    }
    return rows;
}

namespace {

QList<QStringList> table(const QString& name, int minFields) {
    initNetImportResource();
    QFile f(QStringLiteral(":/netimport/") + name);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("規則表 %1 を読めません。").arg(name));
    return Rules::parseTable(QString::fromUtf8(f.readAll()), name, minFields);
}

Rules load() {
    Rules r;
    for (const QStringList& f : table(QStringLiteral("drop.txt"), 1))
        r.drop.insert(f[0], f.value(1));
    for (const QStringList& f : table(QStringLiteral("operators.txt"), 2))
        r.operatorKind.insert(f[0], f[1]);
    for (const QStringList& f : table(QStringLiteral("kinds.txt"), 2))
        r.lineKinds.append({f[0], f[1]});
    for (const QStringList& f : table(QStringLiteral("classes.txt"), 5))
        r.classes.insert(f[0] + QLatin1Char('|') + f[1], {f[2], f[3], f[4]});
    for (const QStringList& f : table(QStringLiteral("names.txt"), 2)) {
        r.operatorName.insert(f[0], f[1]);
        r.linePrefixes.insert(f[0], f.mid(2));
    }
    for (const QStringList& f : table(QStringLiteral("line_operators.txt"), 2))
        r.lineOperators.insert(f[0], {f[1], f.value(2)});
    return r;
}

} // namespace

const Rules& Rules::builtIn() {
    static const Rules rules = load();
    return rules;
}

} // namespace tabi::net
