// The titles tab against the changer simulator on a pseudo-terminal: loading from the
// changer, saving titles into its memory, refusals and errors, reloading another disc.

#include "base/catalogue.h"
#include "base/statusmessenger.h"
#include "common/linktestaccess.h"
#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "editing/widgets/titlestab.h"
#include "link/link.h"
#include "model/discid.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "store/config.h"
#include "store/discdata.h"
#include "store/textfile.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tf;
using test::ScriptedUi;
using test::SimProcess;
using Answer = UserInterface::Answer;

namespace {

struct StatusLog : StatusMessenger {
    QList<int> shown;
    void ShowStatusMessage(int tab, int index) override {
        if (tab == kTitlesTab)
            shown.append(index);
    }
};

struct RecordingLookup : LookupService {
    QList<int> webSearches;
    QList<int> cdTextLoads;
    bool CD_TEXT_load_Not_CDDB(int disc) override {
        cdTextLoads.append(disc);
        return false;
    }
    bool Web_search_CDDB(int disc) override {
        webSearches.append(disc);
        return false;
    }
    void lookUpAllDiscs() override {}
};

const QStringList kDisc1Toc{"00:02:00", "04:00:10", "07:30:00", "11:00:00"};

QByteArray crlf(const QStringList& lines) {
    return lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n";
}

// The identifier the PC computes from disc 1's table of contents.
QString disc1IdText() {
    QList<TocTime> toc;
    for (const QString& t : kDisc1Toc) {
        const QStringList p = t.split(':');
        toc.append({quint8(p[0].toInt()), quint8(p[1].toInt()), quint8(p[2].toInt())});
    }
    return discIdText(*ComputeDiscId(toc));
}

} // namespace

class TestTitles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void enterTabLoadsDiscInPlayer();
    void loadDiscNotInPlayerWithoutMasterFile();
    void loadCdTextDiscRunsCdTextLookup();
    void saveReachesChanger();
    void lockedDiscRefusesTitles();
    void uploadErrorKeepsChangedFlag();
    void reloadAnotherDisc();
    void reloadDeclined();
    void reloadWithoutWebSearchShowsFile();

private:
    void startTab();
    void type(const QString& disc);
    template <typename T> T* child(const char* name) {
        T* w = m_tab->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QTableWidget* grid() { return child<QTableWidget>("grdWin"); }
    QString cell(int row, int column) {
        const QTableWidgetItem* it = grid()->item(row, column);
        return it ? it->text() : QString();
    }
    void editCell(int row, int column, const QString& text);
    QStringList messages() const { return m_ui.texts(QStringLiteral("message")); }
    QJsonObject simDisc(int slot);

    QTemporaryDir m_libDir;
    QString m_libraryPath;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_dataDir;
    SimProcess m_sim;
    ScriptedUi m_ui;
    RecordingLookup m_lookup;
    StatusLog m_status;
    std::unique_ptr<Configuration> m_config;
    std::unique_ptr<Link> m_link;
    std::unique_ptr<AppContext> m_ctx;
    std::unique_ptr<TitlesTab> m_tab;
};

void TestTitles::initTestCase() {
    QVERIFY(m_libDir.isValid());
    QVERIFY2(!SimProcess::executable().isEmpty(), "built without changer-sim");
    const QJsonArray discs{
        QJsonObject{{"slot", 1},
                    {"toc", QJsonArray::fromStringList(kDisc1Toc)},
                    {"memory", QJsonObject{{"title", "Memory Disc"},
                                           {"tracks", QJsonArray{"One", "", "Three"}}}},
                    {"userFiles", QJsonArray{1, 3}},
                    {"musicType", 5}},
        QJsonObject{{"slot", 2},
                    {"lengths", QJsonArray{"4:00", "3:00"}},
                    {"cdText",
                     QJsonObject{{"title", "Text Disc"}, {"tracks", QJsonArray{"Alpha", "Beta"}}}}},
        QJsonObject{{"slot", 3}, {"lengths", QJsonArray{"4:00", "3:00"}}, {"musicType", 17}},
        QJsonObject{{"slot", 7}, {"lengths", QJsonArray{"3:00"}}, {"titleLocked", true}},
    };
    const QJsonObject library{
        {"play", QJsonObject{{"disc", 1}, {"track", 1}, {"state", "stopped"}}}, {"discs", discs}};
    m_libraryPath = m_libDir.filePath("library.json");
    QVERIFY(test::writeAll(m_libraryPath, QJsonDocument(library).toJson()));
}

void TestTitles::init() {
    QVERIFY2(m_sim.start(m_libraryPath, {"--load-ms", "100"}), qPrintable(m_sim.lastError()));
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_dataDir = m_dir->filePath(QStringLiteral("data")) + QLatin1Char('/');
    QVERIFY(QDir().mkpath(m_dataDir));
    m_ui = ScriptedUi{};
    m_lookup = RecordingLookup{};
    m_status = StatusLog{};
    m_config = std::make_unique<Configuration>(m_dir->path());
    m_config->settings.dataDir = m_dataDir;
    m_link = std::make_unique<Link>(m_ui);
    LinkTestAccess::timings(*m_link).tocWaitMs = 5000;
    LinkTestAccess::timings(*m_link).errorCountdownS = 0;
    QCOMPARE(m_link->openDevice(m_sim.portPath()), 0);
    m_link->RS232C_Changer_INIT();
    QCOMPARE(m_link->linkState(), kLinkUp);
    QTRY_COMPARE(m_link->playValues().PlayDisc, qint16(1));
    QTRY_COMPARE(m_link->playValues().TocReadyDisc, qint16(1));
    // The changer's mode comes last; arriving later it would end the waits for a disc as a
    // mode change does.
    QTRY_VERIFY(m_link->modeCode() != 0);
    m_ctx = std::make_unique<AppContext>(AppContext{*m_link, *m_config, m_ui, m_lookup});
    m_tab = std::make_unique<TitlesTab>(*m_ctx, m_status);
    m_tab->resize(700, 500);
    m_tab->show();
    m_tab->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_tab.get()));
}

void TestTitles::cleanup() {
    m_tab.reset();
    m_ctx.reset();
    m_link.reset();
    m_config.reset();
    m_dir.reset();
    m_sim.stop();
}

// Enters the tab, which loads the disc in the player; no web search for it.
void TestTitles::startTab() {
    m_ui.answers = {Answer::No};
    m_tab->enterTab();
    QVERIFY(m_tab->discLoaded());
    QCOMPARE(m_tab->currentDisc(), 1);
    m_ui.shown.clear();
}

void TestTitles::type(const QString& disc) {
    QComboBox* dno = child<QComboBox>("cmbTextDno");
    dno->setFocus();
    dno->lineEdit()->selectAll();
    QTest::keyClicks(dno, disc);
}

void TestTitles::editCell(int row, int column, const QString& text) {
    grid()->setFocus();
    grid()->setCurrentCell(row, column);
    QTest::keyClick(grid(), Qt::Key_F2, Qt::ControlModifier);
    QLineEdit* editor = child<QLineEdit>("TxtForEdit");
    QVERIFY(editor->isVisible());
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
}

QJsonObject TestTitles::simDisc(int slot) {
    for (const QJsonValue& v : m_sim.dump().value("discs").toArray())
        if (v.toObject().value("slot").toInt() == slot)
            return v.toObject();
    return {};
}

void TestTitles::enterTabLoadsDiscInPlayer() {
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
    // The master block was written from what the changer reported.
    const auto master = textfile::readLines(m_dataDir + "discdata.txt");
    QVERIFY(master);
    QCOMPARE(master->at(0), QString("_!_1"));
    QCOMPARE(master->at(master->indexOf("UFILE_1") + 1).trimmed(), QString("5"));
    QCOMPARE(master->at(master->indexOf("MTYPE_1") + 1).trimmed(), QString("5"));
    QCOMPARE(master->at(master->indexOf("MINMAXTNO_1") + 2).trimmed(), QString("3"));
    QVERIFY(child<QPushButton>("cmdReload")->isEnabled());
    QVERIFY(child<QPushButton>("cmdLoad")->isEnabled());
    QVERIFY(!m_tab->changed());
}

void TestTitles::loadDiscNotInPlayerWithoutMasterFile() {
    type("3");
    QTest::keyClick(child<QComboBox>("cmbTextDno"), Qt::Key_Return);
    QCOMPARE(messages(), QStringList{msg(401) + '\r' + msg(398)});
    QCOMPARE(m_ui.shown.first().title, QString("CAUTION"));
    QCOMPARE(m_tab->currentDisc(), 3);
    QVERIFY(m_tab->discLoaded());
    QCOMPARE(grid()->rowCount(), 1);
    QCOMPARE(child<QComboBox>("cmbTextMType")->currentText(), QString("New Age"));
    QVERIFY(!QFile::exists(m_dataDir + "discdata.txt"));
    QCOMPARE(m_link->playValues().PlayDisc, qint16(1)); // a load never changes the disc
}

void TestTitles::loadCdTextDiscRunsCdTextLookup() {
    QVERIFY(m_sim.ok("load 2")); // the changer's own panel
    QTRY_COMPARE(m_link->playValues().PlayDisc, qint16(2));
    type("2");
    QTest::keyClick(child<QComboBox>("cmbTextDno"), Qt::Key_Return);
    QCOMPARE(m_lookup.cdTextLoads, QList<int>{2});
    QVERIFY(m_lookup.webSearches.isEmpty());
    QVERIFY(messages().isEmpty());
    QCOMPARE(grid()->rowCount(), 2);
    QCOMPARE(child<QLineEdit>("TxtDTitle2")->text(), QString("Text Disc"));
    QCOMPARE(cell(1, 2), QString("Beta"));
}

void TestTitles::saveReachesChanger() {
    startTab();
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
    QCOMPARE(test::readAll(m_dataDir + "DISC1.txt"),
             crlf({"DISC ID =", disc1IdText().toUpper(), "DISC NO =", "1", "MIN TNO =", " 1 ",
                   "MAX TNO =", " 3 ", "Disc Title =", "", "Track Title =",
                   "Uno (full length title, longer than the changer keeps)", "", ""}));
    const QJsonObject disc = simDisc(1);
    QCOMPARE(disc.value("memoryTitle").toString(), QString("Memoria"));
    const QJsonObject tracks = disc.value("memoryTracks").toObject();
    QCOMPARE(tracks.value("1").toString(), QString("Uno"));
    QCOMPARE(tracks.value("3").toString(), QString("Three"));
    // Music type and user files go back unchanged.
    QCOMPARE(disc.value("musicType").toInt(), 5);
    QCOMPARE(disc.value("userFileByte").toInt(), 5);
    QCOMPARE(m_link->linkBusy(), qint16(kLinkIdle));
}

void TestTitles::lockedDiscRefusesTitles() {
    DiscRecord locked;
    locked.identity = {7, {0x01, 0x02, 0x03, 0x04}};
    locked.minTno = 1;
    locked.maxTno = 1;
    QVERIFY(discdata::replaceBlock(m_dataDir, locked));
    m_ui.answers = {Answer::Ok, Answer::No}; // 399/400, then no web search
    type("7");
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
    QVERIFY(simDisc(7).value("memoryTracks").toObject().isEmpty());
}

void TestTitles::uploadErrorKeepsChangedFlag() {
    startTab();
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
    QCOMPARE(simDisc(1).value("memoryTracks").toObject().value("3").toString(), QString("Tres"));
}

void TestTitles::reloadAnotherDisc() {
    startTab();
    type("3");
    m_ui.answers = {Answer::Yes, Answer::No}; // change the disc; no web search
    QTest::mouseClick(child<QPushButton>("cmdReload"), Qt::LeftButton);
    QCOMPARE(messages().first(), msg(394) + '\r' + msg(395));
    QCOMPARE(m_ui.shown.first().title, QString("READING DISC"));
    QCOMPARE(m_link->playValues().PlayDisc, qint16(3));
    QCOMPARE(m_tab->currentDisc(), 3);
    QVERIFY(m_tab->discLoaded());
    QCOMPARE(grid()->rowCount(), 2);
    QCOMPARE(child<QComboBox>("cmbTextMType")->currentText(), QString("New Age"));
    QVERIFY(m_status.shown.contains(7));
    const auto master = textfile::readLines(m_dataDir + "discdata.txt");
    QVERIFY(master && master->contains("_!_3"));
    QVERIFY(child<QPushButton>("cmdReload")->isEnabled());
}

void TestTitles::reloadDeclined() {
    startTab();
    type("3");
    m_ui.answers = {Answer::No};
    QTest::mouseClick(child<QPushButton>("cmdReload"), Qt::LeftButton);
    QCOMPARE(messages(), QStringList{msg(394) + '\r' + msg(395)});
    QCOMPARE(m_link->playValues().PlayDisc, qint16(1));
    QCOMPARE(m_tab->currentDisc(), 1);
    QCOMPARE(cell(0, 2), QString("One"));
}

// With web search switched off and no CD TEXT, an existing file is still shown.
void TestTitles::reloadWithoutWebSearchShowsFile() {
    QVERIFY(test::writeAll(
        m_dataDir + "DISC3.txt",
        crlf({"DISC ID =", "00000000", "DISC NO =", "3", "MIN TNO =", "1", "MAX TNO =", "2",
              "Disc Title =", "Kept", "Track Title =", "First", "Second"})));
    m_config->settings.noWebSearch = 1;
    startTab();
    type("3");
    m_ui.answers = {Answer::Yes};
    QTest::mouseClick(child<QPushButton>("cmdReload"), Qt::LeftButton);
    QCOMPARE(messages(), QStringList{msg(394) + '\r' + msg(395)});
    QCOMPARE(child<QLineEdit>("TxtDTitle1")->text(), QString("Kept"));
    QCOMPARE(cell(1, 1), QString("Second"));
    QCOMPARE(m_tab->lbBackTextInfo()->text(), QString("DISC3.txt"));
}

QTEST_MAIN(TestTitles)
#include "tst_titles.moc"
