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
    return {{"rock", "0a0b0c0d", "Alpha", "First", true},
            {"jazz", "0a0b0c0d", "Beta", "Second", false},
            {"misc", "0a0b0c0e", "Gamma <b>", "Third\tTab", false}};
}

CddbDisc sampleDisc() {
    CddbDisc d;
    d.category = "rock";
    d.discIds = {"0a0b0c0d"};
    d.artist = "Alpha";
    d.title = "First";
    d.year = "1999";
    d.genre = "Rock";
    d.extendedData = "Recorded live";
    d.trackTitles = {"One", "Two", "Three"};
    d.trackExtendedData = {"", "", ""};
    return d;
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
    void candidatesListsEveryMatch();
    void candidateChoice_data();
    void candidateChoice();
    void chooserRunsTheWindow();
    void discInfoViewChangesNothing();
    void discInfoEdit_data();
    void discInfoEdit();
};

void TestCddbWindows::candidatesListsEveryMatch() {
    CandidateDialog dialog(threeMatches());
    auto* list = dialog.findChild<QTreeWidget*>("lstCandidates");
    QVERIFY(list);
    QCOMPARE(list->topLevelItemCount(), 4);
    QCOMPARE(list->topLevelItem(0)->text(0), QString("rock"));
    QCOMPARE(list->topLevelItem(0)->text(1), QString("Alpha"));
    QCOMPARE(list->topLevelItem(0)->text(2), QString("First"));
    QVERIFY(list->topLevelItem(0)->text(3).isEmpty());
    QCOMPARE(list->topLevelItem(1)->text(3), CandidateDialog::inexactMark());
    QCOMPARE(list->topLevelItem(2)->text(3), CandidateDialog::inexactMark());
    // Shown as the server sent it, not interpreted.
    QCOMPARE(list->topLevelItem(2)->text(1), QString("Gamma <b>"));
    QCOMPARE(list->topLevelItem(3)->text(0), CandidateDialog::noneOfTheseText());
    QVERIFY(dialog.findChild<QPushButton*>("cmdNone"));
}

void TestCddbWindows::candidateChoice_data() {
    QTest::addColumn<int>("row");       // row made current; -1 leaves the first one
    QTest::addColumn<QString>("press"); // button pressed, or "escape"
    QTest::addColumn<int>("expected");  // -1: none
    QTest::newRow("first by default") << -1 << "cmdOK" << 0;
    QTest::newRow("inexact one") << 1 << "cmdOK" << 1;
    QTest::newRow("none-of-these row") << 3 << "cmdOK" << -1;
    QTest::newRow("none button") << 2 << "cmdNone" << -1;
    QTest::newRow("escape") << 2 << "escape" << -1;
}

void TestCddbWindows::candidateChoice() {
    QFETCH(int, row);
    QFETCH(QString, press);
    QFETCH(int, expected);
    CandidateDialog dialog(threeMatches());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* list = dialog.findChild<QTreeWidget*>("lstCandidates");
    if (row >= 0)
        list->setCurrentItem(list->topLevelItem(row));
    if (press == "escape")
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else
        QTest::mouseClick(dialog.findChild<QPushButton*>(press), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    const std::optional<int> choice = dialog.choice();
    QCOMPARE(choice.value_or(-1), expected);
}

void TestCddbWindows::chooserRunsTheWindow() {
    WindowLookupChooser chooser;
    whenModal([](QWidget* w) {
        auto* list = w->findChild<QTreeWidget*>("lstCandidates");
        list->setCurrentItem(list->topLevelItem(2));
        QTest::mouseClick(w->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    QCOMPARE(chooser.chooseCandidate(threeMatches()).value_or(-1), 2);
    whenModal([](QWidget* w) {
        QTest::mouseClick(w->findChild<QPushButton*>("cmdNone"), Qt::LeftButton);
    });
    QVERIFY(!chooser.chooseCandidate(threeMatches()));
}

void TestCddbWindows::discInfoViewChangesNothing() {
    CddbDisc disc = sampleDisc();
    whenModal([](QWidget* w) {
        auto* title = w->findChild<QLineEdit*>("txtTitle");
        QVERIFY(title->isReadOnly());
        QCOMPARE(title->text(), QString("First"));
        QCOMPARE(w->findChild<QLineEdit*>("txtYear")->text(), QString("1999"));
        auto* tracks = w->findChild<QTableWidget*>("grdTracks");
        QCOMPARE(tracks->rowCount(), 3);
        QCOMPARE(tracks->item(1, 0)->text(), QString("Two"));
        QVERIFY(!(tracks->item(1, 0)->flags() & Qt::ItemIsEditable));
        QTest::mouseClick(w->findChild<QPushButton*>("cmdClose"), Qt::LeftButton);
    });
    WindowLookupChooser chooser;
    QVERIFY(!chooser.showDiscInfo(disc, false));
    QCOMPARE(disc.title, QString("First"));
}

void TestCddbWindows::discInfoEdit_data() {
    QTest::addColumn<QString>("newTitle");
    QTest::addColumn<QString>("newTrack2");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("changed");
    QTest::newRow("title changed") << "Second"
                                   << "Two"
                                   << "cmdOK" << true;
    QTest::newRow("track changed") << "First"
                                   << "Zwei"
                                   << "cmdOK" << true;
    QTest::newRow("nothing changed") << "First"
                                     << "Two"
                                     << "cmdOK" << false;
    QTest::newRow("only blanks added") << "First "
                                       << "Two"
                                       << "cmdOK" << false;
    QTest::newRow("cancelled") << "Second"
                               << "Zwei"
                               << "cmdCancel" << false;
}

void TestCddbWindows::discInfoEdit() {
    QFETCH(QString, newTitle);
    QFETCH(QString, newTrack2);
    QFETCH(QString, button);
    QFETCH(bool, changed);
    CddbDisc disc = sampleDisc();
    whenModal([=](QWidget* w) {
        auto* title = w->findChild<QLineEdit*>("txtTitle");
        QVERIFY(!title->isReadOnly());
        title->setText(newTitle);
        w->findChild<QTableWidget*>("grdTracks")->item(1, 0)->setText(newTrack2);
        QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
    });
    QCOMPARE(DiscInfoDialog::show(disc, true, nullptr), changed);
    if (changed) {
        QCOMPARE(disc.title, newTitle);
        QCOMPARE(disc.trackTitles.at(1), newTrack2);
    } else {
        QCOMPARE(disc.title, QString("First"));
        QCOMPARE(disc.trackTitles.at(1), QString("Two"));
    }
    QCOMPARE(disc.artist, QString("Alpha"));
    QCOMPARE(disc.discIds, QStringList{"0a0b0c0d"});
}

QTEST_MAIN(TestCddbWindows)
#include "tst_cddbwindows.moc"
