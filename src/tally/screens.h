#pragma once

#include "ui/screen.h"
#include "data/cursor.h"

#include <QDialog>
#include <QImage>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QRadioButton;

namespace tabi::ui {
class DBGrid;
class DBNavigator;
} // namespace tabi::ui

namespace tabi::tally {

class TGraph;

// The shared window of the tallies by classification and by category: a navigator over the small groups, three
// read-only grids (small groups with titles, large groups, the total row) and a column of step buttons.
class GroupTallyScreen : public Screen {
    Q_OBJECT
public:
    ~GroupTallyScreen() override;

    TableCursor& smallGroups() { return m_small; }
    TableCursor& largeGroups() { return m_large; }
    TableCursor& totalRow() { return m_total; }
    ui::DBGrid* grid(int i) const { return m_grids[i - 1]; }

protected:
    // byCategory: KUBUN/KUBUN2/KUBUN3, the calculating panel behind grid 1; else BUNRUI/BUNRUI2/BUNRUI3.
    GroupTallyScreen(bool byCategory, QWidget* parent);
    QPushButton* addButton(const char* name, const QString& caption);
    // Runs a step; the wait cursor unless waitCursor is false. Whatever happens, the grids show the tables again
    // from their first rows afterwards.
    void runStep(bool waitCursor, const std::function<void()>& step);
    void finishButtons(const QString& screenClass);

    std::shared_ptr<Database> m_ref;
    std::shared_ptr<Database> m_per;
    TableCursor m_small, m_large, m_total;
    ui::DBGrid* m_grids[3] = {};
    QWidget* m_commands = nullptr;
    QLabel* m_cover = nullptr; // by category: which categories each subtotal covers
};

// Which categories each large category's subtotal covers, and those no subtotal covers, as one line of text.
QString categoryCoverText(Database& ref);

// "分類ごとの集計": the tally by classification, with the operator bar chart.
class THyoji : public GroupTallyScreen {
    Q_OBJECT
public:
    explicit THyoji(QWidget* parent = nullptr);
    TGraph* chart() const { return m_graph; }

private:
    TGraph* m_graph = nullptr;
};

// "区分ごとの集計": the tally by category.
class THyojiU : public GroupTallyScreen {
    Q_OBJECT
public:
    explicit THyojiU(QWidget* parent = nullptr);
};

// "年(年度)別の集計": ride counts per listed year, calendar or fiscal.
class THYOJI2 : public Screen {
    Q_OBJECT
public:
    explicit THYOJI2(QWidget* parent = nullptr);
    ~THYOJI2() override;

    void activated() override; // the counting range from the settings file
    void clearCommand();
    void tallyCommand();
    // "年の追加(&Y)": every year with rides that the year table lacks becomes a row of it.
    void addYearsCommand();

    TableCursor& years() { return m_years; }
    TableCursor& totalRow() { return m_total; }
    QRadioButton* calendarButton() const { return m_m1; }
    QRadioButton* fiscalButton() const { return m_m4; }
    ui::DBGrid* grid(int i) const { return i == 1 ? m_grid1 : m_grid2; }

private:
    std::shared_ptr<Database> m_ref;
    std::shared_ptr<Database> m_per;
    TableCursor m_years, m_total;
    ui::DBGrid* m_grid1 = nullptr;
    ui::DBGrid* m_grid2 = nullptr;
    QRadioButton* m_m1 = nullptr;
    QRadioButton* m_m4 = nullptr;
    QPushButton* m_addYears = nullptr;
    QLabel* m_noYears = nullptr; // says why the table is empty and what to do
    int startMonth() const;
    void updateYearNote();
};

// "旅客鉄道会社別キロ程＆乗車状況": bars of the first six classifications, redrawn at every showing.
class TGraph : public QDialog {
    Q_OBJECT
public:
    TGraph(std::shared_ptr<Database> ref, QWidget* parent);
    // Sets the legend colours and draws the image again from BUNRUI.
    void redraw();
    const QImage& image() const { return m_image; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::shared_ptr<Database> m_ref;
    QList<QLabel*> m_panels;
    QLabel* m_imageLabel = nullptr;
    QImage m_image;
};

// Registers the tally screens for their menu commands.
void registerScreens();

} // namespace tabi::tally
