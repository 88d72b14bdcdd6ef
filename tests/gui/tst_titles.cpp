// The titles tab against the changer simulator on a pseudo-terminal: loading from the
// changer, reloading another disc, saving titles into its memory, refusals and errors.

#include "base/catalogue.h"
#include "common/titlestabrig.h"
#include "store/discdata.h"

#include <QComboBox>
#include <QFile>
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
    void initTestCase() { writeLibrary(); }
    void init() {
        showTab(
            {"--load-ms", "100"}, [](LinkTimings& t) { t.tocWaitMs = 5000; }, 1);
    }
    void cleanup() { tearDown(); }

    // Entering the tab loads the disc in the player as the changer knows it; Reload asks before
    // it changes the disc in the player.
    void loadAndReload() {
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
        QCOMPARE(child<QLineEdit>("TxtDTitle2")->text(), QString("Memory Disc"));
        QCOMPARE(child<QComboBox>("cmbTextMType")->currentText(), QString("Classical"));
        for (const int file : {0, 1, 2})
            QCOMPARE(child<QListWidget>("lstTextUFile")->item(file)->checkState(),
                     file == 1 ? Qt::Unchecked : Qt::Checked);
        QVERIFY(!m_tab->changed());

        m_ui.shown.clear();
        typeDisc("3");
        m_ui.answers = {Answer::No}; // the disc stays in the player
        QTest::mouseClick(child<QPushButton>("cmdReload"), Qt::LeftButton);
        QCOMPARE(messages(), QStringList{msg(394) + '\r' + msg(395)});
        QCOMPARE(m_link->playValues().PlayDisc, qint16(1));
        QCOMPARE(m_tab->currentDisc(), 1);
        QCOMPARE(cell(0, 2), QString("One"));
        typeDisc("3");
        m_ui.answers = {Answer::Yes, Answer::No}; // change the disc; no web search
        QTest::mouseClick(child<QPushButton>("cmdReload"), Qt::LeftButton);
        QCOMPARE(m_tab->currentDisc(), 3);
        QCOMPARE(grid()->rowCount(), 2);
        QCOMPARE(child<QComboBox>("cmbTextMType")->currentText(), QString("New Age"));
        QVERIFY(child<QPushButton>("cmdReload")->isEnabled());
    }

    // A CD TEXT disc is looked up in its CD TEXT, not on the internet.
    void loadCdTextDisc() {
        QVERIFY(m_sim.ok("load 2")); // the changer's own panel
        QTRY_COMPARE(m_link->playValues().PlayDisc, qint16(2));
        loadDisc("2");
        QCOMPARE(m_lookup.cdTextLoads, QList<int>{2});
        QVERIFY(m_lookup.webSearches.isEmpty());
        QVERIFY(messages().isEmpty());
        QCOMPARE(grid()->rowCount(), 2);
        QCOMPARE(child<QLineEdit>("TxtDTitle2")->text(), QString("Text Disc"));
        QCOMPARE(cell(1, 2), QString("Beta"));
    }

    // A save the changer refuses keeps the titles unsaved; once it takes titles again, the next
    // save stores the memory titles in the changer (what the PC file gets is tst_titles_edit's
    // and tst_titleflows'). A disc that takes no titles is told so on its load and on a save,
    // which writes the PC file only.
    void saveReachesChanger() {
        enterTabOnDisc(1);
        editCell(0, 2, "Uno");
        editCell(2, 2, "Tres");
        QLineEdit* memTitle = child<QLineEdit>("TxtDTitle2");
        memTitle->setFocus();
        memTitle->selectAll();
        QTest::keyClicks(memTitle, "Memoria");
        QVERIFY(m_tab->changed());
        QVERIFY(m_sim.ok("fault refuse title"));
        m_ui.answers = {Answer::Yes};
        QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
        QCOMPARE(messages(), QStringList{msg(402)}); // no DISC1.txt yet: no update question
        QVERIFY(m_tab->changed());
        QVERIFY(child<QPushButton>("cmdSave")->isEnabled());

        QVERIFY(m_sim.ok("fault clear"));
        m_ui.shown.clear();
        m_ui.answers = {Answer::Yes, Answer::Yes};
        QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
        QVERIFY(m_ui.texts("error").isEmpty());
        QVERIFY(!m_tab->changed());
        const QJsonObject disc = m_sim.disc(1);
        QCOMPARE(disc.value("memoryTitle").toString(), QString("Memoria"));
        const QJsonObject tracks = disc.value("memoryTracks").toObject();
        QCOMPARE(tracks.value("1").toString(), QString("Uno"));
        QCOMPARE(tracks.value("3").toString(), QString("Tres")); // up to the last track
        QCOMPARE(m_link->linkBusy(), qint16(kLinkIdle));

        DiscRecord locked;
        locked.identity = {7, {0x01, 0x02, 0x03, 0x04}};
        locked.minTno = 1;
        locked.maxTno = 1;
        QVERIFY(discdata::replaceBlock(m_dataDir, locked));
        m_ui.shown.clear();
        m_ui.answers = {Answer::Ok, Answer::No}; // 399/400, then no web search
        loadDisc("7");
        QCOMPARE(messages().first(), msg(399) + '\r' + msg(400));
        QVERIFY(m_tab->discLoaded());
        editCell(0, 2, "Never stored");
        m_ui.shown.clear();
        m_ui.answers = {Answer::Yes};
        QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
        QCOMPARE(messages(), QStringList({msg(402), msg(406)}));
        QVERIFY(m_tab->changed());
        QVERIFY(QFile::exists(m_dataDir + "DISC7.txt"));
        QVERIFY(m_sim.disc(7).value("memoryTracks").toObject().isEmpty());
    }
};

QTEST_MAIN(TestTitles)
#include "tst_titles.moc"
