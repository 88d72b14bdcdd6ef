// The lookup windows offscreen: the candidate choice and the disc information window.

#include "lookup/widgets/candidatedialog.h"
#include "lookup/widgets/discinfodialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace tf;

namespace {

QList<CddbMatch> threeMatches() {
    return {{"rock", "0a0b0c0d", "Alpha", "First", true, {}, {}},
            {"jazz", "0a0b0c0d", "Beta", "Second", false, {}, {}},
            {"misc", "0a0b0c0e", "Gamma <b>", "Third\tTab", false, "MusicBrainz", "1999, GB"}};
}

// Runs `action` on the modal window once it is up.
void whenModal(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, [action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        action(modal);
    });
}

} // namespace

class TestCddbWindows : public QObject {
    Q_OBJECT
private slots:
    void candidatesListsEveryMatch() {
        CandidateDialog dialog(threeMatches());
        auto* list = dialog.findChild<QTreeWidget*>("lstCandidates");
        QVERIFY(list);
        QCOMPARE(list->topLevelItemCount(), 4);
        QCOMPARE(list->topLevelItem(0)->text(1), QString("Alpha"));
        QVERIFY(list->topLevelItem(0)->text(3).isEmpty());
        QCOMPARE(list->topLevelItem(1)->text(3), CandidateDialog::inexactMark());
        // Where each comes from, and what a MusicBrainz release adds.
        QCOMPARE(list->topLevelItem(0)->text(4), QString("CDDB"));
        QCOMPARE(list->topLevelItem(2)->text(4), QString("MusicBrainz"));
        QCOMPARE(list->topLevelItem(2)->text(5), QString("1999, GB"));
        QCOMPARE(list->topLevelItem(3)->text(0), CandidateDialog::noneOfTheseText());
    }

    void candidateChoice_data() {
        QTest::addColumn<int>("row");       // row made current; -1 leaves the first one
        QTest::addColumn<QString>("press"); // button pressed, or "escape"
        QTest::addColumn<int>("expected");  // -1: none
        QTest::newRow("first by default") << -1 << "cmdOK" << 0;
        QTest::newRow("inexact one") << 1 << "cmdOK" << 1;
        QTest::newRow("none-of-these row") << 3 << "cmdOK" << -1;
        QTest::newRow("none button") << 2 << "cmdNone" << -1;
        QTest::newRow("escape") << 2 << "escape" << -1;
    }

    void candidateChoice() {
        QFETCH(int, row);
        QFETCH(QString, press);
        QFETCH(int, expected);
        // Through the chooser the lookup uses, which runs the window.
        whenModal([=](QWidget* w) {
            auto* list = w->findChild<QTreeWidget*>("lstCandidates");
            if (row >= 0)
                list->setCurrentItem(list->topLevelItem(row));
            if (press == "escape")
                QTest::keyClick(w, Qt::Key_Escape);
            else
                QTest::mouseClick(w->findChild<QPushButton*>(press), Qt::LeftButton);
        });
        WindowLookupChooser chooser;
        QCOMPARE(chooser.chooseCandidate(threeMatches()).value_or(-1), expected);
    }

    void discInfo_data() {
        QTest::addColumn<bool>("editable");
        QTest::addColumn<QString>("newTitle");
        QTest::addColumn<QString>("newTrack2");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("changed");
        auto row = [](const char* name, bool editable, const char* title, const char* track2,
                      const char* button, bool changed) {
            QTest::newRow(name) << editable << QString(title) << QString(track2) << QString(button)
                                << changed;
        };
        row("view only", false, "", "", "cmdClose", false);
        row("title changed", true, "Second", "Two", "cmdOK", true);
        row("track changed", true, "First", "Zwei", "cmdOK", true);
        row("nothing changed", true, "First", "Two", "cmdOK", false);
        row("only blanks added", true, "First ", "Two", "cmdOK", false);
        row("cancelled", true, "Second", "Zwei", "cmdCancel", false);
    }

    void discInfo() {
        QFETCH(bool, editable);
        QFETCH(QString, newTitle);
        QFETCH(QString, newTrack2);
        QFETCH(QString, button);
        QFETCH(bool, changed);
        CddbDisc disc;
        disc.category = "rock";
        disc.discIds = {"0a0b0c0d"};
        disc.artist = "Alpha";
        disc.title = "First";
        disc.year = "1999";
        disc.trackTitles = {"One", "Two", "Three"};
        disc.trackExtendedData = {"", "", ""};
        whenModal([=](QWidget* w) {
            auto* title = w->findChild<QLineEdit*>("txtTitle");
            auto* tracks = w->findChild<QTableWidget*>("grdTracks");
            QCOMPARE(title->text(), QString("First"));
            QCOMPARE(w->findChild<QLineEdit*>("txtYear")->text(), QString("1999"));
            QCOMPARE(tracks->rowCount(), 3);
            QCOMPARE(tracks->item(1, 0)->text(), QString("Two"));
            QCOMPARE(title->isReadOnly(), !editable);
            QCOMPARE(bool(tracks->item(1, 0)->flags() & Qt::ItemIsEditable), editable);
            if (editable) {
                title->setText(newTitle);
                tracks->item(1, 0)->setText(newTrack2);
            }
            QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
        });
        QCOMPARE(DiscInfoDialog::show(disc, editable, nullptr), changed);
        QCOMPARE(disc.title, changed ? newTitle : QString("First"));
        QCOMPARE(disc.trackTitles.at(1), changed ? newTrack2 : QString("Two"));
        QCOMPARE(disc.artist, QString("Alpha"));
        QCOMPARE(disc.discIds, QStringList{"0a0b0c0d"});
    }
};

QTEST_MAIN(TestCddbWindows)
#include "tst_cddbwindows.moc"
