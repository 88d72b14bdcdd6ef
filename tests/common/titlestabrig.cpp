#include "common/titlestabrig.h"

#include "common/linktestaccess.h"
#include "common/testsupport.h"

#include <QComboBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

namespace tf::test {

void TitlesTabRig::writeLibrary() {
    QVERIFY(m_libDir.isValid());
    QVERIFY2(!SimProcess::executable().isEmpty(), "built without changer-sim");
    const QJsonArray discs{
        QJsonObject{{"slot", 1},
                    {"toc", QJsonArray{"00:02:00", "04:00:10", "07:30:00", "11:00:00"}},
                    {"memory", QJsonObject{{"title", "Memory Disc"},
                                           {"tracks", QJsonArray{"One", "", "Three"}}}},
                    {"userFiles", QJsonArray{1, 3}},
                    {"musicType", 5}},
        QJsonObject{{"slot", 2},
                    {"lengths", QJsonArray{"4:10", "3:20"}},
                    {"cdText",
                     QJsonObject{{"title", "Text Disc"}, {"tracks", QJsonArray{"Alpha", "Beta"}}}}},
        QJsonObject{{"slot", 3}, {"lengths", QJsonArray{"4:00", "3:00"}}, {"musicType", 17}},
        QJsonObject{{"slot", 7}, {"lengths", QJsonArray{"3:00"}}, {"titleLocked", true}},
    };
    const QJsonObject library{
        {"play", QJsonObject{{"disc", 1}, {"track", 1}, {"state", "stopped"}}},
        {"userFileNames", QJsonArray{"Road Trip", "Sunday"}},
        {"discs", discs}};
    m_libraryPath = m_libDir.filePath("library.json");
    QVERIFY(writeAll(m_libraryPath, QJsonDocument(library).toJson()));
}

void TitlesTabRig::showTab(const QStringList& simArgs,
                           const std::function<void(LinkTimings&)>& tune, int disc) {
    if (QTest::currentTestFailed())
        return;
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_dataDir = m_dir->filePath(QStringLiteral("data")) + QLatin1Char('/');
    QVERIFY(QDir().mkpath(m_dataDir));
    m_ui = ScriptedUi{};
    m_lookup = RecordingLookup{};
    m_status = TitlesStatusLog{};
    m_config = std::make_unique<Configuration>(m_dir->path());
    m_config->settings.dataDir = m_dataDir;
    m_link = std::make_unique<Link>(m_ui);
    if (!m_libraryPath.isEmpty()) {
        QVERIFY2(m_sim.start(m_libraryPath, simArgs), qPrintable(m_sim.lastError()));
        LinkTestAccess::timings(*m_link).errorCountdownS = 0;
        if (tune)
            tune(LinkTestAccess::timings(*m_link));
        QCOMPARE(m_link->openDevice(m_sim.portPath()), 0);
        m_link->RS232C_Changer_INIT();
        QCOMPARE(m_link->linkState(), kLinkUp);
    }
    if (disc != 0) {
        QTRY_COMPARE(m_link->playValues().PlayDisc, qint16(disc));
        QTRY_COMPARE(m_link->playValues().TocReadyDisc, qint16(disc));
        QTRY_VERIFY(m_link->modeCode() != 0);
    }
    m_ctx = std::make_unique<AppContext>(AppContext{*m_link, *m_config, m_ui, m_lookup});
    m_tab = std::make_unique<TitlesTab>(*m_ctx, m_status);
    m_tab->resize(700, 500);
    m_tab->show();
    m_tab->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_tab.get()));
}

void TitlesTabRig::enterTabOnDisc(int disc) {
    if (QTest::currentTestFailed())
        return;
    m_ui.answers = {UserInterface::Answer::No};
    m_tab->enterTab();
    QVERIFY(m_tab->discLoaded());
    QCOMPARE(m_tab->currentDisc(), disc);
    m_ui.shown.clear();
}

void TitlesTabRig::tearDown() {
    m_tab.reset();
    m_ctx.reset();
    m_link.reset();
    m_config.reset();
    m_dir.reset();
    m_sim.stop();
}

QTableWidget* TitlesTabRig::grid() const {
    return child<QTableWidget>(QStringLiteral("grdWin"));
}

QString TitlesTabRig::cell(int row, int column) const {
    const QTableWidgetItem* it = grid()->item(row, column);
    return it ? it->text() : QString();
}

void TitlesTabRig::editCell(int row, int column, const QString& text) {
    grid()->setFocus();
    grid()->setCurrentCell(row, column);
    QTest::keyClick(grid(), Qt::Key_F2, Qt::ControlModifier);
    QLineEdit* editor = child<QLineEdit>(QStringLiteral("TxtForEdit"));
    QVERIFY(editor->isVisible());
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
}

void TitlesTabRig::typeDisc(const QString& disc) {
    QComboBox* dno = child<QComboBox>(QStringLiteral("cmbTextDno"));
    dno->setFocus();
    dno->lineEdit()->selectAll();
    QTest::keyClick(dno, Qt::Key_Backspace);
    QTest::keyClicks(dno, disc);
}

void TitlesTabRig::loadDisc(const QString& disc) {
    typeDisc(disc);
    QTest::keyClick(child<QComboBox>(QStringLiteral("cmbTextDno")), Qt::Key_Return);
}

} // namespace tf::test
