#include "ui/dbcontrols.h"
#include "ui/dbgrid.h"
#include "ui/dbnavigator.h"
#include "ui/fonts.h"
#include "uifixture.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QRawFont>
#include <QVBoxLayout>
#include <QtTest>

using namespace tabi;
using namespace tabi::ui;
using tabi::test::RideTable;

// A small window of the kit's controls in the program's face. Set TABIROKU_SHOT_DIR to keep its pictures
// (browse and edit states) for a look by eye.
class TestKitLook : public QObject {
    Q_OBJECT

    static void keep(QWidget& w, const char* name) {
        const QString dir = qEnvironmentVariable("TABIROKU_SHOT_DIR");
        const QPixmap shot = w.grab();
        QVERIFY(!shot.isNull());
        if (!dir.isEmpty())
            QVERIFY(shot.save(dir + QLatin1Char('/') + QLatin1String(name)));
    }

private Q_SLOTS:
    void windowOfBoundControls() {
        RideTable t(30);
        QWidget window;
        window.setFont(uiFont(16));
        auto* layout = new QVBoxLayout(&window);
        auto* nav = new DBNavigator;
        nav->setTableCursor(t.cursor.get());
        layout->addWidget(nav);
        auto* nav4 = new DBNavigator;
        nav4->setVisibleButtons(DBNavigator::MoveButtons);
        nav4->setTableCursor(t.cursor.get());
        layout->addWidget(nav4);
        auto* form = new QFormLayout;
        auto* kukan = new DBEdit(t.cursor.get(), QStringLiteral("JOSHA_KUKAN"));
        auto* day = new DBDateEdit(t.cursor.get(), QStringLiteral("JOSHA_DATE"));
        auto* kilo = new DBEdit(t.cursor.get(), QStringLiteral("JOSHA_KILO"));
        kilo->setReadOnly(true);
        auto* biko = new DBComboBox;
        biko->setItems({QStringLiteral("なし"), QStringLiteral("あり")});
        biko->bind(t.cursor.get(), QStringLiteral("BIKO"));
        form->addRow(QStringLiteral("乗車区間："), kukan);
        form->addRow(QStringLiteral("乗車年月日："), day);
        form->addRow(QStringLiteral("乗車キロ："), kilo);
        form->addRow(QStringLiteral("備考："), biko);
        layout->addLayout(form);
        auto* grid = new DBGrid;
        grid->setTableCursor(t.cursor.get());
        layout->addWidget(grid);
        auto* readOnly = new DBGrid;
        readOnly->setReadOnly(true);
        readOnly->setTableCursor(t.cursor.get());
        layout->addWidget(readOnly);
        window.resize(640, 560);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // Japanese text has glyphs in the face the grid uses.
        QVERIFY(QRawFont::fromFont(grid->font()).supportsCharacter(QChar(0x4E57)));                     // 乗
        QVERIFY(QRawFont::fromFont(grid->horizontalHeader()->font()).supportsCharacter(QChar(0x8ECA))); // 車
        QCOMPARE(nav->width(), 360);
        QCOMPARE(nav4->width(), 144);

        t.cursor->moveToRow(2);
        keep(window, "kit-browse.png");
        t.cursor->edit();
        t.cursor->setText(QStringLiteral("JOSHA_KUKAN"), QStringLiteral("東京～大阪"));
        keep(window, "kit-edit.png");
        t.cursor->cancel();
        t.cursor->append();
        keep(window, "kit-insert.png");
        t.cursor->cancel();
    }
};

QTEST_MAIN(TestKitLook)
#include "test_kitlook.moc"
