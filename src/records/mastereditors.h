#pragma once

#include "data/cursor.h"
#include "ui/screen.h"

#include <QStringList>
#include <memory>

class QComboBox;
class QPushButton;

namespace tabi::ui {
class DBGrid;
class DBNavigator;
} // namespace tabi::ui

namespace tabi::records {

// What sets one code-table editor apart from the others.
struct MasterEditorLayout {
    QString className; // screen class, for the help topic
    QString caption;
    DbKind db = DbKind::Reference;
    QStringList tables; // one table; or the tables of the levels "小分類", "大分類", "合計"
    QStringList fields; // the fields shown and edited, in grid order
    QString index;      // index order: field names, or the name of a stored index
    bool storedIndex = false;
    QString levelBoxName; // the level drop-down's control name (with several tables)
    QString exitButtonName;
};

// A grid editor over one code table with a navigator: only the declared fields are shown and written. With
// several tables a drop-down switches between them on an exact match of a level's text, and the editor returns to
// the first level each time it becomes the active window again (whatever was not posted is dropped).
class MasterGridEditor : public Screen {
    Q_OBJECT
public:
    MasterGridEditor(const MasterEditorLayout& layout, QWidget* parent);
    ~MasterGridEditor() override;

    void activated() override;
    // The level whose text the drop-down now shows; any other text leaves the table as it is.
    void levelTextChanged(const QString& text);

    static const QStringList& levelTexts();

    TableCursor& table() { return m_table; }
    ui::DBGrid* grid() const { return m_grid; }
    ui::DBNavigator* navigator() const { return m_navigator; }
    QComboBox* levelBox() const { return m_levelBox; }

private:
    void openLevel(int level);

    MasterEditorLayout m_layout;
    std::shared_ptr<Database> m_db;
    TableCursor m_table;
    ui::DBGrid* m_grid = nullptr;
    ui::DBNavigator* m_navigator = nullptr;
    QComboBox* m_levelBox = nullptr;
    bool m_settingLevel = false;
};

// "分類マスター登録/変更/削除": the classifications, their large classifications and the total row.
class TBunrui : public MasterGridEditor {
    Q_OBJECT
public:
    explicit TBunrui(QWidget* parent = nullptr);
};

// "区分マスター登録/変更/削除": the categories, their large categories and the total row.
class TKubun : public MasterGridEditor {
    Q_OBJECT
public:
    explicit TKubun(QWidget* parent = nullptr);
};

// "年別マスター登録/変更/削除": the years of the tally by year.
class TTOSHI : public MasterGridEditor {
    Q_OBJECT
public:
    explicit TTOSHI(QWidget* parent = nullptr);
};

// "その他分類マスター登録/変更/削除": the other classifications.
class TOTHERS : public MasterGridEditor {
    Q_OBJECT
public:
    explicit TOTHERS(QWidget* parent = nullptr);
};

} // namespace tabi::records
