#include "processguard.h"

#include <QByteArray>
#include <QStringList>
#include <algorithm>

#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tabi::guard {

namespace {

constexpr qint64 kImportAddressSpace = qint64(2) * 1024 * 1024 * 1024;
constexpr int kImportCpuSeconds = 180;
constexpr int kImportWallSeconds = 600;

constexpr int kSignals[] = {SIGXCPU, SIGALRM, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS};

// The handler may only copy bytes and call write(): everything it says is prepared here.
constexpr size_t kSubjectBytes = 4096;
char g_subjects[2][kSubjectBytes];
std::atomic<int> g_current{0};
int g_errorFd = 2;
Voice g_voice = Voice::Plain;

const char kFailed[] = " を読み取れませんでした（取り込み処理が異常終了しました）。";

const char* reasonFor(int signal) {
    switch (signal) {
    case SIGXCPU:
        return "処理が時間の上限（CPU 時間）を超えたため止めました。ファイルが壊れている可能性があります。"
               "データベースは元のままです。";
    case SIGALRM:
        return "処理が時間の上限を超えたため止めました。ファイルが壊れている可能性があります。"
               "データベースは元のままです。";
    case SIGABRT:
    case SIGTRAP: // glib's end when an allocation fails
        return "メモリーの上限に達したか、ファイルが壊れています。データベースは元のままです。";
    default:
        return "ファイルが壊れている可能性があります。データベースは元のままです。";
    }
}

void writeAll(int fd, const char* bytes, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, bytes, n);
        if (w <= 0)
            return;
        bytes += w;
        n -= size_t(w);
    }
}

void writeText(int fd, const char* text) {
    writeAll(fd, text, std::strlen(text));
}

extern "C" void lastWords(int signal) {
    const int fd = g_voice == Voice::Lines ? 1 : g_errorFd;
    const char* subject = g_subjects[g_current.load()];
    if (g_voice == Voice::Lines)
        writeText(fd, "E\t");
    writeText(fd, subject[0] ? subject : "ファイル");
    writeText(fd, kFailed);
    writeText(fd, "\n");
    if (g_voice == Voice::Lines)
        writeText(fd, "E\t");
    writeText(fd, reasonFor(signal));
    writeText(fd, "\n");
    ::_exit(1);
}

} // namespace

Limits importLimits() {
    return {kImportAddressSpace, kImportCpuSeconds, kImportWallSeconds};
}

void guardThisProcess(const Limits& limits, Voice voice, int errorFd) {
    g_voice = voice;
    g_errorFd = errorFd;
    // A handler for a crash on an overflowing stack needs a stack of its own.
    static char altStack[64 * 1024];
    stack_t ss{};
    ss.ss_sp = altStack;
    ss.ss_size = sizeof altStack;
    sigaltstack(&ss, nullptr);
    struct sigaction sa {};
    sa.sa_handler = &lastWords;
    sa.sa_flags = SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    for (int s : kSignals)
        sigaction(s, &sa, nullptr);
    if (limits.addressSpace > 0) {
        rlimit r{};
        getrlimit(RLIMIT_AS, &r);
        const rlim_t want = rlim_t(limits.addressSpace);
        if (r.rlim_max == RLIM_INFINITY || r.rlim_max > want) {
            r.rlim_cur = want;
            r.rlim_max = want;
        } else {
            r.rlim_cur = r.rlim_max;
        }
        setrlimit(RLIMIT_AS, &r);
    }
    if (limits.cpuSeconds > 0) {
        rlimit r{};
        getrlimit(RLIMIT_CPU, &r);
        rusage used{};
        getrusage(RUSAGE_SELF, &used);
        // Counted from now: the soft limit sends SIGXCPU, the hard one a few seconds later ends it regardless.
        const rlim_t want = rlim_t(used.ru_utime.tv_sec + used.ru_stime.tv_sec + limits.cpuSeconds);
        if (r.rlim_max == RLIM_INFINITY || r.rlim_max > want + 5) {
            r.rlim_cur = want;
            r.rlim_max = want + 5;
            setrlimit(RLIMIT_CPU, &r);
        }
    }
    if (limits.wallSeconds > 0)
        alarm(unsigned(limits.wallSeconds));
}

void setSubject(const QString& subject) {
    QByteArray bytes = subject.toUtf8();
    bytes.replace('\n', ' ');
    bytes.replace('\r', ' ');
    bytes.truncate(qsizetype(kSubjectBytes) - 1);
    const int next = 1 - g_current.load();
    std::memcpy(g_subjects[next], bytes.constData(), size_t(bytes.size()));
    g_subjects[next][bytes.size()] = 0;
    g_current.store(next);
    // The window names the file even when the process ends without a word (killed by its watchdog).
    if (g_voice == Voice::Lines) {
        const QByteArray line = "F\treading\t" + bytes + '\n';
        writeAll(1, line.constData(), size_t(line.size()));
    }
}

QString failureText(const QString& subject, int signal) {
    return subject + QString::fromUtf8(kFailed) + QLatin1Char('\n') + QString::fromUtf8(reasonFor(signal));
}

int silenceStandardError() {
    const int kept = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (kept < 0)
        return 2;
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0) {
        ::close(kept);
        return 2;
    }
    ::dup2(null, 2);
    ::close(null);
    return kept;
}

} // namespace tabi::guard

namespace tabi::guard {

void Reporter::write(int fd, const QByteArray& bytes) {
    writeAll(fd, bytes.constData(), size_t(bytes.size()));
}

void Reporter::tagged(char tag, const QString& text) {
    QByteArray out;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        out += tag;
        out += '\t';
        out += line.toUtf8();
        out += '\n';
    }
    write(1, out);
}

void Reporter::progress(qint64 done, qint64 total, const QString& what) {
    const int percent = total > 0 ? int(std::min<qint64>(done, total) * 100 / total) : 100;
    if (m_voice == Voice::Lines) {
        QString label = what;
        label.replace(QLatin1Char('\n'), QLatin1Char(' '));
        write(1, QStringLiteral("P\t%1\t%2\t%3\n").arg(done).arg(total).arg(label).toUtf8());
        return;
    }
    if (what == m_lastWhat && percent / 10 == m_lastPercent / 10 && m_lastPercent >= 0)
        return;
    m_lastPercent = percent;
    m_lastWhat = what;
    write(m_errorFd, QStringLiteral("%1… %2%\n").arg(what).arg(percent).toUtf8());
}

void Reporter::text(const QString& text) {
    if (m_voice == Voice::Lines)
        return tagged('T', text.endsWith(QLatin1Char('\n')) ? text.chopped(1) : text);
    write(1, (text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n')).toUtf8());
}

void Reporter::error(const QString& text) {
    if (m_voice == Voice::Lines)
        return tagged('E', text.endsWith(QLatin1Char('\n')) ? text.chopped(1) : text);
    write(m_errorFd, (text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n')).toUtf8());
}

void Reporter::fact(const QString& name, const QString& value) {
    if (m_voice == Voice::Lines)
        write(1, QStringLiteral("F\t%1\t%2\n").arg(name, value).toUtf8());
}

} // namespace tabi::guard
