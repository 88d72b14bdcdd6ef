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
    void initTestCase() { writeLibrary(); }

    void init() {
        showTab();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(userfiles::write(m_dataDir + "ufn.txt", kNames));
        m_spread.clear();
        m_tab->spreadUserFileNames = [this](const QStringList& names) {
            m_spread.append(names);
        };
    }
    void cleanup() { tearDown(); }

    // The editor over the list: its keys, the 25-character limit and change detection; the close
    // box asks about changes and CANCEL closes without asking, neither sends anything; UPDATE
    // sends the names, with a changer and without.
    void editCloseAndUpdate() {
        const QJsonValue sent = m_sim.dump().value("userFileNames");
        QVERIFY(!panel()->isVisible());
        open();
        QTest::mouseClick(child<QToolButton>("cmdUFEQuit"), Qt::LeftButton); // unchanged: closes
        QVERIFY(!panel()->isVisible());
        QVERIFY(m_ui.shown.isEmpty());
        open();
        QVERIFY(!list()->isEnabled());
        for (int k = 1; k <= 8; ++k)
            QCOMPARE(box(k)->text(), kNames.at(k - 1));
        QCOMPARE(m_status.shown.last(), 3);
        QVERIFY(!child<QPushButton>("cmdUFESave")->isEnabled());

        box(7)->setFocus();
        QTest::keyClick(box(7), Qt::Key_Return);
        QVERIFY(box(8)->hasFocus());
        QTest::keyClick(box(8), Qt::Key_Return); // nothing changed: on to CANCEL
        QVERIFY(child<QPushButton>("cmdUFEEnd")->hasFocus());

        // A name set without an edit signal is noticed when the focus leaves its box.
        box(3)->setFocus();
        box(3)->setText("set, not typed");
        QVERIFY(!child<QPushButton>("cmdUFESave")->isEnabled());
        box(4)->setFocus();
        QVERIFY(child<QPushButton>("cmdUFESave")->isEnabled());

        // 25 characters fit; a 26th is not typed in, nor pasted; Backspace still works.
        retype(4, QString(25, 'x'));
        QCOMPARE(box(4)->text(), QString(25, 'x'));
        QTest::keyClicks(box(4), "yz");
        QCOMPARE(box(4)->text(), QString(25, 'x'));
        QTest::keyClick(box(4), Qt::Key_Backspace);
        QCOMPARE(box(4)->text().size(), 24);
        box(5)->clear();
        QGuiApplication::clipboard()->setText(QString(30, 'p'));
        box(5)->paste();
        QCOMPARE(box(5)->text(), QString(25, 'p'));
        box(8)->setFocus();
        QTest::keyClick(box(8), Qt::Key_Return); // changed: on to UPDATE
        QVERIFY(child<QPushButton>("cmdUFESave")->hasFocus());
        // A second press while it is open changes nothing.
        QTest::mouseClick(child<QPushButton>("cmdUFEdit"), Qt::LeftButton);
        QCOMPARE(box(3)->text(), QString("set, not typed"));

        m_ui.answers = {Answer::Cancel};
        QTest::mouseClick(child<QToolButton>("cmdUFEQuit"), Qt::LeftButton);
        QCOMPARE(m_ui.texts("message"), QStringList{msg(402)});
        QVERIFY(panel()->isVisible());
        QCOMPARE(box(5)->text(), QString(25, 'p'));
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
        QCOMPARE(m_sim.dump().value("userFileNames"), sent);
        QVERIFY(!listNames().contains("Not Sent"));
        QVERIFY(m_spread.isEmpty());

        // A refused upload closes the editor and leaves the list as it was; an accepted one
        // shows the names in the list and hands them on.
        m_ui.answers = {Answer::No}; // no web search for the disc in the player
        m_tab->enterTab();           // the list shows ufn.txt's names
        QCOMPARE(listNames(), kNames);
        open();
        retype(1, "Refused");
        QVERIFY(m_sim.ok("fault refuse title"));
        QTest::mouseClick(child<QPushButton>("cmdUFESave"), Qt::LeftButton);
        QVERIFY(!panel()->isVisible());
        QCOMPARE(m_status.shown.last(), 5); // closed, not "updated"
        QCOMPARE(listNames(), kNames);
        QVERIFY(m_spread.isEmpty());

        QVERIFY(m_sim.ok("fault clear"));
        m_ui.shown.clear();
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

        // Without a changer the names are spread all the same; the PC copy follows the changer
        // at the next start, never the editor.
        const auto file = userfiles::read(m_dataDir + "ufn.txt");
        QVERIFY(file);
        m_link->setOffline(true);
        m_ui.shown.clear();
        open();
        retype(6, "Offline Party");
        QTest::mouseClick(child<QPushButton>("cmdUFESave"), Qt::LeftButton);
        QVERIFY(m_ui.shown.isEmpty());
        QCOMPARE(listNames().at(5), QString("Offline Party"));
        QCOMPARE(m_spread.size(), 2);
        QCOMPARE(*userfiles::read(m_dataDir + "ufn.txt"), *file);
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
    void retype(int k, const QString& text) {
        box(k)->setFocus();
        box(k)->selectAll();
        QTest::keyClick(box(k), Qt::Key_Backspace);
        QTest::keyClicks(box(k), text);
    }

    QList<QStringList> m_spread;
};

QTEST_MAIN(TestUfEdit)
#include "tst_ufedit.moc"
