#pragma once

#include "data/cursor.h"
#include "ui/screen.h"

#include <functional>
#include <memory>

class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

namespace tabi::ui {

class DBGrid;

// Section "Path" key of the folder in which the last CSV export was written.
inline const QString kCsvFolderKey = QStringLiteral("CsvPath");
// The folder the CSV save dialog opens in: the remembered one while it exists, else the documents folder.
QString csvFolder();

// The window of a check list kept in a work table of the reference database: a navigator over the list at the
// top, the list in a read-only grid on a panel that shows through while the grid is hidden, and a column of
// command buttons at the right, led by "CSV(&C)" and ended by "終了(&E)".
class CheckListScreen : public Screen {
    Q_OBJECT
public:
    ~CheckListScreen() override;

    TableCursor& list() { return m_list; }
    DBGrid* grid() const { return m_grid; }

    // The save dialog and the export of the list as the user sees it (button "CSV(&C)").
    void exportCommand();

protected:
    // screenClass names the window layout (caption); table and order give the list.
    CheckListScreen(const QString& screenClass, const QString& table, const QString& order, QWidget* parent);

    QPushButton* addButton(const char* name, const QString& caption);
    void finishButtons(); // "終了(&E)" at the foot of the column
    QHBoxLayout* topBar() const { return m_topBar; }

    enum StepLook { Busy = 0x1, GridHidden = 0x2 }; // the wait cursor; the grid hidden
    // Runs a step: with the wait cursor and the grid hidden as look asks; an error is shown; whatever happens,
    // the list is shown again from its first row.
    void runStep(int look, const std::function<void()>& step);
    QPushButton* addStep(const char* name, const QString& caption, int look, std::function<void()> step);

    std::shared_ptr<Database> m_ref;
    TableCursor m_list;

private:
    DBGrid* m_grid = nullptr;
    QWidget* m_panel = nullptr;
    QVBoxLayout* m_column = nullptr;
    QList<QPushButton*> m_steps;
    QStringList m_stepNames;
    QHBoxLayout* m_topBar = nullptr;
};

} // namespace tabi::ui
