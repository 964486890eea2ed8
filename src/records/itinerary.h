#pragma once

#include "data/cursor.h"
#include "ui/dbkit.h"
#include "ui/screen.h"

#include <memory>

class QPushButton;

namespace tabi::ui {
class DBCtrlGrid;
class DBEdit;
class DBNavigator;
} // namespace tabi::ui

namespace tabi::records {

// "旅程管理(簡易)": itineraries (code, date, name) with their legs in a control grid of four panels. Legs come in
// the order they were entered; a new leg takes the current itinerary's code; deleting an itinerary deletes its
// legs with it, after a question that says how many; a changed code takes the legs along. While there is no
// stored itinerary (none at all, or a new one not yet stored) its legs cannot be entered: a leg stored under a
// code that is then dropped would be left without its itinerary.
class TRFORM : public Screen {
    Q_OBJECT
public:
    explicit TRFORM(QWidget* parent = nullptr);
    ~TRFORM() override;

    TableCursor& itineraries() { return m_itineraries; }
    TableCursor& legs() { return m_legs; }
    ui::DBNavigator* itineraryNavigator() const { return m_navigator; }
    ui::DBNavigator* legNavigator() const { return m_legNavigator; }
    ui::DBCtrlGrid* legGrid() const { return m_grid; }
    // A bound field of the header or of the live leg panel by its control name ("DBEditCode", "DBEdit3", ...).
    ui::DBEdit* edit(const QString& objectName) const;

    // The itinerary and its legs, in one transaction: both go or neither does.
    void deleteItinerary();
    // The delete question: the usual one, and on a second line how many legs go with the itinerary.
    QString deleteQuestion();
    // "乗車記録(&J)": the legs of the current itinerary (発駅 to 着駅, one after the other) found over the network
    // in a journey screen, shown there to be checked and recorded. The screen, or null when none opened.
    QWidget* recordRides();

    // The code of the current itinerary as stored (while its code is being changed, the old one).
    QString storedCode() const { return m_storedCode; }

private:
    struct HeaderWatcher : CursorObserver {
        TRFORM* screen;
        void cursorEvent(CursorEvent event, int) override;
    };
    // Before the itinerary is posted (by the navigator or by a move), a changed code is given to its legs in the
    // same transaction as the post.
    struct CodeGuard : ui::BoundControl {
        TRFORM* screen = nullptr;
        void flushPending() override;
        void detachCursor() override { screen = nullptr; }
    };
    void postWithLegs();
    void buildHeader();
    void buildLegPanel();
    void enableLegs();

    std::shared_ptr<Database> m_per;
    TableCursor m_itineraries;
    TableCursor m_legs;
    ui::DBNavigator* m_navigator = nullptr;
    ui::DBNavigator* m_legNavigator = nullptr;
    ui::DBCtrlGrid* m_grid = nullptr;
    HeaderWatcher m_watcher;
    CodeGuard m_guard;
    QString m_storedCode;
};

} // namespace tabi::records
