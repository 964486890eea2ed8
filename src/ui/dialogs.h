#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;
class QDialog;
class QFileDialog;
class QMessageBox;

// Every modal wait of the program (message boxes, file dialogs, the screens' own modal dialogs) goes through
// these functions, so that one replaceable handler decides how it is answered: the real dialogs in the program,
// a recorded answer in tests, which must never block.
namespace tabi::ui {

enum class DialogKind { Information, Critical, Question, Choice, OpenFile, SaveFile, Exec };

struct DialogRequest {
    DialogKind kind = DialogKind::Information;
    QWidget* parent = nullptr;
    QString title;             // box or dialog caption
    QString text;              // message text; for file dialogs the proposed file or folder
    QString filter;            // file dialogs: "description (*.ext)" entries separated by ";;"
    QDialog* dialog = nullptr; // Exec: the dialog to run
    QString dialogClass;       // Exec: class name of the dialog
    // SaveFile: ask before an existing file is replaced.
    bool confirmOverwrite = true;
    // Choice: the buttons' captions, left to right, and the one Enter presses.
    QStringList choices = {};
    int defaultChoice = 0;
};

struct DialogReply {
    int result = 0;   // Question: nonzero = Yes; Choice: the button's index, -1 for Esc; Exec: the result code
    QString fileName; // OpenFile/SaveFile: the chosen file, empty when cancelled
};

using DialogHandler = std::function<DialogReply(const DialogRequest&)>;

// Installs a handler and returns the previous one; an empty handler restores the real dialogs.
DialogHandler setDialogHandler(DialogHandler handler);
// The real dialogs, for a handler that wants to fall back on them.
DialogReply showRealDialog(const DialogRequest& request);

void information(QWidget* parent, const QString& title, const QString& text);
void critical(QWidget* parent, const QString& title, const QString& text);
// Standard Yes/No question; true for Yes.
bool question(QWidget* parent, const QString& title, const QString& text);
// A question answered by one of several buttons (captions with their "&" keys); Enter presses defaultChoice.
// The index of the button pressed, or -1 when the box was closed with Esc or its close box.
int choose(QWidget* parent, const QString& title, const QString& text, const QStringList& choices,
           int defaultChoice = 0);
// Empty result when cancelled. filter uses Qt's form: "すべてのファイル (*.*)".
QString getOpenFileName(QWidget* parent, const QString& caption, const QString& filter,
                        const QString& directory = QString());
QString getSaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                        const QString& proposedFile = QString());
// A save dialog that replaces an existing file without asking and gives a name typed without an extension the
// default suffix (appended after a dot).
QString getSaveFileNameReplacing(QWidget* parent, const QString& caption, const QString& filter,
                                 const QString& defaultSuffix, const QString& proposedFile = QString());
// How the real dialogs are set up (also for tests that look at them without running them):
// a message box is wide enough for each line of its text up to a limit of the screen, and breaks longer lines
// between words or characters but never inside a quoted name (「乗車年月日」, "...").
void prepareMessageBox(QMessageBox& box);
// The text a message box shows for a message: quoted names are bound together so no line break falls inside.
QString keepQuotedWhole(const QString& text);
// The program's own file dialog, translated like the rest of Qt, showing the filters as written; a filter
// "*.*" lists every file, those without an extension included.
void prepareFileDialog(QFileDialog& dialog, const QString& filter);

// Runs a dialog modally and returns its result (QDialog::Accepted / Rejected or a done() code).
int execDialog(QDialog& dialog);

} // namespace tabi::ui
