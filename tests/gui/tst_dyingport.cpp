// A port that dies under the titles tab: the changer's line is hung up while the link is idle,
// while the changer reports its status, and at every step of saving titles to the changer,
// each time with unsaved titles in the editor. The user is told, the titles can still be saved
// to the PC, and the application does not spin on the dead port.

#include "base/catalogue.h"
#include "common/linktestaccess.h"
#include "common/testsupport.h"
#include "common/titlestabrig.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <sys/resource.h>

using namespace tf;
using Answer = UserInterface::Answer;

namespace {

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

class TestDyingPort : public QObject, public test::TitlesTabRig {
    Q_OBJECT
private slots:
    void initTestCase() { writeLibrary(); }

    void init() {
        showTab(
            {"--load-ms", "0", "--think-ms", "2"},
            [](LinkTimings& t) { t.frameMs = t.replyMs = t.nextFrameMs = 300; }, 1);
        if (!QTest::currentTestFailed())
            LinkTestAccess::setLinkEstablished(*m_link, true);
        enterTabOnDisc(1);
    }
    void cleanup() { tearDown(); }

    void hangUpWithUnsavedTitles_data() {
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

    void hangUpWithUnsavedTitles() {
        QFETCH(State, state);
        QFETCH(int, unit);
        QSignalSpy close(m_link.get(), &Link::closeRequested);
        editCell(0, 1, "First full title");
        editCell(2, 1, "Third full title");
        editCell(0, 2, "Uno");
        QVERIFY(m_tab->changed());

        QVERIFY(m_sim.ok(state == State::Idle ? QStringLiteral("hangup")
                                              : QStringLiteral("fault cut %1").arg(unit)));
        if (state == State::Pushing)
            QVERIFY(m_sim.ok("load 2")); // the changer's own panel: it reports the new disc
        if (state == State::Saving) {
            m_ui.answers = {Answer::Yes};
            QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
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
        const QByteArray saved = test::readAll(m_dataDir + "DISC1.txt");
        QVERIFY(saved.contains("First full title") && saved.contains("Third full title"));
        QVERIFY(m_link->linkBusy() == kLinkIdle || m_link->linkBusy() == kLinkOffline);
    }
};

QTEST_MAIN(TestDyingPort)
#include "tst_dyingport.moc"
