#include "common/testsupport.h"
#include "link/frame.h"
#include "store/textfile.h"
#include "store/titlerecords.h"
#include "store/userfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;

namespace {

// A text frame as the changer sends it, through the real codec. `tail` is the text, or the
// single status byte of a frame without text.
TextFrame frame(quint8 cmd, int disc, int item, int kind, int entry, const QByteArray& tail,
                int ufile = 5, int mtype = 14) {
    QByteArray data;
    data.append(char(disc & 0xFF)).append(char(disc >> 8)).append(char(item));
    data.append(char(ufile)).append(char(kind)).append(char(mtype)).append('\0');
    if (cmd == kReplyTrackText)
        data.append(char(entry));
    data += tail;
    const auto parsed = parseFrame(buildFrame(cmd, data));
    Q_ASSERT(parsed);
    const auto text = decodeTextFrame(*parsed);
    Q_ASSERT(text);
    return *text;
}

TextFrame discText(int disc, int item, const QByteArray& tail, int kind = kTextKindTrack) {
    return frame(kReplyDiscText, disc, item, kind, 1, tail);
}

TextFrame trackText(int disc, int item, int entry, const QByteArray& tail,
                    int kind = kTextKindTrack) {
    return frame(kReplyTrackText, disc, item, kind, entry, tail);
}

QStringList records(const QString& dir) {
    return textfile::readLines(QDir(dir).filePath("tmpttl.txt")).value_or(QStringList());
}

// The title lines (line 3 of every record).
QStringList titles(const QString& dir) {
    const QStringList lines = records(dir);
    QStringList out;
    for (qsizetype i = 2; i < lines.size(); i += 5)
        out.append(lines.at(i));
    return out;
}

} // namespace

class TestTitleRecords : public QObject {
    Q_OBJECT
private slots:
    void trackDownloadGolden() {
        QTemporaryDir dir;
        QVERIFY(DiscTextFrame(discText(9, 0, "Kind of Blue"), dir.path()));
        const QList<TextFrame> pieces{trackText(9, 1, 1, "So What"),
                                      trackText(9, 2, 1, "Freddie Free"),
                                      trackText(9, 2, 2, "loader")};
        for (const TextFrame& f : pieces) {
            const TrackTextResult r = TrackTextFrame(f, 5, dir.path());
            QVERIFY2(r.ok, qPrintable(r.error));
            QCOMPARE(r.lastItemFlag, quint8(0));
        }
        // No title from track 3 on: tracks 3 to 5 all get a record.
        const TrackTextResult last = TrackTextFrame(trackText(9, 3, 2, "\x01"), 5, dir.path());
        QVERIFY(last.ok);
        QCOMPARE(last.lastItemFlag, kLastItemReached);
        QCOMPARE(test::readAll(dir.filePath("tmpttl.txt")),
                 test::golden("store/tmpttl-tracks.txt"));
        QVERIFY(!QFile::exists(dir.filePath("tmpttl1.txt")));
    }

    // A later piece of an entry joins the latest record of its disc and track, or is dropped
    // when there is none; a status 1 piece after the first is the last-item mark, which ends
    // its record and fills the list up to the last track.
    void continuationsAndLastItemMark() {
        QTemporaryDir dir;
        const auto send = [&](int disc, int item, int entry, const QByteArray& tail) {
            return TrackTextFrame(trackText(disc, item, entry, tail), 4, dir.path());
        };
        const TrackTextResult none = send(9, 4, 2, "orphan");
        QVERIFY(none.ok);
        QCOMPARE(none.lastItemFlag, quint8(0));
        QVERIFY(!QFile::exists(dir.filePath("tmpttl.txt")));

        // The first record of the file, past a later one whose title looks like a track line.
        QVERIFY(send(9, 1, 1, "Blue in ").ok);
        QVERIFY(send(9, 2, 1, "#1").ok);
        QVERIFY(send(9, 1, 0, "Green").ok);
        QCOMPARE(titles(dir.path()), (QStringList{"Blue in Green", "#1"}));
        const QByteArray before = test::readAll(dir.filePath("tmpttl.txt"));
        QVERIFY(send(9, 4, 2, "orphan").ok);
        QVERIFY(send(10, 1, 2, "orphan").ok); // another disc's track 1 finds nothing either
        QCOMPARE(test::readAll(dir.filePath("tmpttl.txt")), before);

        QCOMPARE(send(9, 2, 3, "\x01").lastItemFlag, kLastItemReached);
        QCOMPARE(titles(dir.path()),
                 (QStringList{"Blue in Green", "* NO TITLE *", "* NO TITLE *", "* NO TITLE *"}));
        QCOMPARE(records(dir.path()).at(16), QStringLiteral("#4"));
        // A status 1 that begins its entry is an ordinary "no title", not the last item.
        QCOMPARE(send(9, 5, 1, "\x01").lastItemFlag, quint8(0));
        QCOMPARE(records(dir.path()).size(), 5 * 5);

        const QByteArray damaged("##9\r\n#1\r\nhalf\r\n");
        QVERIFY(test::writeAll(dir.filePath("tmpttl.txt"), damaged));
        const TrackTextResult r = send(9, 1, 2, "more");
        QVERIFY(!r.ok);
        QVERIFY(r.error.contains("whole title records"));
        QCOMPARE(test::readAll(dir.filePath("tmpttl.txt")), damaged);
    }

    void statusTexts_data() {
        QTest::addColumn<bool>("trackLevel");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("item");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, bool track, int kind, int item, const QByteArray& tail,
                      const QString& text) {
            QTest::newRow(name) << track << kind << item << tail << text;
        };
        const QByteArray noDisc(1, '\0');
        row("0xFE no disc", false, 0, 0, noDisc, "* NO DISC *");
        row("0xFE no title", false, 0, 0, "\x01", "* NO TITLE *");
        row("0xFE one character", false, 0, 0, "A", "A");
        row("0xFD no title", true, 1, 3, "\x01", "* NO TITLE *");
        row("user file 3 without name", false, 7, 0x04, noDisc, "USER FILE 3");
        row("user file 8 no title", true, 7, 0x80, "\x01", "USER FILE 8");
        row("cp1252 text", false, 0, 0, "Caf\xe9 \x80", "Caf\u00e9 \u20ac");
    }

    void statusTexts() {
        QFETCH(bool, trackLevel);
        QFETCH(int, kind);
        QFETCH(int, item);
        QFETCH(QByteArray, tail);
        QFETCH(QString, text);
        const TextFrame f = trackLevel ? trackText(1, item, 1, tail, kind)
                                       : frame(kReplyDiscText, 1, item, kind, 1, tail);
        QCOMPARE(titleRecordText(f), text);
    }

    // Records are handed over to the file they are for: disc titles as they are, user-file
    // names into ufn.txt's records. With nothing received, the file stays as it was.
    void handOver() {
        QTemporaryDir dir;
        const QString received = dir.filePath("tmpttl.txt");
        QVERIFY(DiscTextFrame(discText(1, 1, "Abbey Road", kTextKindDisc), dir.path()));
        QVERIFY(DiscTextFrame(discText(200, 200, "\x01", kTextKindDisc), dir.path()));
        const QByteArray expected = textfile::joinLines(
            titleRecord(1, 1, "Abbey Road", 5, 14) + titleRecord(200, 200, "* NO TITLE *", 5, 14));
        QCOMPARE(test::readAll(received), expected);
        const QString alldisc = dir.filePath("alldisc.txt");
        QVERIFY(handOverTitleRecords(dir.path(), alldisc));
        QCOMPARE(test::readAll(alldisc), expected);
        QVERIFY(!QFile::exists(received));
        QString error;
        QVERIFY(!handOverTitleRecords(dir.path(), alldisc, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(test::readAll(alldisc), expected);

        QVERIFY(DiscTextFrame(discText(0, 0x04, "Jazz nights", kTextKindUserFileName), dir.path()));
        QVERIFY(
            TrackTextFrame(trackText(0, 0x80, 1, "Road trip", kTextKindUserFileName), 8, dir.path())
                .ok);
        QVERIFY(DiscTextFrame(discText(0, 0x01, QByteArray(1, '\0'), kTextKindUserFileName),
                              dir.path()));
        QVERIFY(!DiscTextFrame(discText(0, 0x03, "Two bits", kTextKindUserFileName), dir.path(),
                               &error));
        QVERIFY(error.contains("no single user file"));
        const QString ufn = dir.filePath("ufn.txt");
        QVERIFY(userfiles::writeDefaults(ufn));
        QVERIFY(handOverTitleRecords(dir.path(), ufn, &error));
        QVERIFY(!QFile::exists(received));
        // A name never sent leaves an empty record.
        QCOMPARE(userfiles::read(ufn),
                 (QStringList{"USER FILE 1", "", "Jazz nights", "", "", "", "", "Road trip"}));

        QVERIFY(DiscTextFrame(discText(1, 1, "x", kTextKindDisc), dir.path()));
        clearTitleRecords(dir.path());
        QVERIFY(!QFile::exists(received));
    }
};

QTEST_GUILESS_MAIN(TestTitleRecords)
#include "tst_titlerecords.moc"
