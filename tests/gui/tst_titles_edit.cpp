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
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

using namespace tf;
using test::crlf;
using Answer = UserInterface::Answer;

namespace {

const DiscIdBytes kId5{0x00, 0x1A, 0xFF, 0x07};

} // namespace

class TestTitlesEdit : public QObject, public test::TitlesTabRig {
    Q_OBJECT
private slots:
    void init() {
        makeLink(); // never opened: no changer
        showTab();
        if (!QTest::currentTestFailed()) {
            m_tab->enterTab();
            writeDisc5Files();
        }
    }
    void cleanup() { tearDown(); }

    void loadShowsPcFile() {
        load("5");
        QVERIFY(m_tab->discLoaded());
        QCOMPARE(m_tab->currentDisc(), 5);
        QCOMPARE(grid()->rowCount(), 3);
        QCOMPARE(cell(2, 0), QString("3"));
        QCOMPARE(cell(0, 1), QString("Low Tide"));
        QCOMPARE(cell(1, 1), QString());
        QCOMPARE(cell(2, 1), QString("Lanterns"));
        QCOMPARE(child<QLineEdit>("TxtDTitle1")->text(), QString("<b>Harbour</b> Lights"));
        QCOMPARE(m_tab->lbBackTextInfo()->text(), QString("DISC5.txt"));
        QCOMPARE(m_tab->lbBackTextInfo()->textFormat(), Qt::PlainText);
        QVERIFY(m_status.shown.contains(8));
        QVERIFY(!m_tab->changed());
        QVERIFY(!child<QPushButton>("cmdSave")->isEnabled());
        QVERIFY(messages().isEmpty());
    }

    void cellEditorKeys() {
        load("5");
        // Double-click: the whole title, caret at the start.
        doubleClick(0, 1);
        QVERIFY(editor()->isVisible());
        QCOMPARE(editor()->text(), QString("Low Tide"));
        QCOMPARE(editor()->cursorPosition(), 0);
        // Esc after typing writes nothing.
        QTest::keyClicks(editor(), "XY");
        QTest::keyClick(editor(), Qt::Key_Escape);
        QVERIFY(!editor()->isVisible());
        QCOMPARE(cell(0, 1), QString("Low Tide"));
        QVERIFY(!m_tab->changed());
        QVERIFY(grid()->hasFocus());
        // Committing the unchanged text sets nothing.
        QTest::keyClick(grid(), Qt::Key_F2, Qt::ControlModifier);
        QVERIFY(editor()->isVisible());
        QTest::keyClick(editor(), Qt::Key_Return);
        QVERIFY(!editor()->isVisible());
        QVERIFY(!m_tab->changed());
        // Enter commits a changed text and never puts a line break into it.
        QTest::keyClick(grid(), Qt::Key_F2, Qt::ControlModifier);
        QVERIFY(editor()->isVisible());
        QTest::keyClicks(editor(), "New ");
        QTest::keyClick(editor(), Qt::Key_Return);
        QCOMPARE(cell(0, 1), QString("New Low Tide"));
        QVERIFY(m_tab->changed());
        QVERIFY(child<QPushButton>("cmdSave")->isEnabled());
        // The track number column is not edited.
        doubleClick(1, 0);
        QVERIFY(!editor()->isVisible());
        // Typing into the grid itself starts nothing.
        QTest::keyClicks(grid(), "zz");
        QVERIFY(!editor()->isVisible());
        QCOMPARE(cell(1, 0), QString("2"));
    }

    void commitCutsMemoryColumn_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("typed");
        QTest::addColumn<int>("kept");
        QTest::newRow("full length, 30") << 1 << 30 << 30;
        QTest::newRow("memory, 25") << 2 << 25 << 25;
        QTest::newRow("memory, 26") << 2 << 26 << 25;
    }

    void commitCutsMemoryColumn() {
        QFETCH(int, column);
        QFETCH(int, typed);
        QFETCH(int, kept);
        load("5");
        doubleClick(1, column);
        QVERIFY(editor()->isVisible());
        const QString text = QString("0123456789abcdefghijklmnopqrstuvwxyz").left(typed);
        QTest::keyClicks(editor(), text);
        child<QPushButton>("cmdCopy")->setFocus(); // losing the focus commits
        QVERIFY(!editor()->isVisible());
        QCOMPARE(cell(1, column), text.left(kept));
        QVERIFY(m_tab->changed());
    }

    void editorArrowsCommitAndMove() {
        load("5");
        doubleClick(2, 2);
        QTest::keyClicks(editor(), "last");
        QTest::keyClick(editor(), Qt::Key_Down); // last row: commit and stay
        QVERIFY(!editor()->isVisible());
        QCOMPARE(cell(2, 2), QString("last"));
        QCOMPARE(grid()->currentRow(), 2);
        QTest::keyClick(grid(), Qt::Key_F2, Qt::ControlModifier);
        QTest::keyClicks(editor(), "x");
        QTest::keyClick(editor(), Qt::Key_Up);
        QCOMPARE(cell(2, 2), QString("xlast"));
        QCOMPARE(grid()->currentRow(), 1);
        QTest::keyClick(grid(), Qt::Key_Up);
        QCOMPARE(grid()->currentRow(), 0);
        QTest::keyClick(grid(), Qt::Key_F2, Qt::ControlModifier);
        QTest::keyClick(editor(), Qt::Key_Up); // first row: stays
        QCOMPARE(grid()->currentRow(), 0);
    }

    void gridRowKeys() {
        load("5");
        grid()->setFocus();
        const auto press = [this](int row, Qt::KeyboardModifiers modifiers = {}) {
            grid()->setCurrentCell(row, 1);
            QTest::keyClick(grid(), Qt::Key_Return, modifiers);
        };
        press(1); // Enter adds a row only on the last row
        QCOMPARE(grid()->rowCount(), 3);
        QVERIFY(!m_tab->changed());
        press(2);
        QCOMPARE(grid()->rowCount(), 4);
        QCOMPARE(cell(3, 0), QString("4"));
        QCOMPARE(grid()->currentRow(), 3);
        QVERIFY(m_tab->changed());
        press(3, Qt::ControlModifier); // Ctrl+Enter removes the last row only
        press(1, Qt::ControlModifier);
        QCOMPARE(grid()->rowCount(), 3);
        press(2, Qt::ControlModifier);
        press(1, Qt::ControlModifier);
        press(0, Qt::ControlModifier); // the only track row stays
        QCOMPARE(grid()->rowCount(), 1);
        QCOMPARE(cell(0, 0), QString("1"));
    }

    // A disc of 98 tracks: Enter adds the 99th row and no more; an edit open while the grid
    // scrolls is committed into the cell it was opened on.
    void longDiscRowLimitAndScrolling() {
        DiscRecord disc;
        disc.identity = {9, kId5};
        disc.minTno = 1;
        disc.maxTno = 98;
        QVERIFY(discdata::replaceBlock(m_dataDir, disc));
        m_ui.answers = {Answer::No}; // no web search for the disc without a file
        load("9");
        QCOMPARE(grid()->rowCount(), 98);
        grid()->setFocus();
        grid()->setCurrentCell(97, 1);
        QTest::keyClick(grid(), Qt::Key_Return);
        QCOMPARE(grid()->rowCount(), 99);
        QCOMPARE(cell(98, 0), QString("99"));
        QTest::keyClick(grid(), Qt::Key_Return);
        QCOMPARE(grid()->rowCount(), 99);

        grid()->setCurrentCell(0, 1);
        grid()->scrollToTop();
        QTest::keyClick(grid(), Qt::Key_F2, Qt::ControlModifier);
        QTest::keyClicks(editor(), ">");
        grid()->verticalScrollBar()->setValue(grid()->verticalScrollBar()->maximum());
        QVERIFY(!editor()->isVisible());
        QCOMPARE(cell(0, 1), QString(">"));
        for (int r = 1; r < grid()->rowCount(); ++r)
            QVERIFY(!cell(r, 1).startsWith('>'));
    }

    void discNumberTyping_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("three digits") << QString("123") << QString("123");
        QTest::newRow("fourth digit dropped") << QString("1234") << QString("123");
        QTest::newRow("letters dropped") << QString("1a2-b") << QString("12");
        QTest::newRow("blank dropped") << QString(" 7") << QString("7");
    }

    void discNumberTyping() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QComboBox* dno = child<QComboBox>("cmbTextDno");
        dno->setFocus();
        dno->lineEdit()->clear();
        QTest::keyClicks(dno, typed);
        QCOMPARE(dno->currentText(), shown);
        QTest::keyClick(dno, Qt::Key_Backspace);
        QCOMPARE(dno->currentText(), shown.chopped(1));
        QVERIFY(!child<QPushButton>("cmdLoad")->isEnabled());
        QTest::keyClicks(dno, "1"); // a typed number can be loaded again
        QVERIFY(child<QPushButton>("cmdLoad")->isEnabled());
    }

    void invalidSlotKeepsLoadedDisc_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("message");
        QTest::newRow("slot 0") << "0" << true;
        QTest::newRow("slot 201") << "201" << true;
        QTest::newRow("slot 000") << "000" << true;
        // Backspace turned the load off and nothing was typed: Enter does nothing at all.
        QTest::newRow("nothing") << "" << false;
    }

    void invalidSlotKeepsLoadedDisc() {
        QFETCH(QString, typed);
        QFETCH(bool, message);
        load("5");
        m_ui.shown.clear();
        load(typed);
        QCOMPARE(messages(), message ? QStringList{msg(392)} : QStringList{});
        if (message)
            QCOMPARE(m_ui.shown.first().title, QString("CAUTION"));
        QCOMPARE(m_tab->currentDisc(), 5);
        if (message)
            QCOMPARE(child<QComboBox>("cmbTextDno")->currentText().trimmed(), QString("5"));
        QCOMPARE(cell(0, 1), QString("Low Tide"));
        QVERIFY(m_tab->discLoaded());
    }

    void musicTypeCodesAndChangedFlag() {
        load("5");
        QComboBox* mtype = child<QComboBox>("cmbTextMType");
        mtype->setFocus();
        // Choosing the entry it already shows changes nothing.
        emit mtype->activated(mtype->currentIndex());
        QVERIFY(!m_tab->changed());
        // "Erotic" is refused: the entry before it is taken.
        mtype->setCurrentIndex(9);
        emit mtype->activated(9);
        QCOMPARE(mtype->currentText(), QString("Easy Listening"));
        QVERIFY(m_tab->changed());
        mtype->setCurrentIndex(4);
        emit mtype->activated(4);
        // Saved as its code: entry 4 is code 5.
        m_ui.answers = {Answer::Yes, Answer::Yes};
        QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
        QCOMPARE(int(discdata::readBlock(m_dataDir + "discdata.txt", 5)->musicType), 5);
        QVERIFY(!m_tab->changed());
    }

    void nothingChangesBeforeALoad() {
        QLineEdit* title = child<QLineEdit>("TxtDTitle1");
        title->setFocus();
        QTest::keyClicks(title, "typed before any disc");
        QListWidget* files = child<QListWidget>("lstTextUFile");
        files->item(2)->setCheckState(Qt::Checked);
        QVERIFY(!m_tab->changed());
        QVERIFY(!child<QPushButton>("cmdSave")->isEnabled());
        QVERIFY(m_tab->confirmClose());
        QVERIFY(messages().isEmpty());
    }

    void saveWritesWhatWasEdited() {
        load("5");
        QLineEdit* title = child<QLineEdit>("TxtDTitle1");
        title->setFocus();
        title->setCursorPosition(0);
        QTest::keyClicks(title, "A ");
        child<QListWidget>("lstTextUFile")->item(7)->setCheckState(Qt::Checked);
        doubleClick(1, 1);
        QTest::keyClicks(editor(), "Middle");
        QTest::keyClick(editor(), Qt::Key_Return);
        QVERIFY(m_tab->changed());
        m_ui.answers = {Answer::Yes, Answer::Yes}; // save? update the data?
        QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
        QCOMPARE(messages(), QStringList({msg(402), msg(405)}));
        QVERIFY(m_status.shown.contains(6));
        const auto saved = discfile::readDiscFile(m_dataDir + "DISC5.txt");
        QVERIFY(saved);
        QCOMPARE(saved->discTitle, QString("A <b>Harbour</b> Lights"));
        QCOMPARE(saved->trackTitles, QStringList({"Low Tide", "Middle", "Lanterns"}));
        QCOMPARE(int(discdata::readBlock(m_dataDir + "discdata.txt", 5)->userFileByte), 128);
        const auto list = textfile::readLines(m_dataDir + "tempdisc.txt");
        QVERIFY(list && list->contains("[  5] A <b>Harbour</b> Lights"));
        QVERIFY(!m_tab->changed());
        QVERIFY(!child<QPushButton>("cmdSave")->isEnabled());
        QVERIFY(child<QPushButton>("cmdLoad")->isEnabled());
    }

    // Unsaved edits bring the save question before another disc is loaded or the tab is closed;
    // an edit still open in the editor counts too. Cancel keeps them.
    void saveQuestion_data() {
        QTest::addColumn<bool>("closing");
        QTest::addColumn<int>("answer");
        for (const bool closing : {false, true})
            for (const Answer answer : {Answer::Yes, Answer::No, Answer::Cancel})
                QTest::addRow("%s, answer %d", closing ? "close" : "load", int(answer))
                    << closing << int(answer);
    }

    void saveQuestion() {
        QFETCH(bool, closing);
        QFETCH(int, answer);
        const bool cancelled = Answer(answer) == Answer::Cancel;
        load("5");
        QVERIFY(m_tab->confirmClose()); // nothing unsaved: no question
        QVERIFY(messages().isEmpty());
        doubleClick(2, 1);
        QTest::keyClicks(editor(), "Edited ");
        m_ui.answers = {Answer(answer), Answer::Yes};
        if (closing) {
            QCOMPARE(m_tab->confirmClose(), !cancelled);
        } else {
            QTest::keyClick(editor(), Qt::Key_Return);
            load("12");
            QCOMPARE(m_tab->currentDisc(), cancelled ? 5 : 12);
        }
        QCOMPARE(messages().first(), msg(402));
        QCOMPARE(m_ui.shown.first().title, QString("SAVE FILE"));
        QCOMPARE(m_ui.shown.first().number, int(UserInterface::Style::YesNoCancel));
        QVERIFY(!m_link->commandInProgress());
        QCOMPARE(test::readAll(m_dataDir + "DISC5.txt").contains("Edited Lanterns"),
                 Answer(answer) == Answer::Yes);
        QCOMPARE(m_tab->changed(), cancelled);
        QCOMPARE(child<QPushButton>("cmdSave")->isEnabled(), cancelled);
        if (cancelled && !closing)
            QCOMPARE(cell(2, 1), QString("Edited Lanterns"));
    }

    void copyCutsAndKeepsEmpty() {
        load("5");
        QLineEdit* title = child<QLineEdit>("TxtDTitle1");
        title->setFocus();
        title->selectAll();
        QTest::keyClicks(title, QString(40, 'd'));
        doubleClick(0, 1);
        QTest::keyClicks(editor(), QString(30, 't'));
        QTest::keyClick(editor(), Qt::Key_Return);
        grid()->item(1, 2)->setText("kept"); // track 2 has no PC title
        QTest::mouseClick(child<QPushButton>("cmdCopy"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>("TxtDTitle2")->text(), QString(25, 'd'));
        QCOMPARE(cell(0, 2), (QString(30, 't') + "Low Tide").left(25));
        QCOMPARE(cell(1, 2), QString("kept"));
        QCOMPARE(cell(2, 2), QString("Lanterns"));
        QCOMPARE(m_status.shown.last(), 9);
        QVERIFY(m_tab->changed());
    }

    void titleTypedBackStaysChanged() {
        load("5");
        QLineEdit* title = child<QLineEdit>("TxtDTitle2");
        title->setFocus();
        QTest::keyClicks(title, "x");
        QTest::keyClick(title, Qt::Key_Backspace);
        QCOMPARE(title->text(), QString());
        QVERIFY(m_tab->changed());
        QVERIFY(child<QPushButton>("cmdSave")->isEnabled());
    }

    void noCancelDuringReadAll() {
        load("5");
        doubleClick(0, 1);
        QTest::keyClicks(editor(), "x");
        QTest::keyClick(editor(), Qt::Key_Return);
        m_link->setOperationRunning(true);
        m_ui.answers = {Answer::No};
        QCOMPARE(m_tab->saveDialog(), Answer::No);
        m_link->setOperationRunning(false);
        QCOMPARE(m_ui.shown.first().number, int(UserInterface::Style::YesNo));
        QVERIFY(!m_tab->changed());
    }

    void enteringTheTabKeepsUnsavedEdits() {
        load("5");
        doubleClick(1, 1);
        QTest::keyClicks(editor(), "Unsaved");
        QTest::keyClick(editor(), Qt::Key_Return);
        m_tab->enterTab();
        QCOMPARE(cell(1, 1), QString("Unsaved"));
        QVERIFY(m_tab->changed());
        QVERIFY(m_tab->discLoaded());
        QVERIFY(messages().isEmpty());
        // Without unsaved edits, entering starts over with an empty grid.
        m_ui.answers = {Answer::No};
        QVERIFY(m_tab->confirmClose());
        m_tab->enterTab();
        QCOMPARE(grid()->rowCount(), 1);
        QVERIFY(!m_tab->discLoaded());
    }

private:
    // Disc 5: a block in discdata.txt and DISC5.txt with three tracks. Which file a load takes
    // the titles from is integration.tst_titleflows'; here, what the tab shows of them.
    void writeDisc5Files() {
        DiscRecord disc;
        disc.identity = {5, kId5};
        disc.minTno = 1;
        disc.maxTno = 3;
        disc.toc = {{0, 2, 0}, {4, 0, 10}, {7, 30, 0}, {11, 0, 0}};
        QVERIFY(discdata::replaceBlock(m_dataDir, disc));
        QVERIFY(test::writeAll(m_dataDir + "DISC5.txt",
                               crlf({"DISC ID =", "001aff07", "DISC NO =", "5", "MIN TNO =", " 1 ",
                                     "MAX TNO =", " 3 ", "Disc Title =", "<b>Harbour</b> Lights",
                                     "Track Title =", "Low Tide", "", "Lanterns"})));
    }
    void load(const QString& typed);
    QLineEdit* editor() { return child<QLineEdit>("TxtForEdit"); }
    void doubleClick(int row, int column);
};

void TestTitlesEdit::load(const QString& typed) {
    QComboBox* dno = child<QComboBox>("cmbTextDno");
    dno->setFocus();
    dno->lineEdit()->selectAll();
    QTest::keyClick(dno, Qt::Key_Backspace);
    QTest::keyClicks(dno, typed);
    QTest::keyClick(dno, Qt::Key_Return);
}

void TestTitlesEdit::doubleClick(int row, int column) {
    const QRect rect = grid()->visualItemRect(grid()->item(row, column));
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, rect.center());
}

QTEST_MAIN(TestTitlesEdit)
#include "tst_titles_edit.moc"
