#pragma once

#include "data/cursor.h"
#include "photos/photoseries.h"
#include "ui/dbkit.h"
#include "ui/screen.h"

#include <functional>
#include <memory>

class QPushButton;
class QTabWidget;

namespace tabi::ui {
class DBNavigator;
}

namespace tabi::photos {
class PhotoPage;
}

namespace tabi::routes {
class CodeJumpDialog;
}

namespace tabi::records {

// The 47 prefectures in their customary order, offered by the "都道府県：" drop-downs (free text allowed).
const QStringList& prefectures();

// A record card over one table of the reference database: a navigator, a header that is editable only on the
// page "基本情報", that page with the record's fields and the group "初回実績" over the user's own row in a
// table of the personal database (a detail of the record by its code), the page "写真" with the record's photos,
// and the commands "移動(&M)" (jump by code) and "終了(&E)" (remember the record and close). The ropeway and
// place screens are two configurations of it.
class RecordCard : public Screen {
    Q_OBJECT
public:
    enum Page { PageBasic, PagePhoto };
    enum class Kind { Edit, Date, Number, Choice };

    // One control of the card. A field without a caption joins the control before it in the same cell.
    struct Field {
        const char* objectName;
        QString caption; // right-aligned before the control
        QString field;
        Kind kind = Kind::Edit;
        int width = 0; // pixels; 0: the kind's usual width
        QStringList choices;
        QString note; // small text after the control
        bool red = false;
    };
    using Row = QList<Field>;

    struct Config {
        QString className; // caption and help topic
        QString table;     // reference database
        QString codeField;
        QString detailTable; // personal database, linked by codeField
        QString rememberKey; // section "Form"
        photos::PhotoKeys photoKeys;
        std::function<routes::CodeJumpDialog*(std::shared_ptr<Database>, QWidget*)> jumpDialog;
        QList<Row> header;
        QList<Row> basic;
        QList<Row> detail;
    };

    ~RecordCard() override;

    // Stands on the first record at or after the code remembered in section "Form" ("Failure" when absent).
    void activated() override;
    // Leaving the card keeps the current record as the remembered one (as 終了 does).
    void deactivated() override;

    // Finish pending edits (the first-visit row's too), then stand on the first record at or after code.
    void positionOn(const QString& code);
    void moveCommand();   // "移動(&M)"
    void finishCommand(); // "終了(&E)"

    void showPage(Page page);
    bool headerEditable() const { return m_headerEditable; }
    QString currentCode();

    TableCursor& records() { return m_records; }
    TableCursor& detail() { return m_detail; }
    routes::CodeJumpDialog* jumpDialog() const { return m_jump; }
    ui::DBNavigator* navigator() const { return m_navigator; }
    ui::DBNavigator* detailNavigator() const { return m_detailNavigator; }
    QTabWidget* pages() const { return m_pages; }
    photos::PhotoPage* photoPage() const { return m_photoPage; }
    // BitBtnP1 "写真(&P)": hidden and disabled.
    QPushButton* photoButton() const { return m_btnP1; }

protected:
    RecordCard(const Config& config, QWidget* parent);

private:
    // Before the record moves or posts, the first-visit row's typed text is written and the row posted, so that
    // a refused row stops the move with the record still in place.
    struct DetailGuard : ui::BoundControl {
        TableCursor* detail = nullptr;
        void flushPending() override;
        void detachCursor() override { detail = nullptr; }
    };

    QWidget* buildRows(QWidget* parent, TableCursor& cursor, const QList<Row>& rows, QList<QWidget*>* controls);
    QWidget* buildBasicPage();
    void setHeaderEditable(bool editable);
    void pageChanged(int index);

    Config m_config;
    std::shared_ptr<Database> m_ref;
    std::shared_ptr<Database> m_per;
    TableCursor m_records;
    TableCursor m_detail;
    DetailGuard m_guard;

    routes::CodeJumpDialog* m_jump = nullptr;
    ui::DBNavigator* m_navigator = nullptr;
    ui::DBNavigator* m_detailNavigator = nullptr;
    QList<QWidget*> m_headerControls;
    QTabWidget* m_pages = nullptr;
    photos::PhotoPage* m_photoPage = nullptr;
    QPushButton* m_btnM = nullptr;
    QPushButton* m_btnE = nullptr;
    QPushButton* m_btnP1 = nullptr;
    bool m_headerEditable = true;
};

} // namespace tabi::records
