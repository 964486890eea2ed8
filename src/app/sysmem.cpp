#include "app/sysmem.h"

#include <QFile>
#include <QRegularExpression>

#include <sys/sysinfo.h>

namespace tabi {

namespace {

// A "Key:   12345 kB" line of /proc/meminfo, in bytes; -1 when absent.
qint64 meminfoBytes(const QByteArray& text, const char* key) {
    const QRegularExpression re(QStringLiteral("^%1:\\s+(\\d+) kB").arg(QLatin1String(key)),
                                QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(text));
    return m.hasMatch() ? m.captured(1).toLongLong() * 1024 : -1;
}

} // namespace

MemoryStatus memoryStatus() {
    MemoryStatus status;
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return status;
    const std::uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    status.totalBytes = std::uint64_t(info.totalram) * unit;
    // Memory in use is what cannot be had without swapping: the kernel's "available" estimate counts caches
    // as free, as the system load figure of other platforms does.
    std::uint64_t available = (std::uint64_t(info.freeram) + std::uint64_t(info.bufferram)) * unit;
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly)) {
        const qint64 avail = meminfoBytes(meminfo.readAll(), "MemAvailable");
        if (avail >= 0)
            available = std::uint64_t(avail);
    }
    if (status.totalBytes > 0 && available <= status.totalBytes)
        status.loadPercent = int((status.totalBytes - available) * 100 / status.totalBytes);
    return status;
}

} // namespace tabi
