// A port that dies under the titles tab: the changer's line is hung up while the link is idle,
// while the changer reports its status, and at every step of saving titles to the changer,
// each time with unsaved titles in the editor. The user is told, the titles can still be saved
// to the PC, and the application does not spin on the dead port.

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

#include <QComboBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <memory>

using namespace tf;
using test::ScriptedUi;
using test::SimProcess;
using Answer = UserInterface::Answer;

namespace {

struct NoStatus : StatusMessenger {
    void ShowStatusMessage(int, int) override {}
};

const QStringList kDisc1Toc{"00:02:00", "04:00:10", "07:30:00", "11:00:00"};

QByteArray crlf(const QStringList& lines) {
    return lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n";
}

QString disc1IdText() {
    QList<TocTime> toc;
    for (const QString& t : kDisc1Toc) {
        const QStringList p = t.split(':');
        toc.append({quint8(p[0].toInt()), quint8(p[1].toInt()), quint8(p[2].toInt())});
    }
    return discIdText(*ComputeDiscId(toc)).toUpper();
}

// CPU time this process used, in milliseconds.
qint64 cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

enum class State { Idle, Pushing, Saving };

} // namespace

Q_DECLARE_METATYPE(State)

class TestDyingPort : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void hangUpWithUnsavedTitles_data();
    void hangUpWithUnsavedTitles();

private:
    template <typename T> T* child(const char* name) {
        T* w = m_tab->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    void editCell(int row, int column, const QString& text);

    QTemporaryDir m_libDir;
    QString m_libraryPath;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_dataDir;
    SimProcess m_sim;
    ScriptedUi m_ui;
    NullLookupService m_lookup;
    NoStatus m_status;
    std::unique_ptr<Configuration> m_config;
    std::unique_ptr<Link> m_link;
    std::unique_ptr<AppContext> m_ctx;
    std::unique_ptr<TitlesTab> m_tab;
};

void TestDyingPort::initTestCase() {
    QVERIFY(m_libDir.isValid());
    const QJsonArray discs{
        QJsonObject{{"slot", 1},
                    {"toc", QJsonArray::fromStringList(kDisc1Toc)},
                    {"memory", QJsonObject{{"title", "Memory Disc"},
                                           {"tracks", QJsonArray{"One", "", "Three"}}}},
                    {"userFiles", QJsonArray{1, 3}},
                    {"musicType", 5}},
        QJsonObject{{"slot", 2}, {"lengths", QJsonArray{"4:00", "3:00"}}, {"musicType", 17}},
    };
    const QJsonObject library{
        {"play", QJsonObject{{"disc", 1}, {"track", 1}, {"state", "stopped"}}}, {"discs", discs}};
    m_libraryPath = m_libDir.filePath("library.json");
    QVERIFY(test::writeAll(m_libraryPath, QJsonDocument(library).toJson()));
}

void TestDyingPort::init() {
    QVERIFY2(m_sim.start(m_libraryPath, {"--load-ms", "0", "--think-ms", "2"}),
             qPrintable(m_sim.lastError()));
    m_dir = std::make_unique<QTemporaryDir>();
    m_dataDir = m_dir->filePath(QStringLiteral("data")) + QLatin1Char('/');
    QVERIFY(QDir().mkpath(m_dataDir));
    m_ui = ScriptedUi{};
    m_config = std::make_unique<Configuration>(m_dir->path());
    m_config->settings.dataDir = m_dataDir;
    m_link = std::make_unique<Link>(m_ui);
    LinkTestAccess::timings(*m_link).frameMs = 300;
    LinkTestAccess::timings(*m_link).replyMs = 300;
    LinkTestAccess::timings(*m_link).nextFrameMs = 300;
    LinkTestAccess::timings(*m_link).errorCountdownS = 0;
    QCOMPARE(m_link->openDevice(m_sim.portPath()), 0);
    m_link->RS232C_Changer_INIT();
    QCOMPARE(m_link->linkState(), kLinkUp);
    LinkTestAccess::setLinkEstablished(*m_link, true);
    QTRY_COMPARE(m_link->playValues().TocReadyDisc, qint16(1));
    QTRY_VERIFY(m_link->modeCode() != 0);
    m_ctx = std::make_unique<AppContext>(AppContext{*m_link, *m_config, m_ui, m_lookup});
    m_tab = std::make_unique<TitlesTab>(*m_ctx, m_status);
    m_tab->resize(700, 500);
    m_tab->show();
    m_tab->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_tab.get()));
    m_ui.answers = {Answer::No}; // no web search for the disc without a file
    m_tab->enterTab();
    QVERIFY(m_tab->discLoaded());
    QCOMPARE(m_tab->currentDisc(), 1);
    m_ui.shown.clear();
}

void TestDyingPort::cleanup() {
    m_tab.reset();
    m_ctx.reset();
    m_link.reset();
    m_config.reset();
    m_dir.reset();
    m_sim.stop();
}

void TestDyingPort::editCell(int row, int column, const QString& text) {
    QTableWidget* grid = child<QTableWidget>("grdWin");
    grid->setFocus();
    grid->setCurrentCell(row, column);
    QTest::keyClick(grid, Qt::Key_F2, Qt::ControlModifier);
    QLineEdit* editor = child<QLineEdit>("TxtForEdit");
    QVERIFY(editor->isVisible());
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
}

void TestDyingPort::hangUpWithUnsavedTitles_data() {
    QTest::addColumn<State>("state");
    QTest::addColumn<int>("unit"); // the changer's unit the line dies in place of
    QTest::newRow("idle") << State::Idle << 0;
    // A status report the changer opens: ENQ, frame, EOT, for each of several reports.
    for (int unit = 0; unit < 6; ++unit)
        QTest::addRow("status report, unit %d", unit) << State::Pushing << unit;
    // Saving to the changer: the title-input check (ACK, ACK, answer, EOT), then the upload
    // (ACK to ENQ, ACK to each title frame, ACK to the closing EOT).
    for (int unit = 0; unit < 10; ++unit)
        QTest::addRow("saving to the changer, unit %d", unit) << State::Saving << unit;
}

void TestDyingPort::hangUpWithUnsavedTitles() {
    QFETCH(State, state);
    QFETCH(int, unit);
    QSignalSpy close(m_link.get(), &Link::closeRequested);
    editCell(0, 1, "First full title");
    editCell(2, 1, "Third full title");
    editCell(0, 2, "Uno");
    QVERIFY(m_tab->changed());

    switch (state) {
    case State::Idle:
        QVERIFY(m_sim.ok("hangup"));
        break;
    case State::Pushing:
        QVERIFY(m_sim.ok(QStringLiteral("fault cut %1").arg(unit)));
        QVERIFY(m_sim.ok("load 2")); // the changer's own panel: it reports the new disc
        break;
    case State::Saving:
        QVERIFY(m_sim.ok(QStringLiteral("fault cut %1").arg(unit)));
        m_ui.answers = {Answer::Yes};
        QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
        break;
    }
    QTRY_COMPARE_WITH_TIMEOUT(close.count(), 1, 10000);
    QVERIFY(!m_link->isOpen());
    QCOMPARE(m_ui.texts("message").count(msg(339)), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!m_tab->commandRunning(), 10000);

    // Nothing spins on the dead port: the process sleeps while it waits.
    const qint64 before = cpuMs();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(2000);
    const qint64 used = cpuMs() - before;
    QVERIFY2(used * 10 < wall.elapsed(),
             qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(used).arg(wall.elapsed())));

    // The titles are saved to the PC: no changer now, so only the file.
    if (m_tab->changed()) {
        m_ui.shown.clear();
        m_ui.answers = {Answer::Yes, Answer::Yes}; // save; replace an existing file
        QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
        QVERIFY2(m_ui.texts("error").isEmpty(), qPrintable(m_ui.texts("error").join('|')));
    }
    QVERIFY(!m_tab->changed());
    QCOMPARE(
        test::readAll(m_dataDir + "DISC1.txt"),
        crlf({"DISC ID =", disc1IdText(), "DISC NO =", "1", "MIN TNO =", " 1 ", "MAX TNO =", " 3 ",
              "Disc Title =", "", "Track Title =", "First full title", "", "Third full title"}));
    QCOMPARE(m_link->linkBusy() == kLinkIdle || m_link->linkBusy() == kLinkOffline, true);
}

QTEST_MAIN(TestDyingPort)
#include "tst_dyingport.moc"
