#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

// The values of an Access (Jet) row as its column bytes hold them, turned into what the program stores. These
// read the bytes themselves rather than libmdb's text forms, which round doubles to 16 digits, refuse dates
// before 1899-12-30, turn characters outside the BMP into "?" and read Japanese Jet3 text as glibc's SHIFT-JIS.
namespace tabi::jet {

// A little-endian IEEE double (8 bytes) or single (4 bytes), bit for bit; nullopt for any other size.
std::optional<double> readReal(QByteArrayView bytes);
// A little-endian signed integer of 1 (unsigned in Jet), 2 or 4 bytes; nullopt for any other size.
std::optional<qint64> readInteger(QByteArrayView bytes);

// An OLE day number (days since 1899-12-30; for days before it the whole part counts back and the fraction
// still counts forward into the day, so -1.5 is 1899-12-29 12:00) as "yyyy-mm-dd HH:MM:SS", rounded to the
// second. nullopt for a value outside the years 100 to 9999 that Access keeps, or not a number.
std::optional<QString> oleDayToTimestamp(double day);

// A Jet4 text value: UTF-16LE, or "compressed" (the bytes FF FE, then runs of one byte per character for
// U+0001-U+00FF, switched to and from runs of UTF-16LE units by a zero byte). Surrogate pairs stay as stored.
// nullopt for an odd number of UTF-16 bytes.
std::optional<QString> jet4Text(QByteArrayView bytes);
// A Jet3 text value in the Japanese code page (CP932, the Windows form: 0x8160 is "～", 0x8740 is "①").
QString jet3Text(QByteArrayView bytes);

} // namespace tabi::jet
