#pragma once

#include "schema.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QLockFile;

// The two databases belong together: an import that replaces both does it as a pair. Before the first file is
// replaced a journal in the data folder says which new file replaces which and where the copies of the old ones
// are; it goes when the second replacement is done. A start that finds it (the import was killed in between, or
// the disk filled and the way back failed too) finishes the replacement or rolls it back before anything opens
// the databases, and says what it did.
namespace tabi::pairswap {

// Puts the database at source in place of the one at target through the engine's online backup: one write
// transaction on the target, so that it holds either all of the old pages or all of the new ones, whatever fails
// on the way, and connections that hold it open stay valid. Throws tabi::Error naming the target.
void installDatabase(const QString& source, const QString& target);
// Tests: the nth installDatabase from now and every later one fail as on a full disk; 0 stops it.
void injectInstallFailure(int nth);

struct Replacement {
    DbKind kind = DbKind::Reference;
    QString fresh;  // the new database, in the import's work folder
    QString target; // the current database it replaces
    QString backup; // the copy of the current database; empty when there was none (target did not exist)
};

// dataDir()/import-journal.json
QString journalFile();
// Written (through files::replaceFile) before the first replacement; workDir goes with the journal.
void writeJournal(const QList<Replacement>& pair, const QString& workDir);
// Removes the journal and its work folder: the pair is complete (or rolled back).
void finishJournal();

// What a start does first: when a journal is there, the replacement it describes is finished (both new files
// are whole) or rolled back (from the copies), the journal goes, and the text says what was done; empty when there
// was no journal. Throws tabi::Error, naming the copies to put back by hand, when neither is possible (the
// journal then stays for the next try).
QString recoverInterrupted();

// Work folders ("import-*") and parts of copies ("*.part" in backups/) that killed imports left. Only call while
// holding the import lock: then no import is running that could still own them. Returns what was removed.
QStringList removeLeftovers();

// Every window of the program holds the data folder open (a shared lock on dataDir()/.open.lock) for its
// life; an Access import, which replaces the databases under everyone's feet, needs it alone.
// Takes the shared lock; false when an import holds the folder (the window then must not start).
bool holdOpen();
void releaseOpen();

// One import at a time: dataDir()/import.lock (a lock file naming its process; one of a dead process is taken
// over). With exclusive set it also needs the data folder to itself: no window of the program may hold it open.
// Throws tabi::Error saying why not.
class ImportLock {
public:
    explicit ImportLock(bool exclusive);
    ~ImportLock();
    ImportLock(const ImportLock&) = delete;
    ImportLock& operator=(const ImportLock&) = delete;

    // The same without throwing: null when another import holds it.
    static std::unique_ptr<ImportLock> tryTake();

private:
    ImportLock() = default;
    std::unique_ptr<QLockFile> m_file;
    int m_openFd = -1;
};

} // namespace tabi::pairswap
