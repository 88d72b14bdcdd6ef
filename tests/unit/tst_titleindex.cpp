#include "common/testsupport.h"
#include "portability/titleindex.h"

#include <QTest>

using namespace tf;

class TestTitleIndex : public QObject {
    Q_OBJECT
    search::TitleIndex m_index;

private slots:
    // The library in the files' own bytes (tests/data/search): accented letters as
    // Windows-1252, the disc list with the changer's 25-character memory titles (slot 20 has no
    // file at all).
    void initTestCase() {
        const auto discs = search::readLibraryTexts(test::sourcePath("tests/data/search"));
        QCOMPARE(discs.size(), 8);
        for (const search::DiscTexts& disc : discs)
            m_index.setDisc(disc);
    }

    // Each result is "slot:track" (track 0: the disc), best first; `shown` is the disc title
    // the first result shows.
    void matching_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char* name, const QString& typed, const QStringList& hits,
                            const QString& shown = {}) {
            QTest::newRow(name) << typed << hits << shown;
        };
        row("accent typed plain", "beyonce", {"3:0"},
            QString::fromUtf8("Beyonc\u00e9 - I Am... Sasha Fierce"));
        row("slash is a word break, as is any mark", "ac dc", {"7:0", "7:3"});
        row("æ spelled out", "agaetis", {"12:0"});
        row("accented track", "staralfur", {"12:3"});
        row("words across disc and track", "beyonce halo", {"3:2"});
        row("word order does not matter, disc first", "black back", {"7:0", "7:3"});
        row("ranking: whole word, word start, inside", "halo",
            {"40:0", "3:2", "40:1", "40:2", "2:1", "40:3"});
        row("memory title only", "motley crue", {"20:0"},
            QString::fromUtf8("M\u00f6tley Cr\u00fce - Dr. Feelgoo"));
        row("long title beyond the memory title", "remastered", {"25:0"});
        row("both copies give one result, the long title shown", "oeuvres", {"25:0"},
            QString::fromUtf8("The Very Best of \u0152uvres, Deluxe Remastered Edition"));
        row("Windows-1252 Š and ž", "sostar", {"30:0"});
        row("Windows-1252 œ and ï, en dash", "naive oeil", {"30:1"});
        row("punctuation only: no words", " .../ - ", {});
        row("one word missing", "beyonce thriller", {});
        row("unknown slot is not a title", "unknown", {});
    }
    void matching() {
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        QFETCH(QString, shown);
        const QList<search::Hit> hits = m_index.query(typed);
        QStringList got;
        for (const search::Hit& h : hits)
            got.append(QStringLiteral("%1:%2").arg(h.slot).arg(h.track));
        QCOMPARE(got, expected);
        if (!shown.isEmpty())
            QCOMPARE(hits.first().discTitle, shown);
    }
};

QTEST_GUILESS_MAIN(TestTitleIndex)
#include "tst_titleindex.moc"
