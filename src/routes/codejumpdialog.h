#pragma once

#include "data/cursor.h"

#include <QDialog>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tabi::ui {
class DBGrid;
}

namespace tabi::routes {

// The jump-to-code dialog family: a code field whose every change moves the list's cursor to the first record
// at or after the typed text, accepted with Enter, "了解(&R)" or a double-click. Text that is no code (anything
// but ASCII letters and digits) is a search instead: the list moves to the first record whose name, kana or
// operator contains it, kana and half-width forms read alike, and a search that finds nothing says so. The list
// moves by Up, Down, PgUp, PgDn, Home and End from the code field too. The dialog moves nothing but its own
// cursor; the owner reads code() after run() and positions its own cursor on it.
class CodeJumpDialog : public QDialog {
    Q_OBJECT
public:
    struct Column {
        QString field;
        QString title;
        int width; // characters
    };
    struct Config {
        QString className; // designed size and place
        QString caption;
        QString table;
        QString codeField;
        QList<Column> columns;
        bool restoreOnCancel = true; // "取消(&C)" and Esc give back the code the dialog was shown with
        QStringList searchFields;    // what a search looks in
        QString what;                // what the records are, for the message of a search that finds nothing
        // A column showing start "～" end: the field of the column and the field of the end.
        QString sectionFrom, sectionTo;
    };
    static Config routes();   // TCode_I2 on MASTER
    static Config ropeways(); // TCode_I3 on SAKUDO
    static Config places();   // TCode_I4 on OTHERS

    CodeJumpDialog(const Config& config, std::shared_ptr<Database> reference, QWidget* parent = nullptr);
    ~CodeJumpDialog() override;

    // CODE_INPUT. Setting it runs the incremental search, as typing does.
    QString code() const;
    void setCode(const QString& code);

    // Shows the dialog modally through the dialog seam: focus into the code field and remember its text first.
    int run();

    // Accept the record under the list's cursor: its code into the code field, then close. Nothing happens while
    // a search has found nothing.
    void acceptCurrent();
    // What the code field's text does as typed: a code positions, anything else searches. True when a record was
    // found (a code always finds the nearest).
    bool typed(const QString& text);
    static bool isCode(const QString& text);
    // "取消(&C)" / Esc.
    void cancel();

    QLineEdit* codeInput() const { return m_code; }
    ui::DBGrid* grid() const { return m_grid; }
    TableCursor& cursor() { return m_cursor; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    const QString& rememberedCode() const { return m_remembered; }
    QLabel* statusLabel() const { return m_status; }

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void search(const QString& text);
    bool findText(const QString& text);
    void loadSearchIndex();

    Config m_config;
    TableCursor m_cursor;
    QLineEdit* m_code = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    ui::DBGrid* m_grid = nullptr;
    QString m_remembered;
    bool m_closeBox = false;
    bool m_notFound = false;
    QLabel* m_status = nullptr;
    // Codes and their folded search texts, in code order; read at each showing.
    QStringList m_indexCodes;
    QStringList m_indexTexts;
    bool m_indexLoaded = false;
};

// The three members, so that each reports its own class name to the dialog seam.
class TCode_I2 : public CodeJumpDialog {
    Q_OBJECT
public:
    explicit TCode_I2(std::shared_ptr<Database> reference, QWidget* parent = nullptr)
        : CodeJumpDialog(routes(), std::move(reference), parent) {}
};

class TCode_I3 : public CodeJumpDialog {
    Q_OBJECT
public:
    explicit TCode_I3(std::shared_ptr<Database> reference, QWidget* parent = nullptr)
        : CodeJumpDialog(ropeways(), std::move(reference), parent) {}
};

class TCode_I4 : public CodeJumpDialog {
    Q_OBJECT
public:
    explicit TCode_I4(std::shared_ptr<Database> reference, QWidget* parent = nullptr)
        : CodeJumpDialog(places(), std::move(reference), parent) {}
};

} // namespace tabi::routes
