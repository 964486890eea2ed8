#include "jetvalues.h"

#include "data/textcodec.h"

#include <QDate>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace tabi::jet {

std::optional<double> readReal(QByteArrayView bytes) {
    if (bytes.size() == 8)
        return qFromLittleEndian<double>(bytes.data());
    if (bytes.size() == 4)
        return double(qFromLittleEndian<float>(bytes.data())); // every single is a double exactly
    return std::nullopt;
}

std::optional<qint64> readInteger(QByteArrayView bytes) {
    switch (bytes.size()) {
    case 1:
        return qint64(quint8(bytes[0]));
    case 2:
        return qint64(qFromLittleEndian<qint16>(bytes.data()));
    case 4:
        return qint64(qFromLittleEndian<qint32>(bytes.data()));
    default:
        return std::nullopt;
    }
}

std::optional<QString> oleDayToTimestamp(double day) {
    // 100-01-01 and 9999-12-31 23:59:59 as day numbers, with room for the rounding to the second.
    if (!std::isfinite(day) || day < -657435.0 || day >= 2958466.0)
        return std::nullopt;
    const double whole = std::trunc(day);
    qint64 seconds = std::llround(std::fabs(day - whole) * 86400.0);
    qint64 days = qint64(whole);
    if (seconds >= 86400) { // a time rounded up to midnight belongs to the next day, whichever way days count
        seconds -= 86400;
        ++days;
    }
    const QDate date = QDate(1899, 12, 30).addDays(days);
    if (!date.isValid() || date.year() < 100 || date.year() > 9999)
        return std::nullopt;
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", date.year(), date.month(), date.day(),
                             int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60));
}

std::optional<QString> jet4Text(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    const qsizetype n = bytes.size();
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        QString out;
        out.reserve(n);
        bool compressed = true;
        qsizetype i = 2;
        while (i < n) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out += QChar(char16_t(p[i]));
                ++i;
            } else {
                if (i + 1 >= n)
                    return std::nullopt;
                out += QChar(char16_t(p[i] | (p[i + 1] << 8)));
                i += 2;
            }
        }
        return out;
    }
    if (n % 2 != 0)
        return std::nullopt;
    QString out(n / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < n / 2; ++i)
        out[i] = QChar(char16_t(p[2 * i] | (p[2 * i + 1] << 8)));
    return out;
}

QString jet3Text(QByteArrayView bytes) {
    return text::fromCp932(bytes.toByteArray());
}

} // namespace tabi::jet
