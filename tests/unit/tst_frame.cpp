#include "link/frame.h"

#include <QTest>

using namespace tf;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// Table-of-contents bytes for `count` entries from `fromEntry` on: entry k starts at minute k,
// sent as the byte k (BCD up to 9; 0x0A reads as 10 as well).
QByteArray tocBytes(int fromEntry, int count) {
    QByteArray out;
    for (int k = fromEntry; k < fromEntry + count; ++k)
        out.append(char(k)).append("\0\0", 2);
    return out;
}

// What a reply decoder makes of a frame, as text; empty when it refuses the frame.
QString decodeBy(const QString& decoder, const Frame& f) {
    auto one = [](auto value) {
        return value ? QString::number(int(*value)) : QString();
    };
    if (decoder == "handshake")
        return isHandshakeReply(f) ? QStringLiteral("accepted") : QString();
    if (decoder == "minMaxTno") {
        const auto v = decodeMinMaxTno(f);
        return v ? QString::asprintf("%d %d %d", v->lowest, v->highest, v->third) : QString();
    }
    if (decoder == "playStatus") {
        const auto v = decodePlayStatus(f);
        return v ? QString::asprintf("%d %d %d %d %d %d %d %d", v->disc, v->track, v->programStep,
                                     v->musicType, v->userFileBits, v->status7, v->playMode,
                                     v->repeat)
                 : QString();
    }
    if (decoder == "program") {
        const auto v = decodeProgramList(f);
        if (!v)
            return {};
        QString out = QStringLiteral("steps");
        for (const ProgramStep& s : *v)
            out +=
                QStringLiteral(" %1/%2%3").arg(s.disc).arg(s.track).arg(s.wholeDisc() ? "*" : "");
        return out;
    }
    if (decoder == "text") {
        const auto t = decodeTextFrame(f);
        if (!t)
            return {};
        // The raw bytes are the frame's tail, for readers with rules of their own for high codes.
        const bool textless = t->status && *t->status <= 1;
        if (t->textBytes != (textless ? QByteArray() : f.data.mid(t->trackLevel ? 8 : 7)))
            return QStringLiteral("raw bytes ") + QString::fromLatin1(t->textBytes.toHex(' '));
        const QString status =
            t->status ? QStringLiteral(" status %1").arg(int(*t->status)) : QString();
        return QStringLiteral("%1 %2/%3 %4 kind %5 type %6 %7%8 \"%9\"")
                   .arg(t->trackLevel ? "FD" : "FE")
                   .arg(int(t->disc))
                   .arg(int(t->item))
                   .arg(int(t->userFileByte), 0, 16)
                   .arg(int(t->kind))
                   .arg(int(t->musicType))
                   .arg(QLatin1String(t->beginsEntry() ? "begins" : "continues"), status, t->text) +
               (t->lastItemMark() ? " last" : "");
    }
    if (decoder == "discId") {
        const auto b = decodeDiscIdBlock(f);
        if (!b)
            return {};
        QString out = QStringLiteral("block %1").arg(b->block);
        if (b->isFirst())
            out += QStringLiteral(" info %1 tracks %2-%3")
                       .arg(b->discInfo)
                       .arg(b->lowest)
                       .arg(b->highest);
        for (const TocTime& e : b->entries)
            out += QStringLiteral(" %1:%2:%3").arg(e.minutes).arg(e.seconds).arg(e.frames);
        return out;
    }
    if (decoder == "userFile")
        return one(decodeUserFile(f));
    if (decoder == "musicType")
        return one(decodeMusicType(f));
    if (decoder == "confirm")
        return one(decodeConfirm(f));
    if (decoder == "playState")
        return one(decodePlayState(f));
    if (decoder == "tocReady")
        return one(decodeTocReady(f));
    if (decoder == "changerMode")
        return one(decodeChangerMode(f));
    qFatal("unknown decoder");
}

} // namespace

class TestFrame : public QObject {
    Q_OBJECT

private slots:
    void builtFrames_data() {
        QTest::addColumn<QByteArray>("built");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("handshake") << buildHandshake() << hex("02 00 06 00 49 27 6D 20 50 43 6A");
        QTest::newRow("disc 5 identifier request")
            << buildDataRequest(kRequestDiscId, 5) << hex("02 03 07 00 00 04 05 00 00 00 00 ED");
        QTest::newRow("sum a multiple of 256")
            << buildFrame(0x0A, bytes({0xF4, 0x00})) << hex("02 0A 02 00 F4 00 00");
        QTest::newRow("text request, all fields")
            << buildDataRequest(kRequestText.group, kRequestText.code, 0x1234, 7,
                                kTextKindUserFileName, 9)
            << hex("02 03 07 00 00 01 34 12 07 07 09 98");
        QTest::newRow("key code high byte first")
            << buildKeyCode(0x1234) << hex("02 0A 02 00 12 34 AE");
        QTest::newRow("play disc 456")
            << buildPlayRequest(0x01C8, 0, 255) << hex("02 0B 04 00 C8 01 00 FF 29");
        QTest::newRow("play mode") << buildPlayModeRequest(2, 1) << hex("02 0C 02 00 02 01 EF");
        QTest::newRow("track 100 goes as whole disc") << buildProgramList({{7, 12}, {123, 100}})
                                                      << hex("02 0D 07 00 02 07 00 0C 7B 00 AA B2");
        // Frames the changer could not take are not built at all.
        QTest::newRow("251 DATA bytes") << buildFrame(0x06, QByteArray(251, 'x')) << QByteArray();
        QList<ProgramStep> steps(kMaxProgramSteps, {1, 1});
        QTest::newRow("program of the most steps, head")
            << buildProgramList(steps).left(5) << hex("02 0D 61 00 20");
        steps.append({1, 1});
        QTest::newRow("program of a step more") << buildProgramList(steps) << QByteArray();

        // A title of track 12 of disc 263, user-file byte 0x05, music type 23, as the changer
        // stores it: the text after seven bytes of head, or 0x01 for no title.
        auto title = [](const QString& text) {
            return buildTitleFrame(0x0107, 12, 0x05, kTextKindTrack, 23, text);
        };
        auto stored = [](const QByteArray& text) {
            return buildFrame(kCmdTitleFrame, hex("07 01 0C 05 01 17 00") + text);
        };
        const QString alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        QTest::newRow("title longer than 25 is cut")
            << title(alphabet) << stored(alphabet.left(25).toLatin1());
        QTest::newRow("empty title") << title(QString()) << stored(hex("01"));
        QTest::newRow("no-title placeholder") << title("* NO TITLE *") << stored(hex("01"));
        QTest::newRow("placeholder in other case is text")
            << title("* no title *") << stored("* no title *");
        QTest::newRow("CR LF become blanks")
            << title("Side A\r\nSide B") << stored("Side A  Side B");
        QTest::newRow("emoji is one character")
            << title(alphabet.left(24) + QString::fromUtf8("\xF0\x9F\x98\x80") + "Z")
            << stored(alphabet.left(24).toLatin1() + "?");
    }

    void builtFrames() {
        QFETCH(QByteArray, built);
        QFETCH(QByteArray, expected);
        QCOMPARE(built.toHex(' '), expected.toHex(' '));
    }

    void parse_data() {
        QTest::addColumn<QByteArray>("unit");
        QTest::addColumn<FrameError>("error");
        QTest::addColumn<QByteArray>("cmdAndData"); // what the parse gives, CMD first

        using E = FrameError;
        QTest::newRow("LEN 0") << hex("02 14 00 00 EC") << E::None << hex("14");
        QTest::newRow("250 DATA bytes") << buildFrame(0x06, QByteArray(250, '\x11')) << E::None
                                        << hex("06") + QByteArray(250, '\x11');
        QTest::newRow("a byte too many")
            << hex("02 14 00 00 EC 00") << E::LengthMismatch << QByteArray();
        // 251 DATA bytes whose checksum is right: refused on length alone.
        QTest::newRow("LEN 251") << hex("02 06 FB 00") + QByteArray(251, '\0') + '\xFF'
                                 << E::TooLong << QByteArray();
        QTest::newRow("one DATA byte changed")
            << hex("02 00 06 00 49 27 6E 20 50 43 6A") << E::BadChecksum << QByteArray();
        // The checksum is tested first, and STX is not summed.
        QTest::newRow("not STX") << hex("FF 14 00 00 EC") << E::NotStx << QByteArray();
    }

    void parse() {
        QFETCH(QByteArray, unit);
        QFETCH(FrameError, error);
        QFETCH(QByteArray, cmdAndData);

        FrameError reason = FrameError::TooShort;
        const auto frame = parseFrame(unit, &reason);
        QCOMPARE(int(reason), int(error));
        QCOMPARE(frame.has_value(), error == FrameError::None);
        if (frame)
            QCOMPARE(char(frame->cmd) + frame->data, cmdAndData);
    }

    void bcd() {
        QCOMPARE(fromBcd(0x99), 99);
        // Not BCD: the nibbles are still weighted as the changer's values are read.
        QCOMPARE(fromBcd(0xFF), 165);
    }

    void replies_data() {
        QTest::addColumn<QString>("decoder");
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("decoded"); // empty: a bad reply

        auto row = [](const char* name, const char* decoder, int cmd, const QByteArray& data,
                      const QString& decoded) {
            QTest::newRow(name) << QString(decoder) << cmd << data << decoded;
        };
        const QString no;
        row("handshake, exact", "handshake", 0x00, "I'm QX-517V", "accepted");
        row("handshake, longer", "handshake", 0x00, "I'm QX-517V ", no);

        row("min/max", "minMaxTno", 0x04, bytes({5, 0, 1, 12, 7}), "1 12 7");
        row("min/max, longer LEN", "minMaxTno", 0x04, bytes({5, 0, 3, 99, 0, 0xEE}), "3 99 0");
        row("min/max, LEN 4", "minMaxTno", 0x04, bytes({5, 0, 1, 12}), no);
        row("user file", "userFile", 0x07, bytes({5, 0, 0x85}), "133");
        row("user file, LEN 2", "userFile", 0x07, bytes({5, 0}), no);
        row("music type", "musicType", 0x08, bytes({5, 0, 28}), "28");
        row("music type, LEN 2", "musicType", 0x08, bytes({5, 0}), no);
        row("music type, user-file CMD", "musicType", 0x07, bytes({5, 0, 28}), no);
        row("confirm", "confirm", 0x09, bytes({0x03}), "3");
        row("confirm, LEN 0", "confirm", 0x09, QByteArray(), no);
        row("play status", "playStatus", 0x12, bytes({12, 0, 5, 2, 20, 0x81, 9, 3, 1}),
            "12 5 2 20 129 9 3 1");
        row("play status, LEN 8", "playStatus", 0x12, bytes({12, 0, 5, 2, 20, 0x81, 9, 3}), no);
        row("play state", "playState", 0x13, bytes({3}), "3");
        row("play state, LEN 0", "playState", 0x13, QByteArray(), no);
        row("TOC ready", "tocReady", 0x14, bytes({0x2C, 0x01}), "300");
        row("TOC ready, LEN 1", "tocReady", 0x14, bytes({0x2C}), no);
        row("changer mode", "changerMode", 0x15, bytes({1}), "1");

        // Track 100 and up is the whole disc (*).
        row("program, empty", "program", 0x0D, bytes({0}), "steps");
        row("program, three steps", "program", 0x0D,
            bytes({3, 7, 0, 12, 0x2C, 0x01, 100, 0xC8, 0, 99}), "steps 7/12 300/100* 200/99");
        row("program, trailing byte", "program", 0x0D, bytes({1, 1, 0, 1, 0}), "steps 1/1");
        row("program, LEN short for n", "program", 0x0D, bytes({2, 7, 0, 12, 8, 0}), no);
        row("program, LEN 0", "program", 0x0D, QByteArray(), no);

        // disc 5 (or 300), item, user-file byte 0x81, kind, music type 20, DATA[7], DATA[8]
        auto head = [](int disc, int item, int kind, int eighth) {
            return bytes({disc & 0xFF, disc >> 8, item, 0x81, kind, 20, 0, eighth});
        };
        row("disc 300, no disc", "text", 0xFE, head(300, 0, 0, 0),
            "FE 300/0 81 kind 0 type 20 begins status 0 \"\"");
        row("disc, LEN 7", "text", 0xFE, head(5, 0, 0, 0).left(7), no);
        row("code page and controls", "text", 0xFE, head(5, 0, 0, 'C') + "af\xE9\r\n\x80",
            "FE 5/0 81 kind 0 type 20 begins \"Café  €\"");
        row("track, continues", "text", 0xFD, head(5, 3, 1, 2) + " two",
            "FD 5/3 81 kind 1 type 20 continues \" two\"");
        row("track, no title, last item", "text", 0xFD, head(5, 4, 1, 2) + bytes({1}),
            "FD 5/4 81 kind 1 type 20 continues status 1 \"\" last");
        row("track, one character", "text", 0xFD, head(5, 2, 1, 1) + bytes({0xE9}),
            "FD 5/2 81 kind 1 type 20 begins status 233 \"é\"");
        row("track, LEN 8", "text", 0xFD, head(5, 3, 1, 1), no);
        row("text, wrong CMD", "text", 0x06, head(5, 0, 0, 'A') + "bc", no);

        // A first block: tracks 1..3 and the lead-out, and one stray byte: (LEN - 6) / 3 entries.
        row("disc id, first block", "discId", 0x06,
            bytes({7, 0, 1, 0x10, 1, 3, 0x00, 0x02, 0x00, 0x04, 0x35, 0x74, 0x10, 0x00, 0x01, 0x59,
                   0x59, 0x74, 0xEE}),
            "block 1 info 16 tracks 1-3 0:2:0 4:35:74 10:0:1 59:59:74");
        row("disc id, next block", "discId", 0x06, bytes({7, 0, 2, 0x12, 0x34, 0x56}),
            "block 2 12:34:56");
        row("disc id, first block short", "discId", 0x06, bytes({7, 0, 1, 0x10, 1}), no);
        row("disc id, LEN 2", "discId", 0x06, bytes({7, 0}), no);
    }

    void replies() {
        QFETCH(QString, decoder);
        QFETCH(int, cmd);
        QFETCH(QByteArray, data);
        QFETCH(QString, decoded);
        QCOMPARE(decodeBy(decoder, Frame{static_cast<quint8>(cmd), data}), decoded);
    }

    void discIdAssembly_data() {
        QTest::addColumn<QList<QByteArray>>("blocks"); // DATA of each 0x06 frame
        QTest::addColumn<int>("columns");              // of the complete table; 0: the last is bad
        QTest::addColumn<int>("firstFilled");          // index of the first entry that is not zero

        const QByteArray head = bytes({1, 0, 1, 0});
        // 99 tracks in two blocks, and an empty slot: tst_link reads them.
        QTest::newRow("lowest 3: columns below stay zero")
            << QList{head + bytes({3, 5}) + tocBytes(1, 4)} << 6 << 2;
        QTest::newRow("entries past the lead-out dropped")
            << QList{head + bytes({1, 2}) + tocBytes(1, 5)} << 3 << 0;
        QTest::newRow("third block completes")
            << QList{head + bytes({1, 9}) + tocBytes(1, 4), bytes({1, 0, 2}) + tocBytes(5, 3),
                     bytes({1, 0, 3}) + tocBytes(8, 3)}
            << 10 << 0;
        QTest::newRow("nothing after a complete table")
            << QList{head + bytes({1, 2}) + tocBytes(1, 3), bytes({1, 0, 2}) + tocBytes(4, 1)} << 0
            << 0;
        QTest::newRow("repeated first block starts over")
            << QList{head + bytes({1, 9}) + tocBytes(1, 4), head + bytes({1, 2}) + tocBytes(1, 3)}
            << 3 << 0;
        QTest::newRow("continuation first") << QList{bytes({1, 0, 2}) + tocBytes(1, 3)} << 0 << 0;
        QTest::newRow("lowest above highest")
            << QList{head + bytes({5, 4}) + tocBytes(1, 3)} << 0 << 0;
        QTest::newRow("lowest 0") << QList{head + bytes({0, 4}) + tocBytes(1, 6)} << 0 << 0;
        QTest::newRow("highest 100") << QList{head + bytes({1, 100}) + tocBytes(1, 3)} << 0 << 0;
    }

    void discIdAssembly() {
        QFETCH(QList<QByteArray>, blocks);
        QFETCH(int, columns);
        QFETCH(int, firstFilled);

        DiscIdAssembler assembler;
        auto step = DiscIdAssembler::Step::Bad;
        for (const QByteArray& data : blocks) {
            const auto block = decodeDiscIdBlock(Frame{kReplyDiscId, data});
            QVERIFY(block);
            step = assembler.add(*block);
        }
        using Step = DiscIdAssembler::Step;
        QCOMPARE(int(step), int(columns ? Step::Complete : Step::Bad));
        if (columns == 0)
            return;
        const DiscToc& toc = assembler.toc();
        QCOMPARE(toc.entries.size(), columns);
        for (int i = 0; i < columns; ++i)
            QCOMPARE(toc.entries[i],
                     (i < firstFilled ? TocTime() : TocTime{quint8(i - firstFilled + 1), 0, 0}));
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
