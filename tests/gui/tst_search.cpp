// The title search through the whole program as main() composes it: the index follows the
// data folder (a title file written as a save or lookup writes it), and a result chosen with
// the keyboard opens its disc on the titles tab or reaches changer-sim as the audio tab's play
// request.

#include "base/catalogue.h"
#include "common/programrig.h"
#include "editing/widgets/titlestab.h"
#include "link/frame.h"
#include "link/link.h"
#include "playback/widgets/audiotab.h"
#include "shell/widgets/application.h"
#include "shell/widgets/composition.h"
#include "shell/widgets/mainwindow.h"
#include "store/discfile.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

using namespace tf;
using test::ProgramRig;

namespace {

QLineEdit* field(ProgramRig& p) {
    return p.window->findChild<QLineEdit*>("txtSearch");
}
// "slot:track" of the current result.
QString current(ProgramRig& p) {
    const QTreeWidgetItem* item = p.window->findChild<QTreeWidget*>("lstSearch")->currentItem();
    return item ? item->text(0) + ":" + item->text(1) : QString();
}
void find(ProgramRig& p, const QString& text) {
    p.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(p.window));
    QTest::keyClick(p.window, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(field(p), text);
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT
private slots:
    void indexFollowsTheFolderAndResultsPlay() {
        ProgramRig p;
        QVERIFY2(p.start(), qPrintable(p.sim.lastError()));
        // Written as a lookup or a save writes a title file, while the program runs.
        QVERIFY(discfile::writeFromLookup(p.app->config().settings.dataDir, {5, {1, 2, 3, 4}}, 1, 3,
                                          QString::fromUtf8("Nuit Blanche Ensemble / Gares"),
                                          {"Platform One", "Nightfall Road", "Last Departure"}));

        // Ctrl+Enter opens the result's disc on the titles tab; unsaved titles there are asked
        // about first, and Cancel keeps the disc they belong to.
        p.window->tabs()->setCurrentIndex(MainWindow::kTitlesTab);
        TitlesTab* tab = p.parts->titlesTab();
        QTRY_VERIFY(tab->discLoaded() && p.idle());
        const int before = tab->currentDisc();
        QTest::keyClicks(tab->findChild<QLineEdit*>("TxtDTitle1"), "unsaved");
        QVERIFY(tab->changed() && before != 5);
        p.ui.shown.clear();
        int asked = 0;
        for (const auto answer : {UserInterface::Answer::Cancel, UserInterface::Answer::No}) {
            p.ui.answers = {answer};
            find(p, "nightf");
            QVERIFY(field(p)->hasFocus());
            QTRY_COMPARE(current(p), QStringLiteral("5:2"));
            QTest::keyClick(field(p), Qt::Key_Return, Qt::ControlModifier);
            QCOMPARE(p.ui.texts("message").count(msg(msgid::SaveChangesQuestion)), ++asked);
            QCOMPARE(p.window->tabs()->currentIndex(), int(MainWindow::kTitlesTab));
            QCOMPARE(tab->currentDisc(), answer == UserInterface::Answer::No ? 5 : before);
        }
        QVERIFY(p.idle() && tab->discLoaded() && !tab->changed());
        QCOMPARE(tab->findChild<QComboBox*>("cmbTextDno")->currentText().trimmed(), QString("5"));

        // Enter plays it as a track chosen on the audio tab: the same request and status text.
        const auto status = [&] {
            return p.window->findChild<QLabel*>("lbSearchStatus")->text();
        };
        find(p, "nightf");
        QTRY_COMPARE(current(p), QStringLiteral("5:2"));
        QTest::keyClick(field(p), Qt::Key_Return);
        const QByteArray request = "rx frame 0b: " + buildPlayRequest(5, 2, 1).toHex(' ').toUpper();
        QTRY_COMPARE(p.sim.errorOutput().count(request), 1);
        QCOMPARE(p.audio()->infoLabel()->text(), statusText(19) + "5");
        QCOMPARE(status(), msg(msgid::SearchPlaying) + "5" + msg(msgid::SearchPlayingTrack) + "2");

        // While a command runs nothing is sent, and the search says why.
        QVERIFY(p.idle());
        p.app->link().setCommandInProgress(true);
        QTest::keyClick(field(p), Qt::Key_Return);
        QCOMPARE(status(), msg(msgid::SearchBusy));
        p.app->link().setCommandInProgress(false);
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
