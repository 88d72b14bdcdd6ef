// The title editor's load, reload and save, headless, against changer-sim: what each returns
// for the editor to show, and what each leaves in the library and in the changer.

#include "tst_opsfixture.h"

#include "base/catalogue.h"
#include "operations/titleflows.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/storefiles.h"

#include <QFile>

using namespace tf;
using namespace tf::test;

class TestTitleFlows : public QObject {
    Q_OBJECT
private slots:
    void loadWithoutLibraryReadsTheChanger();
    void saveReachesBothAndLoadsBack();
    void reloadPutsTheDiscIntoThePlayer();
    void memoryTitlesOfAFileCutShort();
};

namespace {

// A rig whose settings never ask about an online lookup.
bool startQuiet(OpsRig& rig) {
    rig.config.settings.noWebSearch = 1;
    return rig.start();
}

TitlesToSave editedTitles(const LoadedDisc& loaded, const QString& memoryTitle) {
    TitlesToSave titles;
    titles.disc = loaded.disc;
    titles.identity = loaded.identity;
    titles.minTno = loaded.minTno;
    titles.maxTno = loaded.maxTno;
    titles.userFileByte = loaded.userFileByte;
    titles.musicType = loaded.musicType;
    titles.fullTitle = QStringLiteral("Some Artist / A Rather Longer Album Title");
    titles.fullTitles = {"First", "Second", "Third", "Fourth"};
    titles.memoryTitle = memoryTitle;
    titles.memoryTitles = {"m1", "m2", "m3", "m4"};
    return titles;
}

} // namespace

void TestTitleFlows::loadWithoutLibraryReadsTheChanger() {
    OpsRig rig;
    QVERIFY(startQuiet(rig));
    const LoadedDisc loaded = loadDisc(rig.ctx, 1); // the disc in the player
    QCOMPARE(loaded.status, LoadedDisc::Status::Loaded);
    QCOMPARE(loaded.toc.size(), 5);
    QVERIFY(loaded.valuesRead);
    QCOMPARE(int(loaded.musicType), 23);
    QCOMPARE(int(loaded.userFileByte), rig.simDisc(1).value("userFileByte").toInt());
    QCOMPARE(loaded.lastTrack, 4);
    QVERIFY(loaded.memory);
    QCOMPARE(loaded.memory->discTitle.value_or(QString()), QStringLiteral("Memory Disc"));
    QCOMPARE(loaded.memory->trackTitles.value(1), QStringLiteral("One"));
    QCOMPARE(loaded.memory->trackTitles.value(3), QStringLiteral("Three"));
    // The table the changer reported is now the disc's master block.
    const auto block = discdata::readBlock(rig.dataPath(storefiles::kDiscData), 1);
    QVERIFY(block);
    QCOMPARE(block->identity.id, loaded.identity.id);
    QCOMPARE(block->toc, loaded.toc);
    QVERIFY(rig.ui.texts("message").isEmpty());
    QVERIFY(rig.ui.texts("error").isEmpty());
}

void TestTitleFlows::saveReachesBothAndLoadsBack() {
    OpsRig rig;
    QVERIFY(startQuiet(rig));
    const LoadedDisc first = loadDisc(rig.ctx, 1);
    QCOMPARE(first.status, LoadedDisc::Status::Loaded);
    QVERIFY(saveTitles(rig.ctx, editedTitles(first, "Short")));
    QVERIFY(rig.ui.texts("message").isEmpty()); // a new file is written without asking
    QCOMPARE(rig.simDisc(1).value("memoryTitle").toString(), QStringLiteral("Short"));
    QCOMPARE(rig.simDisc(1).value("memoryTracks").toObject().value("4").toString(),
             QStringLiteral("m4"));

    const LoadedDisc again = loadDisc(rig.ctx, 1);
    QCOMPARE(again.pcFileName, discfile::fileName(1));
    QCOMPARE(again.pcDiscTitle.value_or(QString()),
             QStringLiteral("Some Artist / A Rather Longer Album Title"));
    QCOMPARE(again.pcTrackTitles.mid(0, 4), (QStringList{"First", "Second", "Third", "Fourth"}));
    QCOMPARE(again.memory->discTitle.value_or(QString()), QStringLiteral("Short"));

    // Declining to replace the PC file still stores the titles in the changer.
    const QByteArray file = readAll(rig.dataPath(discfile::fileName(1)));
    rig.ui.answers = {UserInterface::Answer::No};
    TitlesToSave changed = editedTitles(again, "Second Save");
    changed.fullTitle = QStringLiteral("Not written");
    QVERIFY(saveTitles(rig.ctx, changed));
    QCOMPARE(rig.ui.texts("message"), QStringList{msg(msgid::UpdateDataQuestion)});
    QCOMPARE(readAll(rig.dataPath(discfile::fileName(1))), file);
    QCOMPARE(rig.simDisc(1).value("memoryTitle").toString(), QStringLiteral("Second Save"));
}

void TestTitleFlows::reloadPutsTheDiscIntoThePlayer() {
    OpsRig rig;
    QVERIFY(startQuiet(rig));
    const LoadedDisc loaded = reloadDisc(rig.ctx, 6);
    QCOMPARE(loaded.status, LoadedDisc::Status::Loaded);
    QCOMPARE(rig.sim.dump().value("play").toObject().value("disc").toInt(), 6);
    QCOMPARE(loaded.lastTrack, 25);
    QCOMPARE(int(loaded.musicType), 14);
    QVERIFY(loaded.memory);
    const auto block = discdata::readBlock(rig.dataPath(storefiles::kDiscData), 6);
    QVERIFY(block);
    QCOMPARE(block->maxTno, 25);
    QVERIFY(rig.ui.texts("error").isEmpty());
}

// A download cut short after a title line still yields that title; a record out of order is
// passed over.
void TestTitleFlows::memoryTitlesOfAFileCutShort() {
    const auto titles = memorytitles::fromRecords(
        {"##5", "#0", "Disc", "0", "0", "##5", "#1", "One", "0", "0", "##5", "#2", "Two"});
    QCOMPARE(titles.discTitle.value_or(QString()), QStringLiteral("Disc"));
    QCOMPARE(titles.trackTitles.value(1), QStringLiteral("One"));
    QCOMPARE(titles.trackTitles.value(2), QStringLiteral("Two"));
    const auto skipped = memorytitles::fromRecords({"#0", "Disc", "#2", "Two", "#1", "One"});
    QCOMPARE(skipped.trackTitles, (QMap<int, QString>{{1, QStringLiteral("One")}}));
}

QTEST_GUILESS_MAIN(TestTitleFlows)
#include "tst_titleflows.moc"
