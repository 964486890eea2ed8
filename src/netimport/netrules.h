#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The hand-kept rule tables of the network import (rules/*.txt in the resources): which data-set lines to
// leave out, where to cut them, the JR route list, official kilometres and how operators are classified.
namespace tabi::net {

struct SectionRule {
    QString first, last;
    bool loop = false;
};
struct BranchRule {
    QString first, last, from, to, name;
};
struct BorderRule {
    QString station;
    int company = 0;
};
struct OfficialRule {
    QString start, end;
    double km = 0;
};
struct ClassRule {
    QString code, name, category;
};

struct Rules {
    QHash<QString, QString> drop;                 // data-set line name -> reason
    QHash<QString, SectionRule> sections;         // data-set line name
    QHash<QString, QList<BranchRule>> branches;   // data-set line name
    QHash<QString, QList<BorderRule>> borders;    // data-set line name
    QHash<QString, OfficialRule> official;        // route name
    QHash<QString, QString> jrCategory;           // route name -> 幹線 / 地方交通線
    QHash<QString, QString> operatorKind;         // operator -> 三セク / 並行在来線 / 大手 / 公営 / 中小
    QList<std::pair<QString, QString>> lineKinds; // text in a line name -> kind, first match wins
    QHash<QString, ClassRule> classes;            // "kind|region" -> classification
    QHash<QString, QString> operatorName;         // data set's operator name -> name the route master writes
    QHash<QString, QStringList> linePrefixes;     // data set's operator name -> short forms before line names
    QHash<QString, std::pair<QString, QString>> lineOperators; // line naming no company -> operator, kind

    // The rules built into the program. Throws tabi::Error for a malformed table (a fault of the program).
    static const Rules& builtIn();
    // Parses one table's text: rows of '|'-separated fields, '#' comments and empty lines skipped.
    static QList<QStringList> parseTable(const QString& text, const QString& name, int minFields);
};

} // namespace tabi::net
