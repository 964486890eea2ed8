#pragma once

#include "netmap/coverage.h"
#include "network/network.h"

#include <QByteArray>
#include <QDate>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

class QPainter;

namespace tabi {
class Database;
}

// How the record grew: ridden kilometres and ridden share by month or year, the routes completed and the
// prefectures first visited in each year. The kilometres are the tallies' own: every ride with its sign, routes
// grouped by the classifications and categories of the reference database, route kilometres of the routes in
// service, the ratio rule of the tallies, years as the year tally counts them.
namespace tabi::netexport {

// Which routes: all of the classification tally, one classification (small or large) or one category.
struct ProgressGroup {
    enum Kind { All, Classification, Category };
    Kind kind = All;
    QString code; // BUNRUI_CD or KBN_CD; a one-character code is a large group
    QString name;
    QString label() const;
};

// The classifications and categories as the tallies list them.
struct GroupLists {
    QVector<ProgressGroup> smallClasses, largeClasses, smallCategories, largeCategories;
    // Every choice for a list: all routes, the large and small classifications, the large and small categories.
    QVector<ProgressGroup> choices() const;
};
GroupLists loadGroupLists(Database& ref);

enum class ProgressPeriod { Month, Year };

struct ProgressPoint {
    QDate start;            // first day of the period
    QString label;          // "2019" / "2019年度" / "2019-04"
    double kilo = 0;        // every ride of the period with its sign
    double total = 0;       // cumulative to the period's end
    double share = 0;       // total / route kilometres, percent, by the ratio rule
    double periodShare = 0; // kilo / route kilometres, percent
    int completed = 0;      // routes completed in the period
};

struct Completion {
    QDate day;
    QString code, name;
};

struct YearRow {
    int year = 0;            // calendar year, or the year a fiscal year begins in
    int newRides = 0;        // rides of 0 km or more (the year tally's 新規)
    double newKilo = 0;      // their kilometres
    int lossRides = 0;       // rides below 0 km
    double lossKilo = 0;     // their kilometres (0 or negative)
    double total = 0;        // cumulative to the year's end
    double share = 0;        // percent
    QStringList completed;   // route names completed in the year
    QStringList prefectures; // first visited in the year, in JIS order
};

struct Progress {
    ProgressGroup group;
    ProgressPeriod period = ProgressPeriod::Year;
    int startMonth = 1;   // 1: calendar years; otherwise April to March
    double routeKilo = 0; // routes in service of the group
    double total = 0;     // every ride of the group with its sign (the tally's 乗車キロ)
    int rides = 0;
    int undated = 0;                 // rides without a day: in the total, in no period
    QVector<ProgressPoint> points;   // one per period from the first ride's to the last's, none left out
    QVector<YearRow> years;          // one per year from the first to the last
    QVector<Completion> completions; // by day
};

// What the computation reads: the network (routes, posts, prefectures) and every ride.
Progress computeProgress(const tabi::network::Network& network, const QVector<netmap::Ride>& rides,
                         const GroupLists& lists, const ProgressGroup& group, ProgressPeriod period, int startMonth);

// The year of a day as the year tally counts it.
int tallyYear(const QDate& day, int startMonth);

// --- the chart -----------------------------------------------------------------------------------------------------

struct ChartOptions {
    bool cumulative = true; // the running total; otherwise each period's kilometres as bars
    QString title;
};

// Kilometres on the left axis, the same figures as a share of the group's route kilometres on the right, the
// completed routes as marks on the line. Paints into the rectangle (0, 0, size).
void paintProgress(QPainter& painter, const QSize& size, const Progress& progress, const ChartOptions& options);
QByteArray progressPng(const Progress& progress, const ChartOptions& options, const QSize& size);
QByteArray progressSvg(const Progress& progress, const ChartOptions& options, const QSize& size);
// By the name's ending (.png or .svg), through the checked replacement of every file the program writes. Throws
// tabi::Error.
void writeProgressFile(const QString& fileName, const Progress& progress, const ChartOptions& options,
                       const QSize& size = QSize(1600, 900));
QString chartTitle(const Progress& progress, const ChartOptions& options);

// tabiroku --export-progress OUT.png|OUT.svg [--monthly] [--per-period]
int exportProgress(const QStringList& args);
int exportProgressCommand(int argc, char* argv[]);

} // namespace tabi::netexport
