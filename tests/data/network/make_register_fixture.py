#!/usr/bin/env python3
"""Writes the fixture of the route register tests (folder "corridor") in the station data set's layout.

Unlike make_fixtures.py, a station here has one code whatever lines it is on, as in the data set. x and y are
kilometres east and north of each group's origin. main/ holds the lines in service; extra/ adds the closed
stations and lines. Run from this folder; the output is committed.
"""
import json
import os

from make_fixtures import geo

COMPANIES = [
    (2, "JR東日本", "東日本旅客鉄道株式会社", "JR東日本", 1),
    (4, "JR西日本", "西日本旅客鉄道株式会社", "JR西日本", 1),
    (3, "JR東海", "東海旅客鉄道株式会社", "JR東海", 1),
    (1, "JR北海道", "北海道旅客鉄道株式会社", "JR北海道", 1),
    (110, "秋田内陸縦貫鉄道", "秋田内陸縦貫鉄道株式会社", "秋田内陸縦貫鉄道", 0),
    (124, "富士急行", "富士急行株式会社", "富士急", 0),
    (125, "岳南電車", "岳南電車株式会社", "岳南電車", 0),
    (119, "東京都交通局", "東京都交通局", "都営", 0),
]

# name -> (code, x, y, origin, closed, closed_date, data-set name)
STATIONS = {}


def st(code, name, x, y, origin, closed=0, date="NULL", shown=None):
    STATIONS[name] = (code, x, y, origin, closed, date, shown or name)


TOKYO = (35.68, 139.77)
# A rapid line (東海道本線, 宇都宮線) and a local service (京浜東北線) over one corridor.
for code, name, y in [(101, "東京", 0), (102, "有楽町", -1), (103, "新橋", -2), (104, "浜松町", -3),
                      (105, "品川", -6), (106, "大井町", -8), (107, "川崎", -16), (108, "秋葉原", 2),
                      (109, "上野", 4), (110, "赤羽", 12), (111, "川口", 14), (112, "浦和", 20), (113, "大宮", 25)]:
    st(code, name, 0, y, TOKYO)
OKAYAMA = (34.66, 133.92)
# 伯備線 runs officially from 倉敷; the data set's line starts at 岡山 over 山陽本線.
for code, name, x, y in [(201, "岡山", 0, 0), (202, "庭瀬", -6, 0), (203, "倉敷", -15, 0), (204, "清音", -17, 4),
                         (205, "総社", -18, 8)]:
    st(code, name, x, y, OKAYAMA)
TSURUMI = (35.50, 139.68)
# A branch listed inside a line's order: after 扇町 the order jumps to 新芝浦, a branch from 浅野.
for code, name, x, y in [(301, "鶴見", 0, 0), (302, "浅野", 0, 3), (303, "安善", 0, 6), (304, "扇町", 0, 12),
                         (305, "新芝浦", 2.5, 3.1), (306, "海芝浦", 6, 3.3)]:
    st(code, name, x, y, TSURUMI)
OSAKA = (34.70, 135.50)
# A loop.
for code, name, x, y in [(401, "天王寺", 0, 0), (402, "大正", 3, 0), (403, "大阪", 3, 3), (404, "京橋", 0, 3)]:
    st(code, name, x, y, OSAKA)
SAPPORO = (43.06, 141.33)
# A line the register knows closed beyond 北海道医療大学, and an old alignment (旧線) beside a line in service.
for code, name, y in [(501, "桑園", 0), (502, "北海道医療大学", 29), (503, "石狩月形", 50), (504, "新十津川", 77)]:
    st(code, name, 0, y, SAPPORO)
st(505, "旧当別", 2, 15, SAPPORO, 1, "1990-04-01")
AKITA = (40.20, 140.40)
# The sample writes 鷹巣 where the data set writes 鷹ノ巣(鷹巣).
st(601, "鷹ノ巣", 0, 0, AKITA, shown="鷹ノ巣(鷹巣)")
st(602, "阿仁合", 0, 40, AKITA)
st(603, "角館", 0, 94, AKITA)

OTSUKI = (35.61, 138.94)
# A line the register does not have, whose name starts with its operator's short name (富士急): it keeps its
# whole name rather than become 「行線」.
st(701, "大月", 0, 0, OTSUKI)
st(702, "河口湖", -10, -20, OTSUKI)

CHITOSE = (42.80, 141.67)
# A spur listed inline: the order goes 植苗, 新千歳空港, 南千歳, though the airport lies on a spur that leaves the
# line 1 km south of 南千歳.
st(801, "植苗", 0, 0, CHITOSE)
st(802, "新千歳空港", 3, 9, CHITOSE)
st(803, "南千歳", 0, 10, CHITOSE)
st(804, "千歳", 0, 13, CHITOSE)

OGAKI = (35.37, 136.61)
# A branch that leaves its main line between stations (just short of 荒尾, no station there): the data set lists
# 荒尾, a station of the branch only, inside the main line's order, beside its track.
st(901, "大垣", 0, 0, OGAKI)
st(902, "荒尾", 0.2, 3.5, OGAKI)
st(903, "美濃赤坂", 1.5, 5, OGAKI)
st(904, "垂井", 0, 8, OGAKI)

GAKUNAN = (35.14, 138.70)
# Two stations 0.28 km apart on a curving track (吉原本町, 本吉原): the one before lies by the start of the way
# on from the second, which does not make the next station a branch from it.
st(1001, "吉原", 0, 0, GAKUNAN)
st(1002, "吉原本町", 0, 2.8, GAKUNAN)
st(1003, "本吉原", 0.2, 3, GAKUNAN)
st(1004, "岳南原田", 2, 4, GAKUNAN)

OEDO = (35.69, 139.69)
# A line shaped like a 6: from 都庁前 round a ring back past 都庁前, then out to 光が丘. 新宿, whose place in the
# order is at the ring's end, lies 0.25 km beside the first step 都庁前～新宿西口 without being on it.
st(1101, "都庁前", 0, 0, OEDO)
st(1102, "新宿西口", 0, 1, OEDO)
st(1103, "飯田橋", 2, 2, OEDO)
st(1104, "門前仲町", 4, 0, OEDO)
st(1105, "六本木", 2, -2, OEDO)
st(1106, "新宿", 0.25, 0.5, OEDO)
st(1107, "西新宿五丁目", -1, 0, OEDO)
st(1108, "光が丘", -5, 0, OEDO)

# code, name, company, [stations], tracks (per origin of the first station), closed in main?
LINES = [
    (11301, "JR東海道本線(東京～熱海)", 2, ["東京", "新橋", "品川", "川崎"], [[(0, 0), (0, -16)]]),
    (11319, "JR東北本線(宇都宮線)", 2, ["上野", "赤羽", "大宮"], [[(0, 4), (0, 25)]]),
    (11332, "JR京浜東北線", 2, ["川崎", "大井町", "品川", "浜松町", "新橋", "有楽町", "東京", "秋葉原", "上野", "赤羽",
                            "川口", "浦和", "大宮"], [[(0, -16), (0, 25)]]),
    (11601, "JR山陽本線", 4, ["岡山", "庭瀬", "倉敷"], [[(0, 0), (-15, 0)]]),
    (11602, "JR伯備線", 4, ["岡山", "倉敷", "清音", "総社"], [[(0, 0), (-15, 0), (-17, 4), (-18, 8)]]),
    (11304, "JR鶴見線", 2, ["鶴見", "浅野", "安善", "扇町", "新芝浦", "海芝浦"],
     [[(0, 0), (0, 12)], [(0, 3), (2.5, 3.1), (6, 3.3)]]),
    (11623, "JR大阪環状線", 4, ["大阪", "京橋", "天王寺", "大正"], [[(3, 3), (0, 3), (0, 0), (3, 0), (3, 3)]]),
    (11112, "JR札沼線", 1, ["桑園", "旧当別", "北海道医療大学", "石狩月形", "新十津川"],
     [[(0, 0), (0, 77)]]),
    (99209, "秋田内陸縦貫鉄道", 110, ["鷹ノ巣", "阿仁合", "角館"], [[(0, 0), (0, 94)]]),
    (99413, "富士急行線", 124, ["大月", "河口湖"], [[(0, 0), (-10, -20)]]),
    (11109, "JR千歳線", 1, ["植苗", "新千歳空港", "南千歳", "千歳"], [[(0, 0), (0, 9)], [(0, 9), (0, 13)],
                                                          [(0, 9), (3, 9)]]),
    (11503, "JR東海道本線(岐阜～米原)", 3, ["大垣", "荒尾", "垂井"], [[(0, 0), (0, 8)]]),
    (11504, "JR東海道本線(美濃赤坂支線)", 3, ["荒尾", "美濃赤坂"], [[(0.2, 3.5), (1.5, 5)]]),
    (99301, "都営大江戸線", 119, ["都庁前", "新宿西口", "飯田橋", "門前仲町", "六本木", "新宿", "西新宿五丁目", "光が丘"],
     [[(0, 0), (0, 0.5), (0, 1), (2, 2), (4, 0), (2, -2), (0.25, 0.5), (0, 0)], [(0, 0), (-1, 0), (-5, 0)]]),
    (99503, "岳南線", 125, ["吉原", "吉原本町", "本吉原", "岳南原田"], [[(0, 0), (0, 3), (1, 3), (2, 4)]]),
]
# The old alignment's track, only in extra/.
OLD_TRACK = {11112: [(0, 0), (2, 15), (0, 29)]}


def write(folder, extra):
    base = f"{folder}/{'extra' if extra else 'main'}"
    os.makedirs(f"{base}/polyline", exist_ok=True)
    os.makedirs(f"{folder}/src", exist_ok=True)
    with open(f"{folder}/src/company.csv", "w") as f:
        f.write("code,rail_code,name,name_kana,name_formal,name_short,company_url,type,closed\n")
        for code, name, formal, short, typ in COMPANIES:
            f.write(f"{code},99,{name},NULL,{formal},{short},NULL,{typ},0\n")
    used = set()
    with open(f"{base}/line.csv", "w") as lf, open(f"{base}/register.csv", "w") as rf:
        lf.write("code,id,name,name_kana,name_formal,station_size,company_code,color,symbol,closed,closed_date\n")
        rf.write("station_code,line_code,index,numbering\n")
        for code, name, company, names, tracks in LINES:
            names = [n for n in names if extra or not STATIONS[n][4]]
            lf.write(f"{code},{code},{name},NULL,NULL,{len(names)},{company},NULL,NULL,0,NULL\n")
            for i, n in enumerate(names, 1):
                rf.write(f"{STATIONS[n][0]},{code},{i},NULL\n")
                used.add(n)
            origin = STATIONS[names[0]][3]
            features = []
            for t in tracks + ([OLD_TRACK[code]] if extra and code in OLD_TRACK else []):
                coords = [[geo(x, y, *origin)[1], geo(x, y, *origin)[0]] for x, y in t]
                features.append({"type": "Feature", "geometry": {"type": "LineString", "coordinates": coords},
                                 "properties": {}})
            with open(f"{base}/polyline/{code}.json", "w") as f:
                json.dump({"type": "FeatureCollection", "features": features, "properties": {"name": name}}, f)
    with open(f"{base}/station.csv", "w") as sf:
        sf.write("code,id,name,original_name,name_kana,lat,lng,prefecture,postal_code,address,closed,open_date,"
                 "closed_date,attr\n")
        for n in sorted(used, key=lambda n: STATIONS[n][0]):
            code, x, y, origin, closed, date, shown = STATIONS[n]
            lat, lon = geo(x, y, *origin)
            pref = 1 if origin[0] > 41 else 13
            sf.write(f"{code},{code},{shown},{shown},えき{code},{lat},{lon},{pref},NULL,NULL,{closed},NULL,{date},NULL\n")


write("corridor", False)
write("corridor", True)
