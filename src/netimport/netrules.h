#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The hand-kept rule tables of the network import (rules/*.txt in the resources) beside the route register:
// which data-set lines to leave out, how operators are named and classified.
namespace tabi::net {

struct ClassRule {
    QString code, name, category;
};

struct Rules {
    QHash<QString, QString> drop;                 // data-set line name -> reason
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
