// The audio tab's texts as functions of what the changer reports: play state, play mode and
// music type. (The font sizes of the info lines are tst_statuslines'.)

#include "model/playtables.h"

#include <QTest>

using namespace tf::playback;

class TestPlayTables : public QObject {
    Q_OBJECT
private slots:
    void playStates_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        QTest::newRow("stopped") << 0x40 << "Music is stopped.";
        QTest::newRow("stopping") << 0x50 << "Stop Action. Please Wait....";
        QTest::newRow("searching") << 0x60 << "Now search music. Please Wait...";
        QTest::newRow("playing") << 0x70 << "Music is playing.";
        QTest::newRow("paused") << 0x80 << "Music is paused.";
        QTest::newRow("fast forward") << 0x90 << "Fast-Forward.";
        QTest::newRow("fast backward") << 0xA0 << "Fast-Backward.";
        QTest::newRow("outside the table") << 0x33 << "";
    }

    void playStates() {
        QFETCH(int, state);
        QFETCH(QString, text);
        QCOMPARE(playStateText(state), text);
    }

    void playModes() {
        // The name, the random indicator's text and light, and whether the random key is about to
        // switch random play on.
        const struct {
            int mode;
            const char* name;
            const char* random;
            bool lit;
            bool keySwitchesOn;
        } rows[] = {{0, "Track Mode", "OFF", false, true},
                    {1, "Track Mode", "ONE DISC RANDOM", true, true},
                    {2, "Track Mode", "ALL DISC RANDOM", true, false},
                    {3, "Program Mode", "OFF", false, true},
                    {4, "Best Sel Mode", "OFF", false, true},
                    {5, "Music Type Mode", "OFF", false, true},
                    {6, "Music Type Mode", "RANDOM", true, false},
                    {7, "User File Mode", "OFF", false, true},
                    {8, "User File Mode", "RANDOM", true, false},
                    {9, "", "OFF", false, false}}; // above 8: no name
        for (const auto& row : rows) {
            QCOMPARE(playModeName(row.mode), QString(row.name));
            QCOMPARE(randomText(row.mode), QString(row.random));
            QCOMPARE(randomLit(row.mode), row.lit);
            QCOMPARE(randomKeySwitchesOn(row.mode), row.keySwitchesOn);
        }
    }

    void musicTypeNames_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("none") << 0 << "Not Defined";
        QTest::newRow("not defined") << 1 << "Not Defined";
        QTest::newRow("first genre") << 2 << "Adult Contemporary";
        QTest::newRow("last") << 28 << "World Music";
        QTest::newRow("above the table") << 29 << "";
    }

    void musicTypeNames() {
        QFETCH(int, code);
        QFETCH(QString, name);
        QCOMPARE(musicTypeName(code), name);
        QCOMPARE(audioMusicTypeEntries().value(audioMusicTypeIndex(code)), name);
        if (code >= 2)
            QCOMPARE(panelMusicTypeEntries().value(panelIndexOfCode(code)), name);
    }
};

QTEST_GUILESS_MAIN(TestPlayTables)
#include "tst_playtables.moc"
