// The user-file-name editor of the titles tab against the changer simulator: opening and
// closing, its keys and 25-character limit, change detection, and sending the names.

#include "base/catalogue.h"
#include "common/titlestabrig.h"
#include "store/userfiles.h"

#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QJsonArray>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace tf;
using Answer = UserInterface::Answer;

namespace {

const QStringList kNames{"Road Trip",   "Sunday", "Jazz Nights", "Focus",
                         "USER FILE 5", "Party",  "Quiet",       "Kids"};

} // namespace

class TestUfEdit : public QObject, public test::TitlesTabRig {
    Q_OBJECT
private slots:
    void initTestCase() {
        writeLibrary(QJsonObject{
            {"userFileNames", QJsonArray{"Road Trip", "Sunday"}},
            {"discs", QJsonArray{QJsonObject{{"slot", 1}, {"lengths", QJsonArray{"3:00"}}}}}});
    }

    void init() {
        startChanger();
        makeLink();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(userfiles::write(m_dataDir + "ufn.txt", kNames));
        m_spread.clear();
        openLink();
        showTab();
        if (m_tab)
            m_tab->spreadUserFileNames = [this](const QStringList& names) {
                m_spread.append(names);
            };
    }
    void cleanup() { tearDown(); }

    void openShowsNamesOverTheList() {
        QVERIFY(!panel()->isVisible());
        open();
        QVERIFY(panel()->isEnabled());
        QVERIFY(!list()->isVisible());
        QVERIFY(!list()->isEnabled());
        for (int k = 1; k <= 8; ++k)
            QCOMPARE(box(k)->text(), kNames.at(k - 1));
        QCOMPARE(m_status.shown.last(), 3);
        QVERIFY(!child<QPushButton>("cmdUFESave")->isEnabled());
        // A second press while it is open changes nothing.
        retype(2, "typed");
        QTest::mouseClick(child<QPushButton>("cmdUFEdit"), Qt::LeftButton);
        QCOMPARE(box(2)->text(), QString("typed"));
    }

    void keysAndLimit() {
        open();
        box(1)->setFocus();
        QTest::keyClick(box(1), Qt::Key_Return);
        QVERIFY(box(2)->hasFocus());
        box(7)->setFocus();
        QTest::keyClick(box(7), Qt::Key_Return);
        QVERIFY(box(8)->hasFocus());
        box(8)->setFocus();
        QTest::keyClick(box(8), Qt::Key_Return); // nothing changed: on to CANCEL
        QVERIFY(child<QPushButton>("cmdUFEEnd")->hasFocus());
        child<QToolButton>("cmdUFEQuit")->setFocus();
        QTest::keyClick(child<QToolButton>("cmdUFEQuit"), Qt::Key_Tab);
        QVERIFY(box(1)->hasFocus());
        child<QPushButton>("cmdCopy")->setFocus();
        QTest::keyClick(child<QPushButton>("cmdCopy"), Qt::Key_Tab);
        QVERIFY(box(1)->hasFocus());

        // 25 characters fit; a 26th is not taken; Backspace still works.
        retype(4, QString(25, 'x'));
        QCOMPARE(box(4)->text(), QString(25, 'x'));
        QTest::keyClicks(box(4), "yz");
        QCOMPARE(box(4)->text(), QString(25, 'x'));
        box(4)->setCursorPosition(3);
        QTest::keyClicks(box(4), "y");
        QCOMPARE(box(4)->text(), QString(25, 'x'));
        QTest::keyClick(box(4), Qt::Key_Backspace);
        QCOMPARE(box(4)->text().size(), 24);
        // A pasted name is cut to 25 characters as well.
        box(5)->clear();
        QGuiApplication::clipboard()->setText(QString(30, 'p'));
        box(5)->paste();
        QCOMPARE(box(5)->text(), QString(25, 'p'));
        QVERIFY(child<QPushButton>("cmdUFESave")->isEnabled());
        box(8)->setFocus();
        QTest::keyClick(box(8), Qt::Key_Return); // changed: on to UPDATE
        QVERIFY(child<QPushButton>("cmdUFESave")->hasFocus());
    }

    void changeDetectedOnFocusOut() {
        open();
        box(3)->setFocus();
        box(3)->setText("set, not typed"); // no edit signal: the focus-out compares
        QVERIFY(!child<QPushButton>("cmdUFESave")->isEnabled());
        box(4)->setFocus();
        QVERIFY(child<QPushButton>("cmdUFESave")->isEnabled());
    }

    void quitAsksWhenChanged() {
        open();
        QTest::mouseClick(child<QToolButton>("cmdUFEQuit"), Qt::LeftButton); // unchanged: closes
        QVERIFY(!panel()->isVisible());
        QVERIFY(m_ui.shown.isEmpty());
        open();
        retype(1, "Typed Name");
        m_ui.answers = {Answer::Cancel};
        QTest::mouseClick(child<QToolButton>("cmdUFEQuit"), Qt::LeftButton);
        QCOMPARE(m_ui.texts("message"), QStringList{msg(402)});
        QCOMPARE(m_ui.shown.first().title, QString("SAVE FILE"));
        QVERIFY(panel()->isVisible());
        QCOMPARE(box(1)->text(), QString("Typed Name"));
        m_ui.answers = {Answer::No};
        QTest::mouseClick(child<QToolButton>("cmdUFEQuit"), Qt::LeftButton);
        QVERIFY(!panel()->isVisible());
        QVERIFY(list()->isVisible());
        QCOMPARE(m_status.shown.last(), 5);
        // CANCEL closes without a question, and nothing is sent either.
        open();
        retype(2, "Not Sent");
        m_ui.shown.clear();
        QTest::mouseClick(child<QPushButton>("cmdUFEEnd"), Qt::LeftButton);
        QVERIFY(!panel()->isVisible());
        QCOMPARE(m_status.shown.last(), 5);
        QVERIFY(m_ui.shown.isEmpty());
        const QJsonArray names = m_sim.dump().value("userFileNames").toArray();
        QCOMPARE(names.at(0).toString(), QString("Road Trip"));
        QCOMPARE(names.at(1).toString(), QString("Sunday"));
        QVERIFY(!listNames().contains("Not Sent"));
        QVERIFY(m_spread.isEmpty());
    }

    void updateSendsAndSpreadsNames() {
        open();
        retype(1, "Road Trip 2");
        retype(3, "");
        QTest::mouseClick(child<QPushButton>("cmdUFESave"), Qt::LeftButton);
        QVERIFY(m_ui.texts("error").isEmpty());
        QVERIFY(!panel()->isVisible());
        QVERIFY(list()->isVisible() && list()->isEnabled());
        QCOMPARE(m_status.shown.last(), 4);
        QCOMPARE(m_sim.dump().value("userFileNames").toArray().at(0).toString(),
                 QString("Road Trip 2"));
        QStringList expected = kNames;
        expected[0] = "Road Trip 2";
        expected[2] = "USER FILE 3";
        QCOMPARE(listNames(), expected);
        QCOMPARE(m_spread, QList<QStringList>{expected});
        QCOMPARE(m_link->linkBusy(), qint16(kLinkIdle));
    }

    void failedUploadKeepsListNames() {
        m_tab->enterTab(); // the list shows ufn.txt's names
        const QStringList before = listNames();
        QCOMPARE(before, kNames);
        open();
        retype(1, "Refused");
        QVERIFY(m_sim.ok("fault refuse title"));
        QTest::mouseClick(child<QPushButton>("cmdUFESave"), Qt::LeftButton);
        QCOMPARE(m_ui.texts("error"), QStringList{msg(418)});
        QVERIFY(!panel()->isVisible());
        QCOMPARE(m_status.shown.last(), 5); // closed, not "updated"
        QCOMPARE(listNames(), before);
        QVERIFY(m_spread.isEmpty());
    }

    void withoutChangerNamesAreSpread() {
        m_link->setOffline(true);
        open();
        retype(6, "Offline Party");
        QTest::mouseClick(child<QPushButton>("cmdUFESave"), Qt::LeftButton);
        QVERIFY(m_ui.shown.isEmpty());
        QCOMPARE(listNames().at(5), QString("Offline Party"));
        QCOMPARE(m_spread.size(), 1);
        // The PC copy follows the changer at the next start, never the editor.
        QCOMPARE(*userfiles::read(m_dataDir + "ufn.txt"), kNames);
    }

private:
    QLineEdit* box(int k) { return child<QLineEdit>(QStringLiteral("Text1_%1").arg(k)); }
    QFrame* panel() { return child<QFrame>(QStringLiteral("picUFEdit")); }
    QListWidget* list() { return child<QListWidget>(QStringLiteral("lstTextUFile")); }
    QStringList listNames() {
        QStringList out;
        for (int i = 0; i < list()->count(); ++i)
            out.append(list()->item(i)->text());
        return out;
    }

    void open() {
        QTest::mouseClick(child<QPushButton>("cmdUFEdit"), Qt::LeftButton);
        QVERIFY(panel()->isVisible());
    }
    void retype(int k, const QString& text);

    QList<QStringList> m_spread;
};

void TestUfEdit::retype(int k, const QString& text) {
    box(k)->setFocus();
    box(k)->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box(k), Qt::Key_Backspace);
    else
        QTest::keyClicks(box(k), text);
}

QTEST_MAIN(TestUfEdit)
#include "tst_ufedit.moc"
