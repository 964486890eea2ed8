#pragma once

#include "netroute/routefinder.h"
#include "netroute/stationsearch.h"
#include "ui/screen.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QLineEdit>
#include <memory>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTableView;

namespace tabi {
class Database;
}

namespace tabi::routes {

// The legs of a journey: route code, route name, section, km, new km.
class JourneyModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit JourneyModel(QObject* parent = nullptr);
    void setJourney(const netroute::Journey& journey, const network::Network* network);
    const netroute::Journey& journey() const { return m_journey; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    netroute::Journey m_journey;
    const network::Network* m_network = nullptr;
};

// A station typed by name or reading. Up and Down move through the candidates the screen lists for it, Enter
// takes the one chosen.
class StationField : public QLineEdit {
    Q_OBJECT
public:
    explicit StationField(QWidget* parent = nullptr);
    int node() const { return m_node; }
    void setNode(int node, const QString& name);

Q_SIGNALS:
    void moveCandidate(int step); // -1 up, +1 down
    void accept();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_node = -1;
};

// "乗車経路の入力": a journey from a station through via stations to a station, found over the network and
// recorded as one ride per route.
class TJourney : public Screen {
    Q_OBJECT
public:
    explicit TJourney(QWidget* parent = nullptr);
    ~TJourney() override;

    // The network read again when another connection changed the reference database (an import) meanwhile.
    void activated() override;

    // Fills the stations (each text resolved as the command line resolves it) and searches at once; false, with
    // the reason shown, when a name is unknown or ambiguous. The itinerary screen hands its legs over so.
    bool setJourney(const QStringList& stations, const QDate& day);

    // Commands, also for tests.
    bool search();
    bool record();

    const netroute::Journey& journey() const { return m_model->journey(); }
    QString resultText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadNetwork();
    void showCandidates(StationField* field);
    void takeCandidate(StationField* field);
    void addVia(int node, const QString& name);
    void removeVia();
    QVector<int> points(QString& missing) const;

    std::shared_ptr<Database> m_ref, m_per;
    qint64 m_refVersion = -1; // PRAGMA data_version of the reading
    network::Network m_network;
    std::unique_ptr<netroute::RouteFinder> m_finder;
    std::unique_ptr<netroute::StationIndex> m_index;

    StationField* m_from = nullptr;
    StationField* m_to = nullptr;
    StationField* m_viaEdit = nullptr;
    QListWidget* m_vias = nullptr;
    QListWidget* m_candidates = nullptr;
    QLineEdit* m_date = nullptr;
    QCheckBox* m_noShinkansen = nullptr;
    QLineEdit* m_avoid = nullptr;
    QRadioButton* m_newKilo = nullptr;
    QRadioButton* m_wholeKilo = nullptr;
    QTableView* m_grid = nullptr;
    JourneyModel* m_model = nullptr;
    QLabel* m_total = nullptr;
    QLabel* m_result = nullptr;
    QPushButton* m_recordButton = nullptr;
    StationField* m_listedFor = nullptr; // the field whose candidates are listed
    bool m_searched = false;             // the grid shows the journey of the fields as they stand
};

// Opens a journey screen for another screen: as a document window through the main window's command where
// there is one, else as a window of its own. Null when it could not be opened (the reason already shown).
TJourney* openJourneyScreen(QWidget* from);

} // namespace tabi::routes
