#include "data/settingsfile.h"
#include "photos/photopage.h"
#include "photos/photoviewer.h"
#include "records/cardscreens.h"
#include "records/registration.h"
#include "routes/codejumpdialog.h"
#include "support/dialogseam.h"
#include "support/photofiles.h"
#include "support/tempenv.h"
#include "ui/dbcontrols.h"
#include "ui/dbnavigator.h"
#include "ui/screens.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using namespace tabi;
using records::RecordCard;

namespace {

const QString kForm = QStringLiteral("Form");

struct Kind {
    QString className;
    QString key;   // remembered code
    QString table; // reference
    QString detailTable;
    QString codeField;
    QString codeEdit;
    QString existing; // a code of the supplied data
};

Kind kindOf(const QString& className) {
    if (className == QLatin1String("TFSAKUDO"))
        return {className,
                QStringLiteral("SakudoForMove"),
                QStringLiteral("SAKUDO"),
                QStringLiteral("SAKUDOJ"),
                QStringLiteral("ROSEN_CD"),
                QStringLiteral("EditROSEN_CD"),
                QStringLiteral("140001")};
    return {className,
            QStringLiteral("OthersForMove"),
            QStringLiteral("OTHERS"),
            QStringLiteral("OTHERSJ"),
            QStringLiteral("OTHERS_CD"),
            QStringLiteral("EditOTHERS_CD"),
            QStringLiteral("260001")};
}

std::unique_ptr<RecordCard> makeCard(const QString& className) {
    if (className == QLatin1String("TFSAKUDO"))
        return std::make_unique<records::TFSAKUDO>();
    return std::make_unique<records::TF_Others2>();
}

void addCardRows() {
    QTest::addColumn<QString>("card");
    QTest::newRow("ropeways") << QStringLiteral("TFSAKUDO");
    QTest::newRow("places") << QStringLiteral("TF_Others2");
}

template <class T = QLineEdit> T* control(RecordCard& card, const QString& name) {
    auto* w = card.findChild<T*>(name);
    if (!w)
        qFatal("no control %s", qPrintable(name));
    return w;
}

// Replaces the text of a bound edit field as typing does (Japanese text included).
void typeText(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    edit->insert(text);
}

// Types and leaves the field.
void typeInto(QLineEdit* edit, const QString& text) {
    typeText(edit, text);
    Q_EMIT edit->editingFinished();
}

} // namespace

// The ropeway and place cards: remembered code, page states, the first-visit group, jumps, photos, refused input.
class TestCards : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempEnv> m_env;

private Q_SLOTS:
    void init() { m_env = std::make_unique<test::TempEnv>(); }
    void cleanup() { m_env.reset(); }

    void registeredForTheirCommands() {
        records::registerCardScreens();
        for (const auto& [command, cls] :
             {std::pair{"ActionMotoSakudo", "TFSAKUDO"}, std::pair{"ActionOmakeShikoku88", "TF_Others2"}}) {
            const ScreenFactory factory = screenFactory(QString::fromLatin1(command));
            QVERIFY(factory);
            std::unique_ptr<QWidget> screen(factory(nullptr));
            QCOMPARE(screen->metaObject()->className(), QByteArray("tabi::records::") + cls);
            QCOMPARE(screen->windowTitle(), layoutForClass(QString::fromLatin1(cls))->caption);
        }
    }

    void rememberedCode_data() { addCardRows(); }
    void rememberedCode() {
        QFETCH(QString, card);
        const Kind k = kindOf(card);
        {
            // Codes around the text read for an absent key.
            auto ref = Database::open(DbKind::Reference);
            for (const char* code : {"A00001", "G00001", "Z00001"})
                ref->exec(
                    QStringLiteral("INSERT INTO %1 (%2) VALUES ('%3')").arg(k.table, k.codeField, QLatin1String(code)));
        }
        auto c = makeCard(card);
        c->activated();
        QCOMPARE(c->currentCode(), QStringLiteral("G00001")); // the first code at or after "Failure"
        QCOMPARE(c->jumpDialog()->code(), QStringLiteral("Failure"));

        // A saved code that no longer exists: the next code after it.
        const QString missing = k.existing.left(5) + QLatin1Char('0');
        settings::writeString(kForm, k.key, missing);
        c->activated();
        QCOMPARE(c->currentCode(), k.existing);

        // Coming back from another window returns to the saved code, not to where the card was left.
        c->records().next();
        c->activated();
        QCOMPARE(c->currentCode(), k.existing);

        // "終了(&E)" on X remembers X; a card closed by its close box keeps the earlier code.
        c->records().next();
        const QString x = c->currentCode();
        c->finishCommand();
        QCOMPARE(settings::readString(kForm, k.key, QString()), x);
        QCOMPARE(c->jumpDialog()->code(), x);
        c = makeCard(card);
        c->activated();
        QCOMPARE(c->currentCode(), x);
        c->records().first();
        c.reset(); // close box
        QCOMPARE(settings::readString(kForm, k.key, QString()), x);
        // The two cards keep separate keys.
        const Kind other =
            kindOf(card == QLatin1String("TFSAKUDO") ? QStringLiteral("TF_Others2") : QStringLiteral("TFSAKUDO"));
        QCOMPARE(settings::readString(kForm, other.key, QStringLiteral("absent")), QStringLiteral("absent"));
    }

    void pageStates_data() { addCardRows(); }
    void pageStates() {
        QFETCH(QString, card);
        auto c = makeCard(card);
        auto* code = control(*c, kindOf(card).codeEdit);
        auto* move = control<QPushButton>(*c, QStringLiteral("BitBtnM"));
        QVERIFY(!control<QPushButton>(*c, QStringLiteral("BitBtnH"))->isHidden()); // opens the manual's page
        for (const char* hidden : {"BitBtnP1"}) {
            auto* b = control<QPushButton>(*c, QString::fromLatin1(hidden));
            QVERIFY(b->isHidden() && !b->isEnabled());
        }
        for (RecordCard::Page page : {RecordCard::PageBasic, RecordCard::PagePhoto, RecordCard::PageBasic}) {
            c->showPage(page);
            const bool basic = page == RecordCard::PageBasic;
            QCOMPARE(c->headerEditable(), basic);
            QCOMPARE(code->isReadOnly(), !basic);
            QCOMPARE(control<QComboBox>(*c, QStringLiteral("DBComboBoxKEN"))->lineEdit()->isReadOnly(), !basic);
            QCOMPARE(c->navigator()->width(), basic ? 360 : 144);
            QCOMPARE(c->navigator()->visibleButtons(),
                     int(basic ? ui::DBNavigator::AllButtons : ui::DBNavigator::MoveButtons));
            QCOMPARE(c->navigator()->isEnabled(), basic);
            QCOMPARE(move->isEnabled(), basic);
            // Locked, the prefecture list neither opens nor changes by the arrow keys.
            auto* box = control<QComboBox>(*c, QStringLiteral("DBComboBoxKEN"));
            const QString before = box->currentText();
            box->showPopup();
            QCOMPARE(box->view()->isVisible(), basic);
            box->hidePopup();
            QTest::keyClick(box, Qt::Key_Down);
            QCOMPARE(box->currentText() == before, !basic);
            c->records().cancel();
        }
        QCOMPARE(c->detailNavigator()->visibleButtons(), int(ui::DBNavigator::EditButtons));
        auto* ken = control<QComboBox>(*c, QStringLiteral("DBComboBoxKEN"));
        QCOMPARE(ken->count(), 47);
        QCOMPARE(ken->itemText(0), QStringLiteral("北海道"));
        QCOMPARE(ken->itemText(12), QStringLiteral("東京都"));
        QCOMPARE(ken->itemText(46), QStringLiteral("沖縄県"));
        QVERIFY(ken->isEditable());
    }

    // No first-visit row: empty fields; inserting in the group creates the row for the current record, and the
    // group follows the record.
    void firstVisitGroup_data() { addCardRows(); }
    void firstVisitGroup() {
        QFETCH(QString, card);
        const Kind k = kindOf(card);
        test::DialogAnswerer answers;
        auto c = makeCard(card);
        c->positionOn(k.existing);
        const QString dateEdit =
            card == QLatin1String("TFSAKUDO") ? QStringLiteral("EditJOSHA_DATE") : QStringLiteral("EditVISIT_DATE");
        QCOMPARE(c->detail().recordCount(), 0);
        QCOMPARE(control(*c, dateEdit)->text(), QString());
        QCOMPARE(control(*c, QStringLiteral("EditBIKO"))->text(), QString());

        QVERIFY(c->detailNavigator()->click(ui::DBNavigator::Insert));
        typeInto(control(*c, dateEdit), QStringLiteral("2023-08-15"));
        typeInto(control(*c, QStringLiteral("EditBIKO")), QStringLiteral("晴れ"));
        QVERIFY(c->detailNavigator()->click(ui::DBNavigator::Post));
        QCOMPARE(answers.count(ui::DialogKind::Critical), 0);
        auto& per = c->detail().database();
        QCOMPARE(
            per.scalar(QStringLiteral("SELECT %1 || ' ' || BIKO FROM %2").arg(k.codeField, k.detailTable)).toString(),
            k.existing + QStringLiteral(" 晴れ"));

        QVERIFY(c->navigator()->click(ui::DBNavigator::Next));
        QCOMPARE(control(*c, dateEdit)->text(), QString());
        QVERIFY(c->navigator()->click(ui::DBNavigator::Prior));
        QCOMPARE(control(*c, dateEdit)->text(), QStringLiteral("2023-08-15"));
    }

    // What the database refuses is shown naming the field; the row stays in edit where it was, nothing is stored,
    // and a refused first-visit row stops the record from moving away under it.
    void refusedInputStaysInEdit_data() {
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("where"); // "record" or "detail"
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("named"); // in the message
        QTest::newRow("duplicate ropeway code") << "TFSAKUDO"
                                                << "record"
                                                << "EditROSEN_CD"
                                                << "280001"
                                                << "普通索道に、「路線番号」";
        QTest::newRow("place date not a date") << "TF_Others2"
                                               << "detail"
                                               << "EditSTAMP_DATE"
                                               << "2023-02-30"
                                               << "訪問の記録の「記録年月日」";
        QTest::newRow("place height not a number") << "TF_Others2"
                                                   << "record"
                                                   << "EditHEIGHT"
                                                   << "高い"
                                                   << "その他訪問地の「標高」";
        QTest::newRow("ropeway ride date not a date") << "TFSAKUDO"
                                                      << "detail"
                                                      << "EditJOSHA_DATE"
                                                      << "2023-13"
                                                      << "索道の乗車実績の「乗車年月日」";
    }
    void refusedInputStaysInEdit() {
        QFETCH(QString, card);
        QFETCH(QString, where);
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, named);
        const Kind k = kindOf(card);
        test::DialogAnswerer answers;
        auto c = makeCard(card);
        c->show();
        c->positionOn(k.existing);
        TableCursor& cursor = where == QLatin1String("record") ? c->records() : c->detail();
        ui::DBNavigator* nav = where == QLatin1String("record") ? c->navigator() : c->detailNavigator();
        const int row = c->records().recNo();
        QVERIFY(nav->click(where == QLatin1String("record") ? ui::DBNavigator::Edit : ui::DBNavigator::Insert));
        auto* edit = control(*c, field);
        typeText(edit, text);
        answers.clear();
        // The record's navigator: its next press finishes what is typed in either part of the card first.
        QVERIFY(!c->navigator()->click(ui::DBNavigator::Next));
        const auto errors = answers.requests(ui::DialogKind::Critical);
        QVERIFY(!errors.isEmpty());
        QVERIFY2(errors.first().text.contains(named), qPrintable(errors.first().text));
        QCOMPARE(c->records().recNo(), row);
        QVERIFY(cursor.state() != CursorState::Browse);
        QCOMPARE(edit->text(), text); // what was typed is still there to correct
        QCOMPARE(c->detail().database().scalar(QStringLiteral("SELECT count(*) FROM %1").arg(k.detailTable)).toInt(),
                 0);
        // Cancelling gives the stored row back.
        QVERIFY(nav->click(ui::DBNavigator::Cancel));
        QVERIFY(c->navigator()->click(ui::DBNavigator::Next));
        QVERIFY(c->currentCode() > k.existing);
    }

    void latitudeKeepsWhatWasTyped() {
        test::DialogAnswerer answers;
        records::TF_Others2 c;
        c.positionOn(QStringLiteral("260001"));
        auto* lat = control(c, QStringLiteral("EditLATITUDE"));
        QCOMPARE(lat->text(), QStringLiteral("34.987000"));
        typeInto(lat, QStringLiteral("34.9876545"));
        QVERIFY(c.navigator()->click(ui::DBNavigator::Post));
        QCOMPARE(c.records()
                     .database()
                     .scalar(QStringLiteral("SELECT LATITUDE FROM OTHERS WHERE OTHERS_CD = '260001'"))
                     .toDouble(),
                 34.9876545);
        QCOMPARE(lat->text(), QStringLiteral("34.987655"));
        QCOMPARE(answers.count(ui::DialogKind::Critical), 0);
    }

    // Places look in their own photo folder only, even for a code that is also a route's or a ropeway's.
    void photoFolders() {
        const QString routePhotos = m_env->file(QStringLiteral("photo/")),
                      placePhotos = m_env->file(QStringLiteral("others/"));
        QDir().mkpath(routePhotos);
        QDir().mkpath(placePhotos);
        settings::writeString(QStringLiteral("Path"), QStringLiteral("PhotoPath"), routePhotos);
        settings::writeString(QStringLiteral("Path"), QStringLiteral("OthersPhotoPath"), placePhotos);
        const QString shared = QStringLiteral("140001"); // a ropeway code, given to a place as well
        test::writeJpeg(routePhotos + shared + QStringLiteral("00.JPG"));
        Database::open(DbKind::Reference)->exec(QStringLiteral("INSERT INTO OTHERS (OTHERS_CD) VALUES ('140001')"));

        records::TF_Others2 place;
        place.positionOn(shared);
        place.showPage(RecordCard::PagePhoto);
        QCOMPARE(place.photoPage()->series().code(), shared);
        QVERIFY(!place.photoPage()->series().imageVisible());
        test::writeJpeg(placePhotos + shared + QStringLiteral("00.JPG"), QSize(100, 50));
        place.showPage(RecordCard::PageBasic);
        place.showPage(RecordCard::PagePhoto);
        QCOMPARE(place.photoPage()->series().image().size(), QSize(100, 50));
        // Coming back to the card while the photo page is up: the remembered place, and its photos with it.
        settings::writeString(kForm, QStringLiteral("OthersForMove"), QStringLiteral("260001"));
        place.activated();
        QCOMPARE(place.currentCode(), QStringLiteral("260001"));
        QCOMPARE(place.photoPage()->series().code(), QStringLiteral("260001"));
        QVERIFY(!place.photoPage()->series().imageVisible());

        records::TFSAKUDO ropeway;
        ropeway.positionOn(shared);
        ropeway.showPage(RecordCard::PagePhoto);
        QCOMPARE(ropeway.photoPage()->series().image().size(), QSize(420, 280));

        // The hidden "写真(&P)" opens the photo window on the current ropeway, from the routes' folders. Its
        // missing description shows the placeholder description in red; a missing placeholder is an error naming it.
        test::DialogAnswerer answers;
        answers.onExec([](QDialog& d) { return qobject_cast<photos::TPhoto*>(&d) ? 7 : 0; });
        ropeway.showPage(RecordCard::PageBasic);
        ropeway.photoCommand();
        QCOMPARE(ropeway.photoViewer()->code(), shared);
        // The window draws the photo at its own size, clipped: only the top-left 320 x 220 is decoded.
        QCOMPARE(ropeway.photoViewer()->series().image().size(), QSize(320, 220));
        QCOMPARE(answers.count(ui::DialogKind::Critical), 1);
        QVERIFY(answers.requests(ui::DialogKind::Critical).first().text.contains(QStringLiteral("NOPHOTO.TXT")));

        const QString docs = m_env->file(QStringLiteral("doc/"));
        QDir().mkpath(docs);
        settings::writeString(QStringLiteral("Path"), QStringLiteral("DocPath"), docs);
        test::writeBytes(docs + QStringLiteral("NOPHOTO.TXT"),
                         QByteArray("\xef\xbb\xbf") + QStringLiteral("説明なし").toUtf8());
        answers.clear();
        ropeway.photoCommand();
        QCOMPARE(answers.count(ui::DialogKind::Critical), 0);
        QCOMPARE(ropeway.photoViewer()->memo()->toPlainText(), QStringLiteral("説明なし"));
        QCOMPARE(ropeway.photoViewer()->memo()->palette().color(QPalette::Text), QColor(0xFF, 0x00, 0x00));
    }

    // "移動(&M)": the ropeway jump gives back the code shown on cancel; the place jump keeps what was typed.
    void moveCommand_data() {
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("dialogClass");
        QTest::addColumn<QString>("landsOn");
        QTest::newRow("ropeways") << "TFSAKUDO"
                                  << "TCode_I3"
                                  << "010001";
        QTest::newRow("places") << "TF_Others2"
                                << "TCode_I4"
                                << "360001";
    }
    void moveCommand() {
        QFETCH(QString, card);
        QFETCH(QString, dialogClass);
        QFETCH(QString, landsOn);
        test::DialogAnswerer answers;
        auto c = makeCard(card);
        c->records().first();
        QString shown;
        answers.onExec([&](QDialog& d) {
            shown = QString::fromLatin1(d.metaObject()->className());
            auto* jump = qobject_cast<routes::CodeJumpDialog*>(&d);
            jump->codeInput()->setText(QStringLiteral("3"));
            jump->cancelButton()->click();
            return d.result();
        });
        c->moveCommand();
        QCOMPARE(shown, QStringLiteral("tabi::routes::") + dialogClass);
        QCOMPARE(c->currentCode(), landsOn);
    }
};

QTEST_MAIN(TestCards)
#include "test_cards.moc"
