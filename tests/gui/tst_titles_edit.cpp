// The titles tab without a changer: the grid and its cell editor, the disc controls' input
// rules, change tracking, load from the PC files, save, copy and the close question. Real
// files in a temporary data folder; widgets driven by their object names.

#include "base/catalogue.h"
#include "common/testsupport.h"
#include "common/titlestabrig.h"
#include "operations/memorytitles.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/textfile.h"

#include <QComboBox>
#include <QFile>
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
const DiscIdBytes kOtherId{0x8A, 0x0B, 0x3C, 0x0D};

QString chars(int n, char c = 'a') {
    return QString(n, QLatin1Char(c));
}

} // namespace

class TestTitlesEdit : public QObject, public test::TitlesTabRig {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { tearDown(); }

    void loadShowsPcFile();
    void cellEditorKeys();
    void commitCutsMemoryColumn_data();
    void commitCutsMemoryColumn();
    void editorArrowsCommitAndMove();
    void scrollingCommitsIntoTheEditedCell();
    void gridRowKeys();
    void gridRowLimit();
    void discNumberTyping_data();
    void discNumberTyping();
    void invalidSlotKeepsLoadedDisc_data();
    void invalidSlotKeepsLoadedDisc();
    void musicTypeEroticRefused();
    void musicTypeCodesAndChangedFlag();
    void nothingChangesBeforeALoad();
    void slotWithoutBlock();
    void saveWritesFilesByteExact();
    void saveWithoutUpdatingPcFiles();
    void saveQuestionOnLoad_data();
    void saveQuestionOnLoad();
    void closeQuestion_data();
    void closeQuestion();
    void copyCutsAndKeepsEmpty();
    void mismatchParksBeforeRestoring();
    void unknownDiscOffersWebSearch_data();
    void unknownDiscOffersWebSearch();
    void scratchFileIsRefreshed();
    void titleTypedBackStaysChanged();
    void noCancelDuringReadAll();
    void enteringTheTabKeepsUnsavedEdits();
    void memoryRecordsCountInTrackOrder_data();
    void memoryRecordsCountInTrackOrder();

private:
    void writeDisc5Files();
    void load(const QString& typed);
    QLineEdit* editor() { return child<QLineEdit>("TxtForEdit"); }
    void doubleClick(int row, int column);
};

void TestTitlesEdit::init() {
    makeLink(); // never opened: no changer
    showTab();
    if (!QTest::currentTestFailed())
        m_tab->enterTab();
}

// Disc 5: a block in discdata.txt and DISC5.txt with three tracks.
void TestTitlesEdit::writeDisc5Files() {
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

void TestTitlesEdit::loadShowsPcFile() {
    writeDisc5Files();
    load("5");
    QVERIFY(m_tab->discLoaded());
    QCOMPARE(m_tab->currentDisc(), 5);
    QCOMPARE(grid()->rowCount(), 3);
    QCOMPARE(cell(0, 0), QString("1"));
    QCOMPARE(cell(2, 0), QString("3"));
    QCOMPARE(cell(0, 1), QString("Low Tide"));
    QCOMPARE(cell(1, 1), QString());
    QCOMPARE(cell(2, 1), QString("Lanterns"));
    QCOMPARE(child<QLineEdit>("TxtDTitle1")->text(), QString("<b>Harbour</b> Lights"));
    QCOMPARE(m_tab->lbBackTextInfo()->text(), QString("DISC5.txt"));
    QCOMPARE(m_tab->lbBackTextInfo()->textFormat(), Qt::PlainText);
    QCOMPARE(grid()->horizontalHeaderItem(2)->text(), QString("CD Memory's Title"));
    QVERIFY(m_status.shown.contains(8));
    QVERIFY(!m_tab->changed());
    QVERIFY(!child<QPushButton>("cmdSave")->isEnabled());
    QCOMPARE(child<QPushButton>("cmdLoad")->toolTip(), msg(384));
    QCOMPARE(child<QPushButton>("cmdReload")->toolTip(),
             QString("READ DISC INFORMATION  IN CHANGER"));
    QVERIFY(messages().isEmpty());
}

void TestTitlesEdit::cellEditorKeys() {
    writeDisc5Files();
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

void TestTitlesEdit::commitCutsMemoryColumn_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("typed");
    QTest::addColumn<int>("kept");
    QTest::newRow("full length, 30") << 1 << 30 << 30;
    QTest::newRow("memory, 30") << 2 << 30 << 25;
    QTest::newRow("memory, 25") << 2 << 25 << 25;
    QTest::newRow("memory, 26") << 2 << 26 << 25;
}

void TestTitlesEdit::commitCutsMemoryColumn() {
    QFETCH(int, column);
    QFETCH(int, typed);
    QFETCH(int, kept);
    writeDisc5Files();
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

void TestTitlesEdit::editorArrowsCommitAndMove() {
    writeDisc5Files();
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

void TestTitlesEdit::scrollingCommitsIntoTheEditedCell() {
    writeDisc5Files();
    load("5");
    grid()->setFocus();
    grid()->setCurrentCell(2, 1);
    for (int i = 0; i < 40; ++i) // enough rows to scroll
        QTest::keyClick(grid(), Qt::Key_Return);
    QCOMPARE(grid()->rowCount(), 43);
    grid()->setCurrentCell(0, 1);
    grid()->scrollToTop();
    QTest::keyClick(grid(), Qt::Key_F2, Qt::ControlModifier);
    QTest::keyClicks(editor(), ">");
    grid()->verticalScrollBar()->setValue(grid()->verticalScrollBar()->maximum());
    QVERIFY(!editor()->isVisible());
    QCOMPARE(cell(0, 1), QString(">Low Tide"));
    for (int r = 1; r < grid()->rowCount(); ++r)
        QVERIFY(!cell(r, 1).startsWith('>'));
}

void TestTitlesEdit::gridRowKeys() {
    writeDisc5Files();
    load("5");
    grid()->setFocus();
    grid()->setCurrentCell(1, 1);
    QTest::keyClick(grid(), Qt::Key_Return); // not the last row
    QCOMPARE(grid()->rowCount(), 3);
    QVERIFY(!m_tab->changed());
    grid()->setCurrentCell(2, 1);
    QTest::keyClick(grid(), Qt::Key_Return);
    QCOMPARE(grid()->rowCount(), 4);
    QCOMPARE(cell(3, 0), QString("4"));
    QCOMPARE(grid()->currentRow(), 3);
    QVERIFY(m_tab->changed());
    QTest::keyClick(grid(), Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(grid()->rowCount(), 3);
    grid()->setCurrentCell(1, 0);
    QTest::keyClick(grid(), Qt::Key_Return, Qt::ControlModifier); // not the last row
    QCOMPARE(grid()->rowCount(), 3);
    grid()->setCurrentCell(2, 0);
    QTest::keyClick(grid(), Qt::Key_Return, Qt::ControlModifier);
    grid()->setCurrentCell(1, 0);
    QTest::keyClick(grid(), Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(grid()->rowCount(), 1);
    grid()->setCurrentCell(0, 0);
    QTest::keyClick(grid(), Qt::Key_Return, Qt::ControlModifier); // the only track row stays
    QCOMPARE(grid()->rowCount(), 1);
    QCOMPARE(cell(0, 0), QString("1"));
}

void TestTitlesEdit::gridRowLimit() {
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
}

void TestTitlesEdit::discNumberTyping_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("three digits") << "123"
                                  << "123";
    QTest::newRow("fourth digit dropped") << "1234"
                                          << "123";
    QTest::newRow("letters dropped") << "1a2-b"
                                     << "12";
    QTest::newRow("blank dropped") << " 7"
                                   << "7";
}

void TestTitlesEdit::discNumberTyping() {
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

void TestTitlesEdit::invalidSlotKeepsLoadedDisc_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("message");
    QTest::newRow("slot 0") << "0" << true;
    QTest::newRow("slot 201") << "201" << true;
    QTest::newRow("slot 000") << "000" << true;
    // Backspace turned the load off and nothing was typed: Enter does nothing at all.
    QTest::newRow("nothing") << "" << false;
}

void TestTitlesEdit::invalidSlotKeepsLoadedDisc() {
    QFETCH(QString, typed);
    QFETCH(bool, message);
    writeDisc5Files();
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

void TestTitlesEdit::musicTypeEroticRefused() {
    writeDisc5Files();
    load("5");
    QComboBox* mtype = child<QComboBox>("cmbTextMType");
    QCOMPARE(mtype->count(), 28);
    QCOMPARE(mtype->itemText(9), QString("Erotic"));
    mtype->setFocus();
    mtype->setCurrentIndex(9);
    emit mtype->activated(9); // the user's choice
    QCOMPARE(mtype->currentText(), QString("Easy Listening"));
    QVERIFY(m_tab->changed());
}

void TestTitlesEdit::musicTypeCodesAndChangedFlag() {
    writeDisc5Files();
    load("5");
    QComboBox* mtype = child<QComboBox>("cmbTextMType");
    mtype->setFocus();
    // Choosing the entry it already shows changes nothing.
    emit mtype->activated(mtype->currentIndex());
    QVERIFY(!m_tab->changed());
    mtype->setCurrentIndex(4);
    emit mtype->activated(4);
    QCOMPARE(mtype->currentText(), QString("Classical"));
    QVERIFY(m_tab->changed());
    // Saved as its code: entry 4 is code 5.
    m_ui.answers = {Answer::Yes, Answer::Yes};
    QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
    const auto lines = textfile::readLines(m_dataDir + "discdata.txt");
    QVERIFY(lines);
    const qsizetype at = lines->indexOf("MTYPE_5");
    QVERIFY(at >= 0);
    QCOMPARE(lines->at(at + 1), QString(" 5 "));
    QVERIFY(!m_tab->changed());
}

void TestTitlesEdit::nothingChangesBeforeALoad() {
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

void TestTitlesEdit::slotWithoutBlock() {
    writeDisc5Files();
    load("12");
    QCOMPARE(messages(), QStringList{msg(397) + '\r' + msg(398)});
    QCOMPARE(m_ui.shown.first().title, QString("READING DISC"));
    QCOMPARE(grid()->rowCount(), 1);
    QCOMPARE(cell(0, 1), QString());
    QCOMPARE(m_tab->currentDisc(), 12);
}

void TestTitlesEdit::saveWritesFilesByteExact() {
    writeDisc5Files();
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
    QCOMPARE(test::readAll(m_dataDir + "DISC5.txt"),
             crlf({"DISC ID =", "001AFF07", "DISC NO =", "5", "MIN TNO =", " 1 ",
                   "MAX TNO =", " 3 ", "Disc Title =", "A <b>Harbour</b> Lights",
                   "Track Title =", "Low Tide", "Middle", "Lanterns"}));
    const auto master = textfile::readLines(m_dataDir + "discdata.txt");
    QCOMPARE(master->at(master->indexOf("UFILE_5") + 1), QString(" 128 "));
    const auto list = textfile::readLines(m_dataDir + "tempdisc.txt");
    QVERIFY(list->contains("[  5] A <b>Harbour</b> Lights"));
    QVERIFY(!m_tab->changed());
    QVERIFY(!child<QPushButton>("cmdSave")->isEnabled());
    QVERIFY(child<QPushButton>("cmdLoad")->isEnabled());
}

void TestTitlesEdit::saveWithoutUpdatingPcFiles() {
    writeDisc5Files();
    load("5");
    const QByteArray before = test::readAll(m_dataDir + "DISC5.txt");
    const QByteArray master = test::readAll(m_dataDir + "discdata.txt");
    doubleClick(0, 1);
    QTest::keyClicks(editor(), "Changed ");
    QTest::keyClick(editor(), Qt::Key_Return);
    m_ui.answers = {Answer::Yes, Answer::No};
    QTest::mouseClick(child<QPushButton>("cmdSave"), Qt::LeftButton);
    QCOMPARE(test::readAll(m_dataDir + "DISC5.txt"), before);
    QCOMPARE(test::readAll(m_dataDir + "discdata.txt"), master);
    QVERIFY(!m_tab->changed());
}

void TestTitlesEdit::saveQuestionOnLoad_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("discAfter");
    QTest::addColumn<bool>("savedToFile");
    QTest::newRow("yes") << int(Answer::Yes) << 12 << true;
    QTest::newRow("no") << int(Answer::No) << 12 << false;
    QTest::newRow("cancel") << int(Answer::Cancel) << 5 << false;
}

void TestTitlesEdit::saveQuestionOnLoad() {
    QFETCH(int, answer);
    QFETCH(int, discAfter);
    QFETCH(bool, savedToFile);
    writeDisc5Files();
    load("5");
    doubleClick(2, 1);
    QTest::keyClicks(editor(), "Edited ");
    QTest::keyClick(editor(), Qt::Key_Return);
    m_ui.answers = {Answer(answer), Answer::Yes};
    load("12");
    QCOMPARE(messages().first(), msg(402));
    QCOMPARE(m_ui.shown.first().number, int(UserInterface::Style::YesNoCancel));
    QCOMPARE(m_tab->currentDisc(), discAfter);
    QCOMPARE(test::readAll(m_dataDir + "DISC5.txt").contains("Edited Lanterns"), savedToFile);
    if (discAfter == 5) { // cancelled: the edit is still there and still unsaved
        QCOMPARE(cell(2, 1), QString("Edited Lanterns"));
        QVERIFY(m_tab->changed());
        QVERIFY(child<QPushButton>("cmdSave")->isEnabled());
    } else {
        QVERIFY(!m_tab->changed());
    }
}

void TestTitlesEdit::closeQuestion_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("mayClose");
    QTest::addColumn<bool>("saved");
    QTest::newRow("yes") << int(Answer::Yes) << true << true;
    QTest::newRow("no") << int(Answer::No) << true << false;
    QTest::newRow("cancel") << int(Answer::Cancel) << false << false;
}

void TestTitlesEdit::closeQuestion() {
    QFETCH(int, answer);
    QFETCH(bool, mayClose);
    QFETCH(bool, saved);
    writeDisc5Files();
    load("5");
    QVERIFY(m_tab->confirmClose()); // nothing unsaved: no question
    QVERIFY(messages().isEmpty());
    // An edit still open in the editor counts too.
    doubleClick(0, 2);
    QTest::keyClicks(editor(), "open edit");
    m_ui.answers = {Answer(answer), Answer::Yes};
    QCOMPARE(m_tab->confirmClose(), mayClose);
    QCOMPARE(messages().first(), msg(402));
    QCOMPARE(m_ui.shown.first().title, QString("SAVE FILE"));
    QVERIFY(!m_link->commandInProgress());
    const auto content = discfile::readDiscFile(m_dataDir + "DISC5.txt");
    QVERIFY(content);
    QCOMPARE(m_tab->changed(), !mayClose);
    QCOMPARE(child<QPushButton>("cmdSave")->isEnabled(), !mayClose);
    QVERIFY(child<QPushButton>("cmdLoad")->isEnabled());
    QCOMPARE(test::readAll(m_dataDir + "DISC5.txt").startsWith("DISC ID =\r\n001AFF07"), saved);
}

void TestTitlesEdit::copyCutsAndKeepsEmpty() {
    writeDisc5Files();
    load("5");
    QLineEdit* title = child<QLineEdit>("TxtDTitle1");
    title->setFocus();
    title->selectAll();
    QTest::keyClicks(title, chars(40, 'd'));
    doubleClick(0, 1);
    QTest::keyClicks(editor(), chars(30, 't'));
    QTest::keyClick(editor(), Qt::Key_Return);
    grid()->item(1, 2)->setText("kept"); // track 2 has no PC title
    QTest::mouseClick(child<QPushButton>("cmdCopy"), Qt::LeftButton);
    QCOMPARE(child<QLineEdit>("TxtDTitle2")->text(), chars(25, 'd'));
    QCOMPARE(cell(0, 2), (chars(30, 't') + "Low Tide").left(25));
    QCOMPARE(cell(1, 2), QString("kept"));
    QCOMPARE(cell(2, 2), QString("Lanterns"));
    QCOMPARE(m_status.shown.last(), 9);
    QVERIFY(m_tab->changed());
}

// The slot's file belongs to another disc and this disc's titles are parked: the other
// disc's file is parked first, so both sets of titles survive.
void TestTitlesEdit::mismatchParksBeforeRestoring() {
    writeDisc5Files();
    QVERIFY(test::writeAll(
        m_dataDir + "DISC5.txt",
        crlf({"DISC ID =", "8a0b3c0d", "DISC NO =", "5", "MIN TNO =", "1", "MAX TNO =", "1",
              "Disc Title =", "Other Disc", "Track Title =", "Other Track"})));
    QVERIFY(test::writeAll(
        m_dataDir + "t001aff07._xt",
        crlf({"DISC ID =", "001aff07", "DISC NO =", "3", "MIN TNO =", "1", "MAX TNO =", "3",
              "Disc Title =", "Parked Title", "Track Title =", "P1", "P2", "P3"})));
    load("5");
    QCOMPARE(child<QLineEdit>("TxtDTitle1")->text(), QString("Parked Title"));
    QCOMPARE(cell(2, 1), QString("P3"));
    QVERIFY(!QFile::exists(m_dataDir + "t001aff07._xt"));
    QVERIFY(test::readAll(m_dataDir + "t8a0b3c0d._xt").contains("Other Track"));
    QVERIFY(m_lookup.webSearches.isEmpty());
}

void TestTitlesEdit::unknownDiscOffersWebSearch_data() {
    QTest::addColumn<int>("noWeb");
    QTest::addColumn<int>("always");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("questions"); // 399/400, then 325/326 when asked
    QTest::addColumn<int>("searches");
    QTest::newRow("asked, yes") << 0 << 0 << int(Answer::Yes) << 2 << 1;
    QTest::newRow("asked, no") << 0 << 0 << int(Answer::No) << 2 << 0;
    QTest::newRow("always") << 0 << 1 << int(Answer::Yes) << 1 << 1;
    QTest::newRow("never") << 1 << 0 << int(Answer::Yes) << 1 << 0;
}

void TestTitlesEdit::unknownDiscOffersWebSearch() {
    QFETCH(int, noWeb);
    QFETCH(int, always);
    QFETCH(int, answer);
    QFETCH(int, questions);
    QFETCH(int, searches);
    writeDisc5Files();
    QFile::remove(m_dataDir + "DISC5.txt");
    m_config->settings.noWebSearch = qint16(noWeb);
    m_config->settings.alwaysWebSearch = qint16(always);
    m_ui.answers = {Answer::Ok, Answer(answer)};
    load("5");
    QCOMPARE(messages().size(), questions);
    QCOMPARE(messages().first(), msg(399) + '\r' + msg(400));
    if (questions == 2) {
        QCOMPARE(messages().at(1), msg(325) + '\r' + msg(326));
        QCOMPARE(m_ui.shown.at(1).title, QString("Title Loading Error"));
    }
    QCOMPARE(m_lookup.webSearches.size(), searches);
    QCOMPARE(grid()->rowCount(), 3); // the block's track range
    QVERIFY(m_tab->discLoaded());
}

void TestTitlesEdit::scratchFileIsRefreshed() {
    writeDisc5Files();
    QFile::remove(m_dataDir + "DISC5.txt");
    QVERIFY(test::writeAll(
        m_dataDir + "DISC5.tmp",
        crlf({"DISC ID =", "00000000", "DISC NO =", "5", "MIN TNO =", " 1 ", "MAX TNO =", " 1 ",
              "Disc Title =", "Saved Early", "Track Title =", "S1"})));
    load("5");
    QVERIFY(!QFile::exists(m_dataDir + "DISC5.tmp"));
    QVERIFY(test::readAll(m_dataDir + "DISC5.txt").startsWith("DISC ID =\r\n001aff07\r\n"));
    QCOMPARE(child<QLineEdit>("TxtDTitle1")->text(), QString("Saved Early"));
    QCOMPARE(grid()->rowCount(), 3);
    QCOMPARE(cell(0, 1), QString("S1"));
}

void TestTitlesEdit::titleTypedBackStaysChanged() {
    writeDisc5Files();
    load("5");
    QLineEdit* title = child<QLineEdit>("TxtDTitle2");
    title->setFocus();
    QTest::keyClicks(title, "x");
    QTest::keyClick(title, Qt::Key_Backspace);
    QCOMPARE(title->text(), QString());
    QVERIFY(m_tab->changed());
    QVERIFY(child<QPushButton>("cmdSave")->isEnabled());
}

void TestTitlesEdit::noCancelDuringReadAll() {
    writeDisc5Files();
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

void TestTitlesEdit::enteringTheTabKeepsUnsavedEdits() {
    writeDisc5Files();
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

// texttmp.txt records count only in track order from the disc title on, without gaps.
void TestTitlesEdit::memoryRecordsCountInTrackOrder_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("disc");
    QTest::addColumn<QString>("tracks"); // "k=title;..."
    QTest::newRow("in order") << QStringList{"##4", "#0", "D",   "0",  "0",  "##4", "#1", "T1",
                                             "0",   "0",  "##4", "#2", "T2", "0",   "0"}
                              << "D"
                              << "1=T1;2=T2";
    QTest::newRow("gap stops the count")
        << QStringList{"##4", "#0", "D", "0", "0", "##4", "#2", "T2", "0", "0"} << "D"
        << "";
    QTest::newRow("no disc title") << QStringList{"##4", "#1", "T1", "0", "0"} << "<none>"
                                   << "";
    QTest::newRow("a title that looks like a key")
        << QStringList{"##4", "#0", "#1", "0", "0", "##4", "#1", "#2", "0", "0"} << "#1"
        << "1=#2";
    QTest::newRow("key on the last line") << QStringList{"##4", "#0"} << "<none>"
                                          << "";
}

void TestTitlesEdit::memoryRecordsCountInTrackOrder() {
    QFETCH(QStringList, lines);
    QFETCH(QString, disc);
    QFETCH(QString, tracks);
    const memorytitles::MemoryTitles titles = memorytitles::fromRecords(lines);
    QCOMPARE(titles.discTitle.value_or("<none>"), disc);
    QStringList got;
    for (auto it = titles.trackTitles.cbegin(); it != titles.trackTitles.cend(); ++it)
        got.append(QString::number(it.key()) + '=' + it.value());
    QCOMPARE(got.join(';'), tracks);
}

QTEST_MAIN(TestTitlesEdit)
#include "tst_titles_edit.moc"
