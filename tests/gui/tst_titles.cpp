// The titles tab against the changer simulator on a pseudo-terminal: loading from the
// changer, saving titles into its memory, refusals and errors, reloading another disc.

#include "base/catalogue.h"
#include "common/testsupport.h"
#include "common/titlestabrig.h"
#include "store/discdata.h"

#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace tf;
using Answer = UserInterface::Answer;

class TestTitles : public QObject, public test::TitlesTabRig {
    Q_OBJECT
private slots:
    void initTestCase() {
        const QJsonArray discs{
            disc1(),
            QJsonObject{{"slot", 2},
                        {"lengths", QJsonArray{"4:00", "3:00"}},
                        {"cdText", QJsonObject{{"title", "Text Disc"},
                                               {"tracks", QJsonArray{"Alpha", "Beta"}}}}},
            QJsonObject{{"slot", 3}, {"lengths", QJsonArray{"4:00", "3:00"}}, {"musicType", 17}},
            QJsonObject{{"slot", 7}, {"lengths", QJsonArray{"3:00"}}, {"titleLocked", true}},
        };
        writeLibrary(
            QJsonObject{{"play", QJsonObject{{"disc", 1}, {"track", 1}, {"state", "stopped"}}},
                        {"discs", discs}});
    }

    void init() {
        startChanger({"--load-ms", "100"});
        makeLink();
        openLink([](LinkTimings& t) { t.tocWaitMs = 5000; });
        waitForDisc(1);
        showTab();
    }
    void cleanup() { tearDown(); }

    void enterTabLoadsDiscInPlayer() {
        m_ui.answers = {Answer::Yes}; // search the internet for the disc without a file
        m_tab->enterTab();
        QVERIFY(m_tab->discLoaded());
        QCOMPARE(child<QComboBox>("cmbTextDno")->currentText().trimmed(), QString("1"));
        QCOMPARE(messages(), QStringList{msg(325) + '\r' + msg(326)});
        QCOMPARE(m_lookup.webSearches, QList<int>{1});
        // The changer's view: track range, memory titles, music type and user files.
        QCOMPARE(grid()->rowCount(), 3);
        QCOMPARE(cell(0, 2), QString("One"));
        QCOMPARE(cell(1, 2), QString("* NO TITLE *"));
        QCOMPARE(cell(2, 2), QString("Three"));
        QCOMPARE(cell(0, 1), QString());
        QCOMPARE(child<QLineEdit>("TxtDTitle2")->text(), QString("Memory Disc"));
        QCOMPARE(child<QComboBox>("cmbTextMType")->currentText(), QString("Classical"));
        QListWidget* files = child<QListWidget>("lstTextUFile");
        QCOMPARE(files->item(0)->checkState(), Qt::Checked);
        QCOMPARE(files->item(1)->checkState(), Qt::Unchecked);
        QCOMPARE(files->item(2)->checkState(), Qt::Checked);
        QVERIFY(child<QPushButton>("cmdReload")->isEnabled());
        QVERIFY(child<QPushButton>("cmdLoad")->isEnabled());
        QVERIFY(!m_tab->changed());
    }

    void loadCdTextDiscRunsCdTextLookup() {
        QVERIFY(m_sim.ok("load 2")); // the changer's own panel
        QTRY_COMPARE(m_link->playValues().PlayDisc, qint16(2));
        typeDisc("2");
        QTest::keyClick(child<QComboBox>("cmbTextDno"), Qt::Key_Return);
        QCOMPARE(m_lookup.cdTextLoads, QList<int>{2});
        QVERIFY(m_lookup.webSearches.isEmpty());
        QVERIFY(messages().isEmpty());
        QCOMPARE(grid()->rowCount(), 2);
        QCOMPARE(child<QLineEdit>("TxtDTitle2")->text(), QString("Text Disc"));
        QCOMPARE(cell(1, 2), QString("Beta"));
    }

    void saveReachesChanger() {
        enterTabOnDisc(1);
        editCell(0, 1, "Uno (full length title, longer than the changer keeps)");
        editCell(0, 2, "Uno");
        QLineEdit* memTitle = child<QLineEdit>("TxtDTitle2");
        memTitle->setFocus();
        memTitle->selectAll();
        QTest::keyClicks(memTitle, "Memoria");
        QVERIFY(m_tab->changed());
        m_ui.answers = {Answer::Yes};
        QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
        QCOMPARE(messages(), QStringList{msg(402)}); // no DISC1.txt yet: no update question
        QVERIFY(m_ui.texts("error").isEmpty());
        QVERIFY(!m_tab->changed());
        QVERIFY(test::readAll(m_dataDir + "DISC1.txt")
                    .contains("Uno (full length title, longer than the changer keeps)"));
        const QJsonObject disc = m_sim.disc(1);
        QCOMPARE(disc.value("memoryTitle").toString(), QString("Memoria"));
        const QJsonObject tracks = disc.value("memoryTracks").toObject();
        QCOMPARE(tracks.value("1").toString(), QString("Uno"));
        QCOMPARE(tracks.value("3").toString(), QString("Three")); // up to the last track
        QCOMPARE(m_link->linkBusy(), qint16(kLinkIdle));
    }

    void lockedDiscRefusesTitles() {
        DiscRecord locked;
        locked.identity = {7, {0x01, 0x02, 0x03, 0x04}};
        locked.minTno = 1;
        locked.maxTno = 1;
        QVERIFY(discdata::replaceBlock(m_dataDir, locked));
        m_ui.answers = {Answer::Ok, Answer::No}; // 399/400, then no web search
        typeDisc("7");
        QTest::keyClick(child<QComboBox>("cmbTextDno"), Qt::Key_Return);
        QCOMPARE(messages().first(), msg(399) + '\r' + msg(400));
        QVERIFY(m_tab->discLoaded());
        editCell(0, 2, "Never stored");
        m_ui.shown.clear();
        m_ui.answers = {Answer::Yes};
        QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
        QCOMPARE(messages(), QStringList({msg(402), msg(406)}));
        QCOMPARE(m_ui.shown.last().title, QString("TITLE INPUT"));
        QVERIFY(m_tab->changed());
        QVERIFY(child<QPushButton>("cmdSave")->isEnabled());
        QVERIFY(QFile::exists(m_dataDir + "DISC7.txt")); // the PC side was saved
        QVERIFY(m_sim.disc(7).value("memoryTracks").toObject().isEmpty());
    }

    void uploadErrorKeepsChangedFlag() {
        enterTabOnDisc(1);
        editCell(2, 2, "Tres");
        QVERIFY(m_sim.ok("fault refuse title"));
        m_ui.answers = {Answer::Yes};
        QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
        QCOMPARE(m_ui.texts("error"), QStringList{msg(364)});
        QVERIFY(m_tab->changed());
        QVERIFY(child<QPushButton>("cmdSave")->isEnabled());
        // Saving again once the changer takes titles succeeds.
        QVERIFY(m_sim.ok("fault clear"));
        m_ui.answers = {Answer::Yes, Answer::Yes};
        QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
        QVERIFY(!m_tab->changed());
        QCOMPARE(m_sim.disc(1).value("memoryTracks").toObject().value("3").toString(),
                 QString("Tres"));
    }

    void reloadAnotherDisc() {
        enterTabOnDisc(1);
        typeDisc("3");
        m_ui.answers = {Answer::No}; // the disc stays in the player
        QTest::mouseClick(child<QPushButton>("cmdReload"), Qt::LeftButton);
        QCOMPARE(messages(), QStringList{msg(394) + '\r' + msg(395)});
        QCOMPARE(m_ui.shown.first().title, QString("READING DISC"));
        QCOMPARE(m_link->playValues().PlayDisc, qint16(1));
        QCOMPARE(m_tab->currentDisc(), 1);
        QCOMPARE(cell(0, 2), QString("One"));
        typeDisc("3");
        m_ui.answers = {Answer::Yes, Answer::No}; // change the disc; no web search
        QTest::mouseClick(child<QPushButton>("cmdReload"), Qt::LeftButton);
        QCOMPARE(m_link->playValues().PlayDisc, qint16(3));
        QCOMPARE(m_tab->currentDisc(), 3);
        QVERIFY(m_tab->discLoaded());
        QCOMPARE(grid()->rowCount(), 2);
        QCOMPARE(child<QComboBox>("cmbTextMType")->currentText(), QString("New Age"));
        QVERIFY(m_status.shown.contains(7));
        QVERIFY(child<QPushButton>("cmdReload")->isEnabled());
    }
};

QTEST_MAIN(TestTitles)
#include "tst_titles.moc"
