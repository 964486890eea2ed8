#!/usr/bin/env python3
"""Writes the small network fixtures of tests/netimport in the station data set's layout.

Coordinates are made up on a flat patch of ground: x and y in kilometres east and north of an origin, so
that expected posts can be worked out by hand. Run from this folder; the output is committed.
"""
import json
import math
import os

LAT0, LON0 = 36.0, 138.0


def geo(x, y, lat0=LAT0, lon0=LON0):
    # Kilometres per degree on the WGS84 ellipsoid at the origin's latitude.
    a, e2 = 6378.137, 6.69437999014e-3
    s = math.sin(math.radians(lat0))
    w = math.sqrt(1 - e2 * s * s)
    km_lat = a * (1 - e2) / w ** 3 * math.pi / 180
    km_lon = a / w * math.cos(math.radians(lat0)) * math.pi / 180
    return round(lat0 + y / km_lat, 6), round(lon0 + x / km_lon, 6)


COMPANIES = [
    # code, name, formal, short, type
    (1, "JR北海道", "北海道旅客鉄道株式会社", "JR北海道", 1),
    (2, "JR東日本", "東日本旅客鉄道株式会社", "JR東日本", 1),
    (4, "JR西日本", "西日本旅客鉄道株式会社", "JR西日本", 1),
    (18, "東京メトロ", "東京地下鉄株式会社", "東京メトロ", 2),
    (102, "函館市交通局", "函館市交通局", "函館市電", 0),
]


def lines(variant):
    """(code, name, company, closed, [(station name, x, y, closed, closed_date)], tracks, origin)."""
    v2 = variant == "v2"
    out = []
    # A line across a JR border (南小谷), with two stations on the same 0.1 km (北松本, 島内).
    out.append((11499 if v2 else 11409, "JR大糸線", 2, 0,
                [("松本", 0, 0), ("北松本", 0, 2.0), ("島内", 0, 2.04), ("南小谷", 0, 5), ("糸魚川", 0, 9.2 if v2 else 9)],
                [[(0, y / 2) for y in range(0, 19)] + ([(0, 9.2)] if v2 else [])], (36.0, 138.0)))
    # A loop whose route starts at 大阪 and runs round to 大阪.
    out.append((11623, "JR大阪環状線", 4, 0,
                [("天王寺", 0, 0), ("大正", 1, 0), ("大阪", 1, 1), ("京橋", 0, 1)],
                [[(0, 0), (1, 0), (1, 1), (0, 1), (0, 0)]], (34.6, 135.5)))
    # A branch jump: after 立川 the order jumps back to a branch from 川崎.
    far = 21 if v2 else 20
    out.append((11303, "JR南武線", 2, 0,
                [("川崎", 0, 0), ("登戸", 0, 10), ("立川", 0, far), ("八丁畷", 3, 0), ("浜川崎", 6, 0)],
                [[(0, y) for y in range(0, far + 1)], [(x, 0) for x in range(0, 7)]], (35.5, 139.7)))
    # A service line over other lines' track: left out.
    out.append((11333, "JR湘南新宿ライン", 2, 0, [("大宮", 0, 0), ("逗子", 0, 50)], [[(0, 0), (0, 50)]], (35.9, 139.6)))
    # A station far off its track (国道, 2 km aside) and a tail station of a through service (川崎新町) off it.
    # In v2 the line is 1 km longer and has a new station.
    stations = [("鶴見", 0, 0), ("国道", 2, 1), ("扇町", 0, 5 if v2 else 4)]
    if v2:
        stations.insert(2, ("新芝浦", 0, 3))
    out.append((11304, "JR鶴見線", 2, 0, stations + [("川崎新町", 3, 7)],
                [[(0, y / 4) for y in range(0, 21 if v2 else 17)]], (35.5, 139.68)))
    # A major private operator's subway line that the sample has (201001 銀座線 浅草～渋谷).
    out.append((28001, "東京メトロ銀座線", 18, 0, [("浅草", 0, 0), ("上野", 0, 2), ("渋谷", 0, 14)],
                [[(0, y) for y in range(0, 15)]], (35.7, 139.77)))
    # A line with an abolished tail (北海道医療大学～新十津川, 2020); the sample has both parts.
    out.append((11112, "JR札沼線", 1, 0,
                [("桑園", 0, 0), ("北海道医療大学", 0, 29), ("石狩月形", 0, 50, 1, "2020-05-07"),
                 ("新十津川", 0, 77, 1, "2020-05-07")],
                [[(0, y) for y in range(0, 78)]], (43.06, 141.33)))
    # Two tram services over one track: the second keeps only the part the first does not cover.
    out.append((99105, "函館市電２系統", 102, 0, [("湯の川", 4, 0), ("十字街", 0, 0), ("谷地頭", 0, -1)],
                [[(4, 0), (0, 0), (0, -1)]], (41.77, 140.72)))
    out.append((99106, "函館市電５系統", 102, 0, [("湯の川", 4, 0), ("十字街", 0, 0), ("函館どつく前", -1, 0)],
                [[(4, 0), (0, 0), (-1, 0)]], (41.77, 140.72)))
    # An operator the company list does not know: reported and left out.
    out.append((99999, "謎の鉄道線", 999, 0, [("甲", 0, 0), ("乙", 0, 1)], [[(0, 0), (0, 1)]], (36.0, 138.0)))
    return out


def write(variant, folder, station_rows_extra=None, line_name_override=None):
    os.makedirs(f"{folder}/main/polyline", exist_ok=True)
    os.makedirs(f"{folder}/src", exist_ok=True)
    with open(f"{folder}/src/company.csv", "w") as f:
        f.write("code,rail_code,name,name_kana,name_formal,name_short,company_url,type,closed\n")
        for code, name, formal, short, typ in COMPANIES:
            f.write(f"{code},99,{name},NULL,{formal},{short},NULL,{typ},0\n")
    lf = open(f"{folder}/main/line.csv", "w")
    sf = open(f"{folder}/main/station.csv", "w")
    rf = open(f"{folder}/main/register.csv", "w")
    lf.write("code,id,name,name_kana,name_formal,station_size,company_code,color,symbol,closed,closed_date\n")
    sf.write("code,id,name,original_name,name_kana,lat,lng,prefecture,postal_code,address,closed,open_date,"
             "closed_date,attr\n")
    rf.write("station_code,line_code,index,numbering\n")
    sid = 0
    # A station has one code whatever lines it is on (a station of the same name near the same origin is the
    # same station), as in the data set.
    codes = {}
    written = set()
    for code, name, company, closed, stations, tracks, (lat0, lon0) in lines(variant):
        if line_name_override and code in line_name_override:
            name = line_name_override[code]
        lf.write(f"{code},{code},{name},NULL,NULL,{len(stations)},{company},NULL,NULL,{closed},NULL\n")
        pref = 1 if lat0 > 41 else 13
        for i, st in enumerate(stations, 1):
            sname, x, y = st[:3]
            sclosed = st[3] if len(st) > 3 else 0
            sdate = st[4] if len(st) > 4 else "NULL"
            lat, lon = geo(x, y, lat0, lon0)
            key = (sname, lat0, lon0)
            if key not in codes:
                sid += 1
                codes[key] = 1000000 + sid
            scode = codes[key]
            kana = "えき" + str(scode - 1000000)
            if scode not in written:
                written.add(scode)
                sf.write(f"{scode},{scode - 1000000},{sname},{sname},{kana},{lat},{lon},{pref},NULL,NULL,{sclosed},NULL,"
                         f"{sdate},NULL\n")
            rf.write(f"{scode},{code},{i},NULL\n")
        features = []
        for t in tracks:
            coords = [[geo(x, y, lat0, lon0)[1], geo(x, y, lat0, lon0)[0]] for x, y in t]
            features.append({"type": "Feature", "geometry": {"type": "LineString", "coordinates": coords},
                             "properties": {}})
        with open(f"{folder}/main/polyline/{code}.json", "w") as f:
            json.dump({"type": "FeatureCollection", "features": features, "properties": {"name": name}}, f)
    if station_rows_extra:
        sf.write(station_rows_extra)
    lf.close()
    sf.close()
    rf.close()


if __name__ == "__main__":
    write("v1", "v1")
    write("v2", "v2")
    # A malformed CSV line: the error names station.csv and the line.
    write("v1", "badcsv", station_rows_extra="1,2,3\n")
    # A route name longer than the field holds: the import fails inside its transaction, naming the route.
    write("v1", "toolong", line_name_override={11303: "JR" + "長" * 60 + "線"})
    # A polyline that is not GeoJSON.
    write("v1", "badjson")
    with open("badjson/main/polyline/11623.json", "w") as f:
        f.write("{\"type\": \"FeatureCollection\", \"features\": [\n  {oops}\n]}\n")
