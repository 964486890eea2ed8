#pragma once

#include <QDialog>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tabi {

class Database;
class TableCursor;

// The version dialog. Created hidden at start and kept for the whole run; creating it opens the reference
// database and its table VER, so a reference database that cannot be opened stops the start (tabi::Error).
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

    // Refreshes the version and the texts of the settings file; runs each time the dialog is shown.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::shared_ptr<Database> m_db;
    std::unique_ptr<TableCursor> m_ver;
    QLineEdit* m_version;
    QLineEdit* m_comment1;
    QLineEdit* m_comment2;
    QLineEdit* m_teikyo;
    QLineEdit* m_userName;
    QPushButton* m_ok;
    QLabel* m_attribution;
    QSize m_baseSize;
};

} // namespace tabi
