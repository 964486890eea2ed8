#pragma once

#include <QString>

// Limits an import process sets on itself, and the last words it says when it ends by one of them or by a crash.
// The imports read files nobody checked (Access files through libmdb, the station data set): a damaged file can
// send a reader into an endless loop that eats memory, or crash it. The process then ends, within the limits,
// with a message naming the file and exit code 1, and the databases stay as they were (the import only replaces
// them at its very end, through the pair journal).
namespace tabi::guard {

struct Limits {
    qint64 addressSpace = 0; // bytes of address space (setrlimit RLIMIT_AS); 0 leaves it alone
    int cpuSeconds = 0;      // processor seconds (RLIMIT_CPU); 0 leaves it alone
    int wallSeconds = 0;     // seconds on the clock from guardThisProcess(); 0 for none
};

// The limits of the imports: far above what the whole national data set or a lifetime of rides needs (a few
// hundred megabytes, well under a minute), low enough that a runaway reader ends within a minute.
Limits importLimits();

// Where the last words go: a plain message on standard error (a user at a terminal), or the same as "E\t" lines
// on standard output (a window reading the child's lines, see childprotocol).
enum class Voice { Plain, Lines };

// Sets the limits on this process and installs handlers for the signals that end it by them or by a crash
// (SIGXCPU, SIGALRM, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS; SIGKILL cannot be caught): each writes
// "<subject> を読み取れませんでした（取り込み処理が異常終了しました）。" with the reason and exits with code 1.
// errorFd is the descriptor the plain message goes to (normally 2).
void guardThisProcess(const Limits& limits, Voice voice, int errorFd = 2);

// The file or folder the process is reading now, named in the last words.
void setSubject(const QString& subject);

// The last words for a signal, as the handler writes them (for tests and for the window, which says the same
// when the child ends without saying anything).
QString failureText(const QString& subject, int signal);

// Standard error of this process goes to /dev/null from now on (a library that writes a flood of diagnostics);
// returns a duplicate of the old descriptor for the program's own messages, or 2 when that fails.
int silenceStandardError();

} // namespace tabi::guard

namespace tabi::guard {

// What a command-line import says: to a user (text on standard output, progress and errors on standard error)
// or, with --lines, to the window that started it, one tagged line each on standard output:
//   "P\t<done>\t<total>\t<what>"  progress
//   "T\t<text>"                   a line of the report (or of the survey)
//   "E\t<text>"                   a line of the failure
//   "F\t<name>\t<value>"          a fact the window acts on (what needs the user's word)
class Reporter {
public:
    Reporter(Voice voice, int errorFd) : m_voice(voice), m_errorFd(errorFd) {}
    Voice voice() const { return m_voice; }
    void progress(qint64 done, qint64 total, const QString& what);
    void text(const QString& text);
    void error(const QString& text);
    void fact(const QString& name, const QString& value);

private:
    void write(int fd, const QByteArray& bytes);
    void tagged(char tag, const QString& text);
    Voice m_voice;
    int m_errorFd;
    int m_lastPercent = -1;
    QString m_lastWhat;
};

} // namespace tabi::guard
