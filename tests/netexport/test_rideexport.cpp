#include "data/atomicfile.h"
#include "data/error.h"
#include "netexport/rideexport.h"
#include "netfixture.h"
#include "support/tempdatabases.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QtTest>

using namespace tabi;
using namespace tabi::netexport;
using namespace tabi::netmap;

namespace {

// The rides of every test: three placeable (one of two stretches, one taken off again), one on a route without
// positions, one on a route MASTER lacks, one naming a station the route does not have.
QVector<Ride> fixtureRides() {
    return {test::ride("100001", "2019-04-01", "東京～横浜(全区間)", 28.8),
            test::ride("100001", "2019-05-01", "品川～東京", 6.8),
            test::ride("200001", "2020-01-02", "甲～乙", 5.0),
            test::ride("300001", "2020-01-03", "戊～己", 4.0),
            test::ride("999999", "2020-01-04", "東京～品川", 6.8),
            test::ride("100001", "2020-01-05", "東京～新横浜", 20.0),
            test::ride("200002", "2021-03-01", "丙～丁、丁～丙", 3.0)};
}

// The children's names of the element the reader stands on, in order, and the text of each simple one.
QStringList childNames(QXmlStreamReader& xml, QHash<QString, QString>* texts = nullptr) {
    QStringList names;
    while (xml.readNextStartElement()) {
        names << xml.name().toString();
        if (texts && xml.name() != QLatin1String("ExtendedData") && xml.name() != QLatin1String("LineString") &&
            xml.name() != QLatin1String("MultiGeometry") && xml.name() != QLatin1String("TimeStamp") &&
            xml.name() != QLatin1String("trkseg"))
            texts->insert(xml.name().toString(), xml.readElementText());
        else
            xml.skipCurrentElement();
    }
    return names;
}

bool insideJapan(double lon, double lat) {
    return lon > 122 && lon < 154.5 && lat > 20 && lat < 46.5;
}

} // namespace

class TestRideExport : public QObject, public test::TempDatabases {
    Q_OBJECT

private Q_SLOTS:
    void placement() {
        const Network net = test::fixtureNetwork();
        const QVector<Ride> rides = fixtureRides();
        const RideExport e = placeRides(net, rides, {});
        QCOMPARE(e.rides, 7);
        QCOMPARE(e.placed.size(), 4);
        QCOMPARE(e.noPosition, 1);
        QCOMPARE(e.unknownRoute, 1);
        QCOMPARE(e.unknownStation, 1);
        // Along the stretch of track: the lengths follow the posts (straight lines between the stations here).
        QVERIFY2(qAbs(e.lengthOf(e.placed[0]) - 27.0) < 3.0, qPrintable(QString::number(e.lengthOf(e.placed[0]))));
        QVERIFY(e.lengthOf(e.placed[1]) < e.lengthOf(e.placed[0]) / 3);
        // Two stretches named: two lines.
        QCOMPARE(e.linesOf(e.placed[3]).size(), 2);
        Filter period;
        period.from = QStringLiteral("2020-01-01");
        period.to = QStringLiteral("2020-12-31");
        const RideExport in2020 = placeRides(net, rides, period);
        QCOMPARE(in2020.rides, 4);
        QCOMPARE(in2020.placed.size(), 1);
        QVERIFY(placedText(in2020).contains(QStringLiteral("書き出せなかった 3 件")));
    }

    void geoJson() {
        const Network net = test::fixtureNetwork();
        const QVector<Ride> rides = fixtureRides();
        QHash<QString, RouteNames> names = test::fixtureNames();
        names[QStringLiteral("100001")].name = QStringLiteral("東海道線 \"本線\" \\ 1");
        const RideExport e = placeRides(net, rides, {});
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(ridesGeoJson(e, names), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonObject root = doc.object();
        QCOMPARE(root.value(QLatin1String("type")).toString(), QStringLiteral("FeatureCollection"));
        const QJsonArray features = root.value(QLatin1String("features")).toArray();
        QCOMPARE(features.size(), 4);
        for (const QJsonValue& f : features) {
            QCOMPARE(f[QLatin1String("type")].toString(), QStringLiteral("Feature"));
            const QJsonObject g = f[QLatin1String("geometry")].toObject();
            const QString type = g.value(QLatin1String("type")).toString();
            QVERIFY(type == QLatin1String("LineString") || type == QLatin1String("MultiLineString"));
            QJsonArray lines = g.value(QLatin1String("coordinates")).toArray();
            if (type == QLatin1String("LineString"))
                lines = QJsonArray{lines};
            for (const QJsonValue& line : lines) {
                QVERIFY(line.toArray().size() >= 2);
                for (const QJsonValue& pos : line.toArray()) {
                    // Longitude first.
                    QCOMPARE(pos.toArray().size(), 2);
                    QVERIFY(insideJapan(pos[0].toDouble(), pos[1].toDouble()));
                }
            }
        }
        const QJsonObject first = features[0][QLatin1String("properties")].toObject();
        QCOMPARE(first.value(QLatin1String("route_code")).toString(), QStringLiteral("100001"));
        QCOMPARE(first.value(QLatin1String("route_name")).toString(), QStringLiteral("東海道線 \"本線\" \\ 1"));
        QCOMPARE(first.value(QLatin1String("operator")).toString(), QStringLiteral("JR東日本"));
        QCOMPARE(first.value(QLatin1String("section")).toString(), QStringLiteral("東京～横浜(全区間)"));
        QCOMPARE(first.value(QLatin1String("date")).toString(), QStringLiteral("2019-04-01"));
        QCOMPARE(first.value(QLatin1String("km")).toDouble(), 28.8);
        const QJsonArray start = features[0][QLatin1String("geometry")][QLatin1String("coordinates")][0].toArray();
        QVERIFY(qAbs(start[0].toDouble() - 139.7671) < 1e-5 && qAbs(start[1].toDouble() - 35.6812) < 1e-5);
    }

    // KML 2.2 and GPX 1.1 as their schemas order them, read back by a plain XML reader.
    void kml() {
        const Network net = test::fixtureNetwork();
        const QVector<Ride> rides = fixtureRides();
        QHash<QString, RouteNames> names = test::fixtureNames();
        names[QStringLiteral("200001")].operatorName = QStringLiteral("甲&乙<鉄道>");
        QXmlStreamReader xml(ridesKml(placeRides(net, rides, {}), names, QStringLiteral("タビロク")));
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name(), QLatin1String("kml"));
        QCOMPARE(xml.namespaceUri(), QLatin1String("http://www.opengis.net/kml/2.2"));
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name(), QLatin1String("Document"));
        int placemarks = 0;
        QStringList descriptions;
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("Placemark")) {
                xml.skipCurrentElement();
                continue;
            }
            ++placemarks;
            QHash<QString, QString> texts;
            const QStringList children = childNames(xml, &texts);
            const QString geometry = children.last();
            QVERIFY(geometry == QLatin1String("LineString") || geometry == QLatin1String("MultiGeometry"));
            QStringList expected{"name", "description", "TimeStamp", "styleUrl", "ExtendedData", geometry};
            QCOMPARE(children, expected);
            descriptions << texts.value(QStringLiteral("description"));
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(placemarks, 4);
        QVERIFY(descriptions[2].contains(QStringLiteral("甲&乙<鉄道>")));
        // Coordinates as lon,lat tuples.
        QXmlStreamReader again(ridesKml(placeRides(net, rides, {}), names, QStringLiteral("タビロク")));
        while (!again.atEnd())
            if (again.readNext() == QXmlStreamReader::StartElement && again.name() == QLatin1String("coordinates"))
                for (const QString& tuple : again.readElementText().split(u' ')) {
                    const QStringList ll = tuple.split(u',');
                    QCOMPARE(ll.size(), 2);
                    QVERIFY(insideJapan(ll[0].toDouble(), ll[1].toDouble()));
                }
        QVERIFY(!again.hasError());
    }

    void gpx() {
        const Network net = test::fixtureNetwork();
        const QVector<Ride> rides = fixtureRides();
        QXmlStreamReader xml(ridesGpx(placeRides(net, rides, {}), test::fixtureNames(), QStringLiteral("<タビロク>")));
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name(), QLatin1String("gpx"));
        QCOMPARE(xml.namespaceUri(), QLatin1String("http://www.topografix.com/GPX/1/1"));
        QCOMPARE(xml.attributes().value(QLatin1String("version")), QLatin1String("1.1"));
        QVERIFY(!xml.attributes().value(QLatin1String("creator")).isEmpty());
        int tracks = 0, points = 0;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("metadata")) {
                QCOMPARE(childNames(xml), QStringList{"name"});
                continue;
            }
            QCOMPARE(xml.name(), QLatin1String("trk"));
            ++tracks;
            QStringList children;
            while (xml.readNextStartElement()) {
                children << xml.name().toString();
                if (xml.name() != QLatin1String("trkseg")) {
                    xml.skipCurrentElement();
                    continue;
                }
                while (xml.readNextStartElement()) {
                    QCOMPARE(xml.name(), QLatin1String("trkpt"));
                    ++points;
                    QVERIFY(insideJapan(xml.attributes().value(QLatin1String("lon")).toDouble(),
                                        xml.attributes().value(QLatin1String("lat")).toDouble()));
                    xml.skipCurrentElement();
                }
            }
            children.removeDuplicates();
            QCOMPARE(children, (QStringList{"name", "desc", "type", "trkseg"}));
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(tracks, 4);
        QVERIFY(points >= 8);
    }

    // Both XML forms valid against the published schemas, with a ride of two stretches, a name needing escapes and a
    // ride without a date among them.
    void schemas() {
        const QString dir = QStringLiteral(TABIROKU_SCHEMAS);
        const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
        if (xmllint.isEmpty() || !QFile::exists(dir + QStringLiteral("/kml/ogckml22.xsd")) ||
            !QFile::exists(dir + QStringLiteral("/gpx/gpx.xsd")))
            QSKIP("xmllint or the KML and GPX schemas are missing (scripts/deps.sh and scripts/schemas.sh put them "
                  "there)");
        const Network net = test::fixtureNetwork();
        QVector<Ride> rides = fixtureRides();
        rides.append(test::ride("100001", "", "品川～横浜", 22.0));
        QHash<QString, RouteNames> names = test::fixtureNames();
        names[QStringLiteral("200001")].operatorName = QStringLiteral("甲&乙<鉄道>\"\x01");
        const RideExport e = placeRides(net, rides, {});
        test::TempEnv env;
        for (const auto& [format, name, schema] : {std::tuple{RideFormat::Kml, "rides.kml", "kml/ogckml22.xsd"},
                                                   std::tuple{RideFormat::Gpx, "rides.gpx", "gpx/gpx.xsd"}}) {
            const QString file = env.file(QLatin1String(name));
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(ridesFile(format, e, names, QStringLiteral("乗車 <2019～2021>")));
            f.close();
            QProcess lint;
            lint.start(xmllint, {QStringLiteral("--noout"), QStringLiteral("--nonet"), QStringLiteral("--schema"),
                                 dir + u'/' + QLatin1String(schema), file});
            QVERIFY(lint.waitForFinished(60000));
            QVERIFY2(lint.exitCode() == 0, lint.readAllStandardError().constData());
        }
    }

    void network() {
        const Network net = test::fixtureNetwork();
        const QVector<Ride> rides = fixtureRides();
        const Coverage cov = computeCoverage(net, rides, {});
        const QJsonDocument doc = QJsonDocument::fromJson(networkGeoJson(net, cov, rides, {}, test::fixtureNames()));
        const QJsonArray features = doc.object().value(QLatin1String("features")).toArray();
        QCOMPARE(features.size(), net.routes.size());
        QHash<QString, QJsonObject> byCode;
        for (const QJsonValue& f : features)
            byCode.insert(f[QLatin1String("properties")][QLatin1String("route_code")].toString(), f.toObject());
        const QJsonObject tokaido = byCode.value(QStringLiteral("100001"))[QLatin1String("properties")].toObject();
        // The tallies' sum of every ride (28.8 + 6.8 + 20.0) and their ratio rule.
        QCOMPARE(tokaido.value(QLatin1String("ridden_km")).toDouble(), 55.6);
        QCOMPARE(tokaido.value(QLatin1String("ridden_share")).toDouble(), 193.06);
        QCOMPARE(tokaido.value(QLatin1String("covered_km")).toDouble(), 28.8);
        QVERIFY(byCode.value(QStringLiteral("300001"))[QLatin1String("geometry")].isNull());
        QCOMPARE(byCode.value(QStringLiteral("200002"))[QLatin1String("geometry")][QLatin1String("type")].toString(),
                 QStringLiteral("LineString"));
    }

    // A record large enough to be placed and written in slices and blocks on several threads: the same rides in
    // the same order as one by one, and the file written piece by piece equal to the bytes made whole.
    void manyRides() {
        const Network net = test::fixtureNetwork();
        QVector<Ride> rides;
        for (int i = 0; i < 1500; ++i)
            for (Ride r : fixtureRides()) {
                r.day = QDate(2000, 1, 1).addDays(i).toString(Qt::ISODate);
                rides.append(r);
            }
        const RideExport e = placeRides(net, rides, {});
        QCOMPARE(e.rides, 10500);
        QCOMPARE(e.placed.size(), 6000);
        QCOMPARE(e.unknownRoute + e.unknownStation + e.noPosition, 4500);
        for (int i = 1; i < e.placed.size(); ++i)
            QVERIFY(e.placed[i - 1].ride < e.placed[i].ride);
        const QByteArray json = ridesGeoJson(e, test::fixtureNames());
        QJsonParseError error{};
        const QJsonArray features =
            QJsonDocument::fromJson(json, &error).object().value(QLatin1String("features")).toArray();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(features.size(), 6000);
        for (int i : {0, 511, 512, 3000, 5999})
            QCOMPARE(features[i][QLatin1String("properties")][QLatin1String("date")].toString(), e.placed[i].ride->day);

        test::TempEnv env;
        for (const char* name : {"rides.geojson", "rides.kml", "rides.gpx"}) {
            const QString file = env.file(QLatin1String(name));
            writeRidesFile(file, net, rides, test::fixtureNames(), {});
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(),
                     ridesFile(*rideFormatOf(file), placeRides(net, rides, {}), test::fixtureNames(), exportTitle({})));
        }
    }

    // A file that cannot be written whole (a full disk) stays as it was, and nothing is left beside it.
    void writeFailure() {
        test::TempEnv env;
        const QString file = env.file(QStringLiteral("rides.geojson"));
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        const Network net = test::fixtureNetwork();
        const QVector<Ride> rides = fixtureRides();
        files::injectFailure(files::WriteStep::Write, ENOSPC);
        bool failed = false;
        try {
            writeRidesFile(file, net, rides, test::fixtureNames(), {});
        } catch (const Error& e) {
            failed = e.message().contains(QStringLiteral("ディスクの空き容量が足りません"));
        }
        files::injectFailure(std::nullopt);
        QVERIFY(failed);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
        QCOMPARE(QDir(env.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"rides.geojson"});
    }

    // The command line on databases: the file written, unplaced rides reported, a wrong form refused with 2.
    void commandLine() {
        openDatabases(true);
        test::storeNetwork(*m_ref, test::fixtureNetwork(), test::fixtureNames());
        m_per->exec(QStringLiteral("INSERT INTO JOSHA (ROSEN_CD, JOSHA_DATE, JOSHA_KUKAN, JOSHA_KILO) VALUES "
                                   "('100001', '2019-04-01 00:00:00', '東京～品川', 6.8), "
                                   "('999999', '2019-04-02 00:00:00', '東京～品川', 6.8)"));
        const QString out = m_env->file(QStringLiteral("rides.gpx"));
        const QStringList base{QStringLiteral("tabiroku"), QStringLiteral("--export-rides")};
        QCOMPARE(exportRides(base + QStringList{out}), 0);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().count("<trk>"), 1);
        QCOMPARE(exportRides(base + QStringList{m_env->file(QStringLiteral("rides.txt"))}), 2);
        QCOMPARE(exportRides(base + QStringList{out, QStringLiteral("--from"), QStringLiteral("2019-02-30")}), 2);
        QCOMPARE(exportRides(base + QStringList{m_env->file(QStringLiteral("missing/rides.kml"))}), 1);
        const QString net = m_env->file(QStringLiteral("net.geojson"));
        QCOMPARE(exportNetwork({QStringLiteral("tabiroku"), QStringLiteral("--export-network"), net}), 0);
        QVERIFY(QFile::exists(net));
        closeDatabases();
    }
};

QTEST_GUILESS_MAIN(TestRideExport)
#include "test_rideexport.moc"
