// The limits an import sets on itself: a runaway reader (memory, processor, a wait without end) or a crash ends
// the process with its last words naming the file and exit code 1, within the limits.
#include "data/processguard.h"

#include <QElapsedTimer>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

using namespace tabi;

namespace {

struct Ending {
    int exitCode = -1; // -1: ended by a signal
    QString said;
    qint64 ms = 0;
};

// Runs body in a child process guarded by limits, and collects what it wrote and how it ended.
template <typename F> Ending runGuarded(const guard::Limits& limits, guard::Voice voice, F body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        ::dup2(pipeFds[1], 1);
        ::dup2(pipeFds[1], 2);
        guard::setSubject(QStringLiteral("/data/壊れた.mdb"));
        guard::guardThisProcess(limits, voice, 2);
        try {
            body();
        } catch (...) {
            std::abort(); // as glib does when an allocation fails
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0)
        if (out.size() < 1 << 20)
            out.append(buf, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    Ending e;
    e.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    e.said = QString::fromUtf8(out);
    e.ms = timer.elapsed();
    return e;
}

volatile char g_sink;
char* volatile g_kept; // keeps the compiler from leaving out an allocation nobody reads

} // namespace

class TestProcessGuard : public QObject {
    Q_OBJECT
private slots:
    void runawayEndsWithAMessage_data() {
        QTest::addColumn<QString>("runaway");
        QTest::addColumn<QString>("reason");
        QTest::newRow("memory without end") << "memory"
                                            << "メモリーの上限";
        QTest::newRow("processor without end") << "cpu"
                                               << "CPU 時間";
        QTest::newRow("a wait without end") << "wait"
                                            << "時間の上限";
        QTest::newRow("a crash") << "crash"
                                 << "壊れている可能性";
    }
    void runawayEndsWithAMessage() {
        QFETCH(QString, runaway);
        QFETCH(QString, reason);
        // Each runaway meets its own limit; the clock is far off except for the wait.
        guard::Limits limits{0, 0, 30};
        if (runaway == QLatin1String("memory"))
            limits.addressSpace = qint64(512) * 1024 * 1024;
        else if (runaway == QLatin1String("cpu"))
            limits.cpuSeconds = 1;
        else if (runaway == QLatin1String("wait"))
            limits.wallSeconds = 2;
        const Ending e = runGuarded(limits, guard::Voice::Plain, [&] {
            if (runaway == QLatin1String("memory")) {
                // As the damaged files did to libmdb: allocate and write diagnostics without end.
                for (;;) {
                    g_kept = new char[8 * 1024 * 1024];
                    g_kept[0] = 1;
                }
            } else if (runaway == QLatin1String("cpu")) {
                for (unsigned long i = 0;; ++i)
                    g_sink = char(i);
            } else if (runaway == QLatin1String("wait")) {
                ::pause();
            } else {
                ::raise(SIGSEGV);
            }
        });
        QCOMPARE(e.exitCode, 1);
        QVERIFY2(e.said.contains(
                     QStringLiteral("/data/壊れた.mdb を読み取れませんでした（取り込み処理が異常終了しました）。")),
                 qPrintable(e.said));
        QVERIFY2(e.said.contains(reason), qPrintable(e.said));
        QVERIFY2(e.ms < 60000, qPrintable(QString::number(e.ms)));
    }

    // For the window the same words come as failure lines on standard output.
    void linesForTheWindow() {
        const Ending e = runGuarded({}, guard::Voice::Lines, [] {
            guard::setSubject(QStringLiteral("/data/JJ.mdb"));
            ::raise(SIGABRT);
        });
        QCOMPARE(e.exitCode, 1);
        QVERIFY2(e.said.contains(QStringLiteral("F\treading\t/data/JJ.mdb\n")), qPrintable(e.said));
        QVERIFY2(e.said.contains(QStringLiteral("E\t/data/JJ.mdb を読み取れませんでした")), qPrintable(e.said));
        for (const QString& line : e.said.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            QVERIFY2(line.startsWith(QLatin1String("E\t")) || line.startsWith(QLatin1String("F\t")), qPrintable(line));
    }

    // An import that ends well is not touched by its limits.
    void withinLimitsNothingHappens() {
        const Ending e = runGuarded(guard::importLimits(), guard::Voice::Plain, [] {
            std::vector<char> room(64 * 1024 * 1024, 1);
            g_sink = room.back();
        });
        QCOMPARE(e.exitCode, 0);
        QCOMPARE(e.said, QString());
    }
};

QTEST_GUILESS_MAIN(TestProcessGuard)
#include "test_processguard.moc"
