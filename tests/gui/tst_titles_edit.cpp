// The titles tab without a changer: the grid and its cell editor, the disc controls' input
// rules, change tracking, load from the PC files, save, copy and the close question. Real
// files in a temporary data folder; widgets driven by their object names.

#include "base/catalogue.h"
#include "common/testsupport.h"
#include "common/titlestabrig.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/textfile.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

using namespace tf;
using test::crlf;
using Answer = UserInterface::Answer;

class TestTitlesEdit : public QObject, public test::TitlesTabRig {
    Q_OBJECT
private slots:
    void init() {
        showTab(); // no library written: no changer
        if (QTest::currentTestFailed())
            return;
        m_tab->enterTab();
        // Disc 5: a block in discdata.txt and DISC5.txt with three tracks. Which file a load
        // takes the titles from is integration.tst_titleflows'; here, what the tab shows of them.
        DiscRecord disc;
        disc.identity = {5, {0x00, 0x1A, 0xFF, 0x07}};
        disc.minTno = 1;
        disc.maxTno = 3;
        disc.toc = {{0, 2, 0}, {4, 0, 10}, {7, 30, 0}, {11, 0, 0}};
        QVERIFY(discdata::replaceBlock(m_dataDir, disc));
        QVERIFY(test::writeAll(m_dataDir + "DISC5.txt",
                               crlf({"DISC ID =", "001aff07", "DISC NO =", "5", "MIN TNO =", " 1 ",
                                     "MAX TNO =", " 3 ", "Disc Title =", "<b>Harbour</b> Lights",
                                     "Track Title =", "Low Tide", "", "Lanterns"})));
    }
    void cleanup() { tearDown(); }

    // What a load shows of the PC's files, what a wrong disc number does, then the cell editor:
    // how it opens, what Esc, Enter, losing the focus and the arrows commit, and the memory
    // column's 25 characters.
    void loadAndEditCells() {
        loadDisc("5");
        QVERIFY(m_tab->discLoaded());
        QCOMPARE(m_tab->currentDisc(), 5);
        QCOMPARE(grid()->rowCount(), 3);
        QCOMPARE(cell(1, 1), QString());
        QCOMPARE(cell(2, 1), QString("Lanterns"));
        QCOMPARE(child<QLineEdit>("TxtDTitle1")->text(), QString("<b>Harbour</b> Lights"));
        QVERIFY(!child<QPushButton>("cmdSave")->isEnabled());
        QVERIFY(messages().isEmpty());
        // A number no slot has is refused and the loaded disc stays. With nothing typed
        // (Backspace turned the load off), Enter does nothing at all.
        QComboBox* dno = child<QComboBox>("cmbTextDno");
        for (const QString typed : {"0", "201", ""}) {
            loadDisc(typed);
            QCOMPARE(messages(), typed.isEmpty() ? QStringList{} : QStringList{msg(392)});
            if (!typed.isEmpty())
                QCOMPARE(dno->currentText().trimmed(), QString("5"));
            QCOMPARE(m_tab->currentDisc(), 5);
            QVERIFY(m_tab->discLoaded());
            m_ui.shown.clear();
        }
        // Double-click: the whole title.
        doubleClick(0, 1);
        QVERIFY(editor()->isVisible());
        QCOMPARE(editor()->text(), QString("Low Tide"));
        // Esc after typing writes nothing.
        QTest::keyClicks(editor(), "XY");
        QTest::keyClick(editor(), Qt::Key_Escape);
        QVERIFY(!editor()->isVisible());
        QCOMPARE(cell(0, 1), QString("Low Tide"));
        QVERIFY(!m_tab->changed());
        // Enter commits a changed text and never puts a line break into it.
        QTest::keyClick(grid(), Qt::Key_F2, Qt::ControlModifier);
        QTest::keyClicks(editor(), "New ");
        QTest::keyClick(editor(), Qt::Key_Return);
        QCOMPARE(cell(0, 1), QString("New Low Tide"));
        QVERIFY(m_tab->changed());
        // The track number column is not edited; typing into the grid itself starts nothing.
        doubleClick(1, 0);
        QVERIFY(!editor()->isVisible());
        QTest::keyClicks(grid(), "zz");
        QVERIFY(!editor()->isVisible());
        QCOMPARE(cell(1, 0), QString("2"));
        // Losing the focus commits; the full-length column keeps 30 characters, memory 25.
        const QString typed = "0123456789abcdefghijklmnopqrst";
        for (const int column : {1, 2}) {
            doubleClick(1, column);
            QTest::keyClicks(editor(), typed);
            child<QPushButton>("cmdCopy")->setFocus();
            QVERIFY(!editor()->isVisible());
            QCOMPARE(cell(1, column), typed.left(column == 1 ? 30 : 25));
        }
        // Down on the last row commits and stays; Up commits and moves up, but not off the top.
        doubleClick(2, 2);
        QTest::keyClicks(editor(), "last");
        QTest::keyClick(editor(), Qt::Key_Down);
        QVERIFY(!editor()->isVisible());
        QCOMPARE(cell(2, 2), QString("last"));
        QCOMPARE(grid()->currentRow(), 2);
        QTest::keyClick(grid(), Qt::Key_F2, Qt::ControlModifier);
        QTest::keyClicks(editor(), "x");
        QTest::keyClick(editor(), Qt::Key_Up);
        QCOMPARE(cell(2, 2), QString("xlast"));
        QCOMPARE(grid()->currentRow(), 1);
        grid()->setCurrentCell(0, 2);
        QTest::keyClick(grid(), Qt::Key_F2, Qt::ControlModifier);
        QTest::keyClick(editor(), Qt::Key_Up);
        QCOMPARE(grid()->currentRow(), 0);
    }

    // Enter adds a row on the last row only, up to the 99th; Ctrl+Enter removes the last row
    // only, never the only one. An edit open while the grid scrolls is committed into the cell
    // it was opened on.
    void rowKeysAndScrolling() {
        loadDisc("5");
        grid()->setFocus();
        const auto press = [this](int row, Qt::KeyboardModifiers modifiers = {}) {
            grid()->setCurrentCell(row, 1);
            QTest::keyClick(grid(), Qt::Key_Return, modifiers);
        };
        press(1);
        QCOMPARE(grid()->rowCount(), 3);
        QVERIFY(!m_tab->changed());
        press(2);
        QCOMPARE(grid()->rowCount(), 4);
        QCOMPARE(cell(3, 0), QString("4"));
        QCOMPARE(grid()->currentRow(), 3);
        QVERIFY(m_tab->changed());
        for (int presses = 0; presses < 100; ++presses)
            press(grid()->rowCount() - 1);
        QCOMPARE(grid()->rowCount(), 99);
        QCOMPARE(cell(98, 0), QString("99"));

        grid()->setCurrentCell(0, 1);
        grid()->scrollToTop();
        QTest::keyClick(grid(), Qt::Key_F2, Qt::ControlModifier);
        QTest::keyClicks(editor(), ">");
        grid()->verticalScrollBar()->setValue(grid()->verticalScrollBar()->maximum());
        QVERIFY(!editor()->isVisible());
        QCOMPARE(cell(0, 1), QString(">Low Tide"));
        for (int r = 1; r < grid()->rowCount(); ++r)
            QVERIFY(!cell(r, 1).startsWith('>'));

        press(1, Qt::ControlModifier);
        QCOMPARE(grid()->rowCount(), 99);
        for (int row = 98; row >= 0; --row)
            press(row, Qt::ControlModifier);
        QCOMPARE(grid()->rowCount(), 1);
        QCOMPARE(cell(0, 0), QString("1"));
    }

    // Copy fills the memory titles from the full ones, cut to 25 characters, and keeps the
    // memory title of a track without a full one. The save writes the full titles, the checked
    // user files and the music type as its code ("Erotic" is refused, the entry before taken).
    void copyAndSave() {
        loadDisc("5");
        QComboBox* mtype = child<QComboBox>("cmbTextMType");
        mtype->setFocus();
        mtype->setCurrentIndex(9);
        emit mtype->activated(9);
        QCOMPARE(mtype->currentText(), QString("Easy Listening"));
        QVERIFY(m_tab->changed());
        mtype->setCurrentIndex(4); // code 5
        emit mtype->activated(4);
        const QString discTitle = "A Longer Name For <b>Harbour</b> Lights";
        QLineEdit* title = child<QLineEdit>("TxtDTitle1");
        title->setFocus();
        title->setCursorPosition(0);
        QTest::keyClicks(title, "A Longer Name For ");
        editCell(0, 1, QString(30, 't'));
        grid()->item(1, 2)->setText("kept"); // track 2 has no full title
        QTest::mouseClick(child<QPushButton>("cmdCopy"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>("TxtDTitle2")->text(), discTitle.left(25));
        QCOMPARE(cell(0, 2), QString(25, 't'));
        QCOMPARE(cell(1, 2), QString("kept"));
        QCOMPARE(cell(2, 2), QString("Lanterns"));
        child<QListWidget>("lstTextUFile")->item(7)->setCheckState(Qt::Checked);
        editCell(1, 1, "Middle");
        m_ui.answers = {Answer::Yes, Answer::Yes}; // save? update the data?
        QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
        QCOMPARE(messages(), QStringList({msg(402), msg(405)}));
        const auto saved = discfile::readDiscFile(m_dataDir + "DISC5.txt");
        QVERIFY(saved);
        QCOMPARE(saved->discTitle, discTitle);
        QCOMPARE(saved->trackTitles, QStringList({QString(30, 't'), "Middle", "Lanterns"}));
        const auto block = discdata::readBlock(m_dataDir + "discdata.txt", 5);
        QCOMPARE(int(block->userFileByte), 128);
        QCOMPARE(int(block->musicType), 5);
        const auto list = textfile::readLines(m_dataDir + "tempdisc.txt");
        QVERIFY(list && list->contains("[  5] " + discTitle));
        QVERIFY(!m_tab->changed());
        QVERIFY(!child<QPushButton>("cmdSave")->isEnabled());
        QVERIFY(child<QPushButton>("cmdLoad")->isEnabled());
    }

    // Unsaved edits bring the save question before another disc is loaded or the tab is closed;
    // an edit still open in the editor counts too. Cancel keeps them.
    void saveQuestion_data() {
        QTest::addColumn<bool>("closing");
        QTest::addColumn<int>("answer");
        QTest::newRow("load, Yes") << false << int(Answer::Yes);
        QTest::newRow("load, Cancel") << false << int(Answer::Cancel);
        QTest::newRow("close, No") << true << int(Answer::No);
        QTest::newRow("close, Cancel") << true << int(Answer::Cancel);
    }

    void saveQuestion() {
        QFETCH(bool, closing);
        QFETCH(int, answer);
        const bool cancelled = Answer(answer) == Answer::Cancel;
        loadDisc("5");
        QVERIFY(m_tab->confirmClose()); // nothing unsaved: no question
        QVERIFY(messages().isEmpty());
        doubleClick(2, 1);
        QTest::keyClicks(editor(), "Edited ");
        m_ui.answers = {Answer(answer), Answer::Yes};
        if (closing) {
            QCOMPARE(m_tab->confirmClose(), !cancelled);
        } else {
            QTest::keyClick(editor(), Qt::Key_Return);
            loadDisc("12");
            QCOMPARE(m_tab->currentDisc(), cancelled ? 5 : 12);
        }
        QCOMPARE(messages().first(), msg(402));
        QCOMPARE(m_ui.shown.first().number, int(UserInterface::Style::YesNoCancel));
        QVERIFY(!m_link->commandInProgress());
        QCOMPARE(test::readAll(m_dataDir + "DISC5.txt").contains("Edited Lanterns"),
                 Answer(answer) == Answer::Yes);
        QCOMPARE(m_tab->changed(), cancelled);
        QCOMPARE(child<QPushButton>("cmdSave")->isEnabled(), cancelled);
        if (cancelled && !closing)
            QCOMPARE(cell(2, 1), QString("Edited Lanterns"));
    }

    // Entering the tab keeps unsaved edits. A read-all pass cannot be cancelled, so neither can
    // the save question then; without unsaved edits, entering starts over with an empty grid.
    void enteringTheTabKeepsUnsavedEdits() {
        loadDisc("5");
        editCell(1, 1, "Unsaved");
        m_tab->enterTab();
        QCOMPARE(cell(1, 1), QString("Unsaved"));
        QVERIFY(m_tab->changed());
        QVERIFY(m_tab->discLoaded());
        QVERIFY(messages().isEmpty());
        m_link->setOperationRunning(true);
        m_ui.answers = {Answer::No};
        QCOMPARE(m_tab->saveDialog(), Answer::No);
        m_link->setOperationRunning(false);
        QCOMPARE(m_ui.shown.first().number, int(UserInterface::Style::YesNo));
        QVERIFY(!m_tab->changed());
        m_tab->enterTab();
        QCOMPARE(grid()->rowCount(), 1);
        QVERIFY(!m_tab->discLoaded());
    }

private:
    QLineEdit* editor() { return child<QLineEdit>("TxtForEdit"); }
    void doubleClick(int row, int column) {
        const QRect rect = grid()->visualItemRect(grid()->item(row, column));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, rect.center());
    }
};

QTEST_MAIN(TestTitlesEdit)
#include "tst_titles_edit.moc"
