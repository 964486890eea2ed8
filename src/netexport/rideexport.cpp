#include "netexport/rideexport.h"

#include "network/trackpieces.h"

#include "data/atomicfile.h"
#include "data/database.h"
#include "data/error.h"
#include "data/rules.h"
#include "netexport/cli.h"
#include "netexport/networkexport.h"
#include "network/projection.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <future>

namespace tabi::netexport {

using namespace netmap;
using namespace tabi::network;

// A route's track points in degrees, worked out once per route however many rides cut it.
class TrackDegrees {
public:
    explicit TrackDegrees(const Network& network) : m_network(network), m_tracks(network.routes.size()) {}

    // route is one of the network's routes.
    const QVector<LonLat>& of(const Route& route) {
        QVector<LonLat>& t = m_tracks[&route - m_network.routes.constData()];
        if (t.isEmpty()) {
            t.reserve(route.track.size());
            for (const TrackPoint& p : route.track) {
                LonLat ll;
                unproject(p.xy, ll.lat, ll.lon);
                t.append(ll);
            }
        }
        return t;
    }

    // Every route the rides run on worked out beforehand, so that of() only reads and several threads may cut
    // rides at once.
    void prepare(const QVector<PlacedRide>& placed) {
        for (const PlacedRide& p : placed)
            if (p.route->drawable())
                of(*p.route);
    }

private:
    const Network& m_network;
    QVector<QVector<LonLat>> m_tracks;
};

namespace {

constexpr double kPi = 3.14159265358979323846;

LonLat lerp(const LonLat& a, const LonLat& b, double t) {
    return {a.lon + (b.lon - a.lon) * t, a.lat + (b.lat - a.lat) * t};
}

void appendPoint(Line& line, const LonLat& ll) {
    // Neighbours closer than a millionth of a degree are one point in the file.
    if (!line.isEmpty() && std::abs(line.last().lon - ll.lon) < 5e-7 && std::abs(line.last().lat - ll.lat) < 5e-7)
        return;
    line.append(ll);
}

// The part of the track between two posts, as the map cuts it (netmap::trackBetween), in degrees. Lines go to out
// from index used on; the lines there are reused, so that cutting ride after ride allocates nothing once warm.
void cutTrack(const Route& route, const QVector<LonLat>& deg, double from, double to, QVector<Line>& out, int& used) {
    Line* current = nullptr;
    auto finish = [&] {
        if (current && current->size() >= 2)
            ++used;
        current = nullptr;
    };
    network::forEachTrackPiece(route.track, from, to, [&](int i, double ta, double tb, bool newLine) {
        if (newLine || !current) {
            finish();
            if (used == out.size())
                out.append(Line());
            current = &out[used];
            current->clear();
            appendPoint(*current, lerp(deg[i], deg[i + 1], ta));
        }
        appendPoint(*current, lerp(deg[i], deg[i + 1], tb));
    });
    finish();
}

// The first and last post the track passes.
void trackSpan(const Route& route, double& lo, double& hi) {
    lo = hi = route.track.first().kilo;
    for (const TrackPoint& t : route.track) {
        lo = std::min(lo, t.kilo);
        hi = std::max(hi, t.kilo);
    }
}

// The lines of a placed ride into a reused buffer: how many there are.
int cutRide(const RideExport& e, const PlacedRide& p, QVector<Line>& buffer) {
    int used = 0;
    if (!e.tracks || !p.route->drawable())
        return 0;
    const QVector<LonLat>& deg = e.tracks->of(*p.route);
    for (const IntervalSet::Part& part : p.parts)
        cutTrack(*p.route, deg, part.from, part.to, buffer, used);
    return used;
}

// --- writing -------------------------------------------------------------------------------------------------------

// Room for n more bytes at the end of out, written through the pointer returned and closed by endRoom(): the files
// are tens of millions of small pieces, too many to append one by one.
char* room(QByteArray& out, qsizetype n) {
    const qsizetype at = out.size();
    if (out.capacity() - at < n)
        out.reserve(std::max(out.capacity() * 2, at + n));
    out.resize(at + n);
    return out.data() + at;
}

void endRoom(QByteArray& out, const char* end) {
    out.resize(end - out.constData());
}

// The most a degree takes: a sign, three digits, the point and six decimals.
constexpr int kDegreeBytes = 11;

// Six decimals of a degree (about 0.1 m), written without the locale.
char* putDegrees(char* p, double v) {
    if (!std::isfinite(v) || std::abs(v) >= 1000) { // not a degree of longitude or latitude: never in a track
        *p++ = '0';
        return p;
    }
    long long n = std::llround(v * 1e6);
    if (n < 0) {
        *p++ = '-';
        n = -n;
    }
    const long long whole = n / 1000000;
    if (whole >= 100)
        *p++ = char('0' + whole / 100);
    if (whole >= 10)
        *p++ = char('0' + whole / 10 % 10);
    *p++ = char('0' + whole % 10);
    *p++ = '.';
    long long f = n % 1000000;
    for (int i = 5; i >= 0; --i, f /= 10)
        p[i] = char('0' + f % 10);
    return p + 6;
}

QByteArray numberText(double v) {
    if (!std::isfinite(v))
        return QByteArrayLiteral("null");
    // Kilometres kept to 0.1 km by the posts: no binary remainder in the file.
    QByteArray t = QByteArray::number(std::round(v * 1000) / 1000, 'f', 3);
    while (t.endsWith('0'))
        t.chop(1);
    if (t.endsWith('.'))
        t.chop(1);
    return t == "-0" ? QByteArrayLiteral("0") : t;
}

void appendJson(QByteArray& out, const QString& text) {
    QString escaped;
    escaped.reserve(text.size() + 2);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '"' || u == '\\') {
            escaped += u'\\';
            escaped += c;
        } else if (u < 0x20) {
            escaped += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        } else {
            escaped += c;
        }
    }
    out += '"';
    out += escaped.toUtf8();
    out += '"';
}

void appendJsonLine(QByteArray& out, const Line& line) {
    char* p = room(out, qsizetype(line.size()) * (2 * kDegreeBytes + 16) + 2);
    *p++ = '[';
    for (int i = 0; i < line.size(); ++i) {
        if (i)
            *p++ = ',';
        *p++ = '[';
        p = putDegrees(p, line[i].lon);
        *p++ = ',';
        p = putDegrees(p, line[i].lat);
        *p++ = ']';
    }
    *p++ = ']';
    endRoom(out, p);
}

void appendJsonGeometry(QByteArray& out, const QVector<Line>& lines, int count) {
    if (count == 0) {
        out += "null";
    } else if (count == 1) {
        out += "{\"type\":\"LineString\",\"coordinates\":";
        appendJsonLine(out, lines.first());
        out += '}';
    } else {
        out += "{\"type\":\"MultiLineString\",\"coordinates\":[";
        for (int i = 0; i < count; ++i) {
            if (i)
                out += ',';
            appendJsonLine(out, lines[i]);
        }
        out += "]}";
    }
}

void appendJsonProperty(QByteArray& out, const char* key, const QString& value, bool first = false) {
    if (!first)
        out += ',';
    out += '"';
    out += key;
    out += "\":";
    if (value.isNull())
        out += "null";
    else
        appendJson(out, value);
}

void appendJsonNumber(QByteArray& out, const char* key, double value) {
    out += ",\"";
    out += key;
    out += "\":";
    out += numberText(value);
}

// XML 1.0 text: markup characters escaped, characters XML cannot hold left out.
QByteArray xmlText(const QString& text) {
    QString t;
    t.reserve(text.size() + 8);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '&')
            t += QLatin1String("&amp;");
        else if (u == '<')
            t += QLatin1String("&lt;");
        else if (u == '>')
            t += QLatin1String("&gt;");
        else if (u == '"')
            t += QLatin1String("&quot;");
        else if (u < 0x20 && u != '\t' && u != '\n' && u != '\r')
            continue;
        else if (u == 0xFFFE || u == 0xFFFF)
            continue;
        else
            t += c;
    }
    return t.toUtf8();
}

struct Names {
    QString name, operatorName;
};

Names namesOf(const QHash<QString, RouteNames>& names, const PlacedRide& p) {
    const auto it = names.constFind(p.ride->code);
    if (it != names.cend())
        return {it->name, it->operatorName};
    return {p.route ? p.route->name : QString(), QString()};
}

QString rideCaption(const Names& n, const PlacedRide& p) {
    return QStringLiteral("%1 %2").arg(n.name, p.ride->section);
}

QString rideDescription(const Names& n, const PlacedRide& p) {
    return QStringLiteral("%1 %2 %3 %4 km")
        .arg(p.ride->day, p.ride->code, n.operatorName, QString::fromLatin1(numberText(p.ride->kilo)));
}

// How many threads share a long piece of work: every core, up to a few.
int workers() {
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

// Runs work(k) for k in [0, count) on up to workers() threads at once, the first on the calling thread; an
// exception of any of them reaches the caller once all have ended.
void runTogether(int count, const std::function<void(int)>& work) {
    std::vector<std::future<void>> others;
    for (int k = 1; k < count; ++k)
        others.push_back(std::async(std::launch::async, work, k));
    std::exception_ptr error;
    try {
        if (count > 0)
            work(0);
    } catch (...) {
        error = std::current_exception();
    }
    for (std::future<void>& f : others) {
        try {
            f.get();
        } catch (...) {
            if (!error)
                error = std::current_exception();
        }
    }
    if (error)
        std::rethrow_exception(error);
}

} // namespace

double lineLength(const Line& line) {
    constexpr double r = 6371.0088, rad = kPi / 180;
    double sum = 0;
    for (int i = 1; i < line.size(); ++i) {
        const double p1 = line[i - 1].lat * rad, p2 = line[i].lat * rad;
        const double dp = p2 - p1, dl = (line[i].lon - line[i - 1].lon) * rad;
        const double a =
            std::sin(dp / 2) * std::sin(dp / 2) + std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
        sum += 2 * r * std::asin(std::min(1.0, std::sqrt(a)));
    }
    return sum;
}

QVector<Line> RideExport::linesOf(const PlacedRide& p) const {
    QVector<Line> buffer;
    buffer.resize(cutRide(*this, p, buffer));
    return buffer;
}

double RideExport::lengthOf(const PlacedRide& p) const {
    double sum = 0;
    for (const Line& l : linesOf(p))
        sum += lineLength(l);
    return sum;
}

QVector<Line> routeLines(const Route& route) {
    QVector<Line> out;
    if (!route.drawable())
        return out;
    Line line;
    for (const TrackPoint& p : route.track) {
        LonLat ll;
        unproject(p.xy, ll.lat, ll.lon);
        appendPoint(line, ll);
    }
    if (line.size() >= 2)
        out.append(line);
    return out;
}

RideExport placeRides(const Network& network, const QVector<Ride>& rides, const Filter& filter) {
    // The rides are placed in slices on every core, each slice into an export of its own, joined in ride order.
    const int threads = rides.size() < 4096 ? 1 : workers();
    QVector<RideExport> slices(threads);
    runTogether(threads, [&](int k) {
        RideExport& out = slices[k];
        const qsizetype from = rides.size() * k / threads, to = rides.size() * (k + 1) / threads;
        for (qsizetype i = from; i < to; ++i) {
            const Ride& ride = rides[i];
            if (!filter.takesDay(ride.day))
                continue;
            ++out.rides;
            const Route* route = network.route(ride.code);
            const Section sec = resolveSection(route, ride.section, ride.kilo);
            if (sec.status == SectionStatus::UnknownRoute) {
                ++out.unknownRoute;
                continue;
            }
            if (!sec.found()) {
                ++out.unknownStation;
                continue;
            }
            PlacedRide p;
            p.ride = &ride;
            p.route = route;
            p.parts = sec.parts;
            // Only rides with some track to draw are placed: a stretch of some length within the posts the track
            // runs along (the track is one line, so it passes every post between its first and last).
            bool onTrack = false;
            if (route->drawable()) {
                double lo = 0, hi = 0;
                trackSpan(*route, lo, hi);
                for (const IntervalSet::Part& part : p.parts)
                    onTrack = onTrack || std::min(part.to, hi) > std::max(part.from, lo);
            }
            if (!onTrack) {
                ++out.noPosition;
                continue;
            }
            out.placed.append(std::move(p));
        }
    });
    RideExport out = std::move(slices[0]);
    for (int k = 1; k < threads; ++k) {
        out.rides += slices[k].rides;
        out.unknownRoute += slices[k].unknownRoute;
        out.unknownStation += slices[k].unknownStation;
        out.noPosition += slices[k].noPosition;
        out.placed += slices[k].placed;
    }
    out.tracks = std::make_shared<TrackDegrees>(network);
    return out;
}

QString placedText(const RideExport& e) {
    if (e.unplaced() == 0)
        return QStringLiteral("乗車 %1 件をすべて書き出しました。").arg(e.rides);
    QStringList why;
    if (e.unknownStation)
        why << QStringLiteral("乗車区間の駅が路線にない %1 件").arg(e.unknownStation);
    if (e.unknownRoute)
        why << QStringLiteral("路線が登録されていない %1 件").arg(e.unknownRoute);
    if (e.noPosition)
        why << QStringLiteral("路線の位置がない %1 件").arg(e.noPosition);
    return QStringLiteral("乗車 %1 件のうち %2 件を書き出しました。書き出せなかった %3 件: %4。")
        .arg(e.rides)
        .arg(e.placed.size())
        .arg(e.unplaced())
        .arg(why.join(QStringLiteral("、")));
}

std::optional<RideFormat> rideFormatOf(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("geojson") || suffix == QLatin1String("json"))
        return RideFormat::GeoJson;
    if (suffix == QLatin1String("kml"))
        return RideFormat::Kml;
    if (suffix == QLatin1String("gpx"))
        return RideFormat::Gpx;
    return std::nullopt;
}

namespace {

// One file format: what comes before the rides, each ride, and what comes after.
struct RideWriter {
    RideWriter(const RideExport& e, const QHash<QString, RouteNames>& n, const QString& t)
        : placed(e), names(n), title(t) {}
    virtual ~RideWriter() = default;
    virtual QByteArray head() const = 0;
    // buffer: the ride's lines, reused from ride to ride by one thread.
    virtual void ride(QByteArray& out, const PlacedRide& p, QVector<Line>& buffer) const = 0;
    virtual QByteArray tail() const = 0;

    const RideExport& placed;
    const QHash<QString, RouteNames>& names;
    const QString title;
};

struct GeoJsonWriter : RideWriter {
    using RideWriter::RideWriter;

    QByteArray head() const override { return "{\"type\":\"FeatureCollection\",\"features\":["; }
    void ride(QByteArray& out, const PlacedRide& p, QVector<Line>& buffer) const override {
        const Names n = namesOf(names, p);
        // The separator comes first: the first ride of the file is the first of the rides placed.
        out += &p == placed.placed.constData() ? "\n" : ",\n";
        out += "{\"type\":\"Feature\",\"geometry\":";
        appendJsonGeometry(out, buffer, cutRide(placed, p, buffer));
        out += ",\"properties\":{";
        appendJsonProperty(out, "route_code", p.ride->code, true);
        appendJsonProperty(out, "route_name", n.name);
        appendJsonProperty(out, "operator", n.operatorName.isEmpty() ? QString() : n.operatorName);
        appendJsonProperty(out, "section", p.ride->section);
        appendJsonProperty(out, "date", p.ride->day.isEmpty() ? QString() : p.ride->day);
        appendJsonNumber(out, "km", p.ride->kilo);
        out += "}}";
    }
    QByteArray tail() const override { return "\n]}\n"; }
};

void appendKmlCoordinates(QByteArray& out, const Line& line) {
    out += "<LineString><tessellate>1</tessellate><coordinates>";
    char* p = room(out, qsizetype(line.size()) * (2 * kDegreeBytes + 2));
    for (int i = 0; i < line.size(); ++i) {
        if (i)
            *p++ = ' ';
        p = putDegrees(p, line[i].lon);
        *p++ = ',';
        p = putDegrees(p, line[i].lat);
    }
    endRoom(out, p);
    out += "</coordinates></LineString>";
}

void appendKmlData(QByteArray& out, const char* name, const QString& value) {
    out += "<Data name=\"";
    out += name;
    out += "\"><value>";
    out += xmlText(value);
    out += "</value></Data>";
}

struct KmlWriter : RideWriter {
    using RideWriter::RideWriter;

    QByteArray head() const override {
        QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n<name>";
        out += xmlText(title);
        out += "</name>\n<Style id=\"ridden\"><LineStyle><color>ff2f2fd3</color><width>3</width></LineStyle>"
               "</Style>\n";
        return out;
    }
    void ride(QByteArray& out, const PlacedRide& p, QVector<Line>& buffer) const override {
        const Names n = namesOf(names, p);
        out += "<Placemark><name>";
        out += xmlText(rideCaption(n, p));
        out += "</name><description>";
        out += xmlText(rideDescription(n, p));
        out += "</description>";
        if (!p.ride->day.isEmpty()) {
            out += "<TimeStamp><when>";
            out += p.ride->day.toLatin1();
            out += "</when></TimeStamp>";
        }
        out += "<styleUrl>#ridden</styleUrl><ExtendedData>";
        appendKmlData(out, "route_code", p.ride->code);
        appendKmlData(out, "route_name", n.name);
        appendKmlData(out, "operator", n.operatorName);
        appendKmlData(out, "section", p.ride->section);
        appendKmlData(out, "date", p.ride->day);
        appendKmlData(out, "km", QString::fromLatin1(numberText(p.ride->kilo)));
        out += "</ExtendedData>";
        const int lines = cutRide(placed, p, buffer);
        if (lines > 1)
            out += "<MultiGeometry>";
        for (int i = 0; i < lines; ++i)
            appendKmlCoordinates(out, buffer[i]);
        if (lines > 1)
            out += "</MultiGeometry>";
        out += "</Placemark>\n";
    }
    QByteArray tail() const override { return "</Document>\n</kml>\n"; }
};

struct GpxWriter : RideWriter {
    using RideWriter::RideWriter;

    QByteArray head() const override {
        QByteArray out =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<gpx version=\"1.1\" creator=\"tabiroku\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n<metadata><name>";
        out += xmlText(title);
        out += "</name></metadata>\n";
        return out;
    }
    void ride(QByteArray& out, const PlacedRide& p, QVector<Line>& buffer) const override {
        static constexpr char kPoint[] = "<trkpt lat=\"", kLon[] = "\" lon=\"", kEnd[] = "\"/>";
        const Names n = namesOf(names, p);
        out += "<trk><name>";
        out += xmlText(rideCaption(n, p));
        out += "</name><desc>";
        out += xmlText(rideDescription(n, p));
        out += "</desc><type>";
        out += xmlText(n.operatorName.isEmpty() ? p.ride->code : n.operatorName);
        out += "</type>";
        const int lines = cutRide(placed, p, buffer);
        for (int i = 0; i < lines; ++i) {
            const Line& l = buffer[i];
            out += "<trkseg>";
            char* w = room(out, qsizetype(l.size()) * (2 * kDegreeBytes + sizeof kPoint + sizeof kLon + sizeof kEnd));
            for (const LonLat& ll : l) {
                w = std::copy_n(kPoint, sizeof kPoint - 1, w);
                w = putDegrees(w, ll.lat);
                w = std::copy_n(kLon, sizeof kLon - 1, w);
                w = putDegrees(w, ll.lon);
                w = std::copy_n(kEnd, sizeof kEnd - 1, w);
            }
            endRoom(out, w);
            out += "</trkseg>";
        }
        out += "</trk>\n";
    }
    QByteArray tail() const override { return "</gpx>\n"; }
};

std::unique_ptr<RideWriter> writerFor(RideFormat format, const RideExport& placed,
                                      const QHash<QString, RouteNames>& names, const QString& title) {
    switch (format) {
    case RideFormat::Kml:
        return std::make_unique<KmlWriter>(placed, names, title);
    case RideFormat::Gpx:
        return std::make_unique<GpxWriter>(placed, names, title);
    case RideFormat::GeoJson:
        break;
    }
    return std::make_unique<GeoJsonWriter>(placed, names, title);
}

// The whole file, handed to sink in pieces of a block of rides each, in ride order. A few blocks are made at once on
// every core while the blocks made before them go to sink, so that neither the time nor the memory grows with the
// file beyond that.
void writeRides(const RideWriter& writer, const RideExport& placed,
                const std::function<void(const QByteArray&)>& sink) {
    constexpr int kBlock = 512;
    if (placed.tracks)
        placed.tracks->prepare(placed.placed);
    const int rides = int(placed.placed.size());
    const int blocks = (rides + kBlock - 1) / kBlock;
    const int threads = workers();
    struct Window {
        QVector<QByteArray> made;
        QVector<QVector<Line>> lines;
        std::vector<std::future<void>> jobs; // last: destroyed (and so waited for) before the buffers they fill
    };
    Window windows[2];
    for (Window& w : windows) {
        w.made.resize(threads);
        w.lines.resize(threads);
    }
    auto start = [&](Window& w, int first) {
        for (int k = 0; k < threads && first + k < blocks; ++k)
            w.jobs.push_back(std::async(std::launch::async, [&writer, &placed, &w, k, from = (first + k) * kBlock,
                                                             to = std::min(rides, (first + k + 1) * kBlock)] {
                QByteArray& out = w.made[k];
                out.resize(0);
                for (int i = from; i < to; ++i)
                    writer.ride(out, placed.placed[i], w.lines[k]);
            }));
    };
    // Waits for every job of the window, then passes on the first exception any of them threw.
    auto finish = [](Window& w) {
        std::exception_ptr error;
        for (std::future<void>& f : w.jobs) {
            try {
                f.get();
            } catch (...) {
                if (!error)
                    error = std::current_exception();
            }
        }
        w.jobs.clear();
        if (error)
            std::rethrow_exception(error);
    };
    sink(writer.head());
    if (blocks > 0)
        start(windows[0], 0);
    for (int i = 0, first = 0; first < blocks; ++i, first += threads) {
        Window& current = windows[i % 2];
        finish(current);
        if (first + threads < blocks)
            start(windows[(i + 1) % 2], first + threads);
        for (int k = 0; k < threads && first + k < blocks; ++k)
            sink(current.made[k]);
    }
    sink(writer.tail());
}

} // namespace

QByteArray ridesFile(RideFormat format, const RideExport& placed, const QHash<QString, RouteNames>& names,
                     const QString& title) {
    QByteArray out;
    writeRides(*writerFor(format, placed, names, title), placed, [&](const QByteArray& piece) { out += piece; });
    return out;
}

QByteArray ridesGeoJson(const RideExport& placed, const QHash<QString, RouteNames>& names) {
    return ridesFile(RideFormat::GeoJson, placed, names, {});
}

QByteArray ridesKml(const RideExport& placed, const QHash<QString, RouteNames>& names, const QString& title) {
    return ridesFile(RideFormat::Kml, placed, names, title);
}

QByteArray ridesGpx(const RideExport& placed, const QHash<QString, RouteNames>& names, const QString& title) {
    return ridesFile(RideFormat::Gpx, placed, names, title);
}

QByteArray networkGeoJson(const Network& network, const Coverage& coverage, const QVector<Ride>& rides,
                          const Filter& filter, const QHash<QString, RouteNames>& names) {
    // Every ride of the period with its sign, by route, as the tallies add them.
    QVector<double> ridden(network.routes.size(), 0.0);
    for (const Ride& r : rides) {
        if (!filter.takesDay(r.day))
            continue;
        const auto it = network.routeByCode.constFind(r.code);
        if (it != network.routeByCode.cend())
            ridden[*it] += r.kilo;
    }
    QByteArray out;
    out += "{\"type\":\"FeatureCollection\",\"features\":[";
    for (int i = 0; i < network.routes.size(); ++i) {
        const Route& route = network.routes[i];
        const auto n = names.constFind(route.code);
        out += i ? ",\n" : "\n";
        out += "{\"type\":\"Feature\",\"geometry\":";
        const QVector<Line> lines = routeLines(route);
        appendJsonGeometry(out, lines, int(lines.size()));
        out += ",\"properties\":{";
        appendJsonProperty(out, "route_code", route.code, true);
        appendJsonProperty(out, "route_name", route.name);
        appendJsonProperty(out, "operator",
                           n == names.cend() || n->operatorName.isEmpty() ? QString() : n->operatorName);
        appendJsonProperty(out, "category", route.category.isEmpty() ? QString() : route.category);
        out += ",\"abolished\":";
        out += route.abolished ? "true" : "false";
        appendJsonNumber(out, "length_km", route.length);
        appendJsonNumber(out, "ridden_km", ridden[i]);
        // The tallies' ratio rule; an abolished route has a share of its own length all the same.
        out += ",\"ridden_share\":";
        out += QByteArray::number(rules::ratio(route.length, ridden[i]), 'f', 2);
        const double covered = i < coverage.routes.size() ? coverage.routes[i].ridden.measure() : 0;
        appendJsonNumber(out, "covered_km", covered);
        out += "}}";
    }
    out += "\n]}\n";
    return out;
}

QString exportTitle(const Filter& filter) {
    QString t = QStringLiteral("タビロク 乗車記録");
    if (filter.hasPeriod())
        t += QStringLiteral(" %1～%2").arg(filter.from, filter.to);
    return t;
}

RideExport writeRidesFile(const QString& fileName, const Network& network, const QVector<Ride>& rides,
                          const QHash<QString, RouteNames>& names, const Filter& filter) {
    const std::optional<RideFormat> format = rideFormatOf(fileName);
    if (!format)
        throw Error(
            QStringLiteral("書き出し先 %1 の拡張子は .geojson、.kml、.gpx のどれかにしてください。").arg(fileName));
    RideExport placed = placeRides(network, rides, filter);
    // Written as it is made: a file of a hundred thousand rides is well over a hundred megabytes.
    files::Replacement file(fileName, QStringLiteral("乗車記録のファイル"));
    writeRides(*writerFor(*format, placed, names, exportTitle(filter)), placed,
               [&](const QByteArray& piece) { file.write(piece); });
    file.commit();
    return placed;
}

int exportRides(const QStringList& args) {
    const QString usage = QStringLiteral(
        "使い方: tabiroku --export-rides OUT.geojson|OUT.kml|OUT.gpx [--from yyyy-mm-dd] [--to yyyy-mm-dd]");
    const cli::Options o = cli::parse(args, usage, true);
    if (!o.error.isEmpty())
        return cli::fail(o.error, 2);
    const std::optional<RideFormat> format = rideFormatOf(o.file);
    if (!format)
        return cli::fail(
            QStringLiteral("%1: 拡張子は .geojson、.kml、.gpx のどれかにしてください。\n%2").arg(o.file, usage), 2);
    return cli::onRecord([&](cli::Record& r) {
        const RideExport placed =
            writeRidesFile(o.file, r.data.network, r.data.rides, routeNamesByCode(r.ref), o.filter);
        cli::say(QStringLiteral("%1 に乗車 %2 件を書き出しました。").arg(o.file).arg(placed.placed.size()));
        cli::say(placedText(placed));
        return 0;
    });
}

int exportNetwork(const QStringList& args) {
    const QString usage =
        QStringLiteral("使い方: tabiroku --export-network OUT.geojson [--from yyyy-mm-dd] [--to yyyy-mm-dd]");
    const cli::Options o = cli::parse(args, usage, true);
    if (!o.error.isEmpty())
        return cli::fail(o.error, 2);
    if (rideFormatOf(o.file) != RideFormat::GeoJson)
        return cli::fail(QStringLiteral("%1: 拡張子は .geojson にしてください。\n%2").arg(o.file, usage), 2);
    return cli::onRecord([&](cli::Record& r) {
        const NetworkExport written =
            writeNetworkFile(o.file, r.data.network, r.data.rides, routeNamesByCode(r.ref), o.filter);
        cli::say(QStringLiteral("%1 に路線 %2 件(線のあるもの %3 件)を書き出しました。")
                     .arg(o.file)
                     .arg(written.routes)
                     .arg(written.drawable));
        return 0;
    });
}

int exportRidesCommand(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabiroku"));
    return exportRides(app.arguments());
}

int exportNetworkCommand(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabiroku"));
    return exportNetwork(app.arguments());
}

} // namespace tabi::netexport
