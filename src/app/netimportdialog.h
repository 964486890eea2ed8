#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

namespace tabi {

// "全国路線データの取り込み...": asks for the data set's folder, shows what an import would change, imports
// after confirmation with a progress dialog and ends with a report that can be saved. True once the import
// itself ran, however it ended: the reference database may have changed.
bool runNetworkImport(QWidget* parent);

// The first step: the folder of the station data set and whether abolished lines come too.
class TNetImportDialog : public QDialog {
    Q_OBJECT
public:
    explicit TNetImportDialog(QWidget* parent = nullptr);
    QString folder() const;
    void setFolder(const QString& folder);
    bool withAbolished() const;
    bool straightLines() const;

private:
    void browse();
    QLineEdit* m_folder;
    QCheckBox* m_abolished;
    QCheckBox* m_straight;
};

// The last step: the report, with a command that saves it as a text file.
class TNetImportReport : public QDialog {
    Q_OBJECT
public:
    TNetImportReport(const QString& text, QWidget* parent = nullptr);
    QString text() const;

private:
    void save();
    QPlainTextEdit* m_text;
};

} // namespace tabi
