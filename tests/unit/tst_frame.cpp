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

// The BCD byte of a value 0..99.
quint8 bcd(int v) {
    return static_cast<quint8>(((v / 10) << 4) | (v % 10));
}

// A plausible start time for entry k of a long disc: all three fields move.
TocTime tocTimeFor(int k) {
    return {static_cast<quint8>(k % 80), static_cast<quint8>((k * 7) % 60),
            static_cast<quint8>((k * 13) % 75)};
}

QByteArray tocBytes(int fromEntry, int count) {
    QByteArray out;
    for (int k = fromEntry; k < fromEntry + count; ++k) {
        const TocTime t = tocTimeFor(k);
        out.append(static_cast<char>(bcd(t.minutes)));
        out.append(static_cast<char>(bcd(t.seconds)));
        out.append(static_cast<char>(bcd(t.frames)));
    }
    return out;
}

Frame frameOf(int cmd, const QByteArray& data) {
    return Frame{static_cast<quint8>(cmd), data};
}

// Each single-value decoder reduced to a list of numbers; empty = rejected.
QList<int> decodeBy(const QString& decoder, const Frame& f) {
    auto one = [](auto value) {
        return value ? QList<int>{int(*value)} : QList<int>{};
    };
    if (decoder == "minMaxTno") {
        const auto v = decodeMinMaxTno(f);
        return v ? QList<int>{v->lowest, v->highest, v->third} : QList<int>{};
    }
    if (decoder == "playStatus") {
        const auto v = decodePlayStatus(f);
        return v ? QList<int>{v->disc,         v->track,   v->programStep, v->musicType,
                              v->userFileBits, v->status7, v->playMode,    v->repeat}
                 : QList<int>{};
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
    void builtFrames_data();
    void builtFrames();
    void checksum_data();
    void checksum();
    void parse_data();
    void parse();
    void roundTrip_data();
    void roundTrip();
    void oversizedFramesAreNotBuilt();
    void titleFrame_data();
    void titleFrame();
    void bcd_data();
    void bcd();
    void handshakeReply_data();
    void handshakeReply();
    void singleValueReplies_data();
    void singleValueReplies();
    void programListReply_data();
    void programListReply();
    void textFrame_data();
    void textFrame();
    void userFileMask_data();
    void userFileMask();
    void discIdBlock();
    void discIdSplitOverTwoBlocks();
    void discIdAssembly_data();
    void discIdAssembly();
};

void TestFrame::builtFrames_data() {
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("handshake") << buildHandshake() << hex("02 00 06 00 49 27 6D 20 50 43 6A");
    QTest::newRow("disc 5 identifier request")
        << buildDataRequest(kRequestDiscId, 5) << hex("02 03 07 00 00 04 05 00 00 00 00 ED");
    QTest::newRow("LEN 0, CMD 0x00") << buildFrame(0x00, {}) << hex("02 00 00 00 00");
    QTest::newRow("LEN 0, CMD 0x12") << buildFrame(0x12, {}) << hex("02 12 00 00 EE");
    QTest::newRow("sum a multiple of 256")
        << buildFrame(0x0A, bytes({0xF4, 0x00})) << hex("02 0A 02 00 F4 00 00");
    QTest::newRow("key code high byte first")
        << buildKeyCode(0x1234) << hex("02 0A 02 00 12 34 AE");
    QTest::newRow("play disc 12") << buildPlayRequest(12, 3, 1)
                                  << hex("02 0B 04 00 0C 00 03 01 E1");
    QTest::newRow("play mode") << buildPlayModeRequest(2, 1) << hex("02 0C 02 00 02 01 EF");
    QTest::newRow("program of 0 steps") << buildProgramList({}) << hex("02 0D 01 00 00 F2");
    QTest::newRow("program with a whole disc")
        << buildProgramList({{7, 12}, {123, kWholeDiscTrack}})
        << hex("02 0D 07 00 02 07 00 0C 7B 00 AA B2");
    QTest::newRow("track 100 goes as whole disc")
        << buildProgramList({{7, 12}, {123, 100}}) << hex("02 0D 07 00 02 07 00 0C 7B 00 AA B2");
    QTest::newRow("empty title") << buildTitleFrame(5, 0, 0x81, kTextKindDisc, 20, QString())
                                 << hex("02 FE 08 00 05 00 00 81 00 14 00 01 5F");
    QTest::newRow("track title, disc 300") << buildTitleFrame(300, 3, 0, kTextKindTrack, 0, "Hey")
                                           << hex("02 FE 0A 00 2C 01 03 00 01 00 00 48 65 79 A1");
}

void TestFrame::builtFrames() {
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
}

void TestFrame::checksum_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("checksumOk");
    QTest::addColumn<bool>("parses");

    const QByteArray good = hex("02 00 06 00 49 27 6D 20 50 43 6A");
    QTest::newRow("good") << good << true << true;
    QByteArray dataChanged = good;
    dataChanged[6] = 'n';
    QTest::newRow("one DATA byte changed") << dataChanged << false << false;
    QByteArray sumChanged = good;
    sumChanged[10] = 0x6B;
    QTest::newRow("SUM changed") << sumChanged << false << false;
    QByteArray stxChanged = good;
    stxChanged[0] = 0x03;
    // STX is not summed: only the parser's STX test refuses this one.
    QTest::newRow("STX changed") << stxChanged << true << false;
    QTest::newRow("SUM 0x00 frame") << hex("02 0A 02 00 F4 00 00") << true << true;
}

void TestFrame::checksum() {
    QFETCH(QByteArray, frame);
    QFETCH(bool, checksumOk);
    QFETCH(bool, parses);
    QCOMPARE(frameChecksumOk(frame), checksumOk);
    QCOMPARE(parseFrame(frame).has_value(), parses);
}

void TestFrame::parse_data() {
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("data");

    const int none = int(FrameError::None);
    QTest::newRow("handshake reply")
        << buildFrame(0x00, "I'm QX-517V") << none << 0x00 << QByteArray("I'm QX-517V");
    QTest::newRow("LEN 0") << hex("02 14 00 00 EC") << none << 0x14 << QByteArray();
    QTest::newRow("250 DATA bytes")
        << buildFrame(0x06, QByteArray(250, '\x11')) << none << 0x06 << QByteArray(250, '\x11');

    QTest::newRow("control byte") << hex("06") << int(FrameError::TooShort) << 0 << QByteArray();
    QTest::newRow("four bytes") << hex("02 14 00 00") << int(FrameError::TooShort) << 0
                                << QByteArray();
    QTest::newRow("a byte too many")
        << hex("02 14 00 00 EC 00") << int(FrameError::LengthMismatch) << 0 << QByteArray();
    QTest::newRow("a byte missing")
        << hex("02 13 01 00 EC") << int(FrameError::LengthMismatch) << 0 << QByteArray();
    // 251 DATA bytes whose checksum is right: refused on length alone.
    QByteArray tooLong = hex("02 06 FB 00") + QByteArray(251, '\0');
    tooLong.append(static_cast<char>(0x100 - 0x06 - 0xFB));
    QTest::newRow("LEN 251") << tooLong << int(FrameError::TooLong) << 0 << QByteArray();
    QTest::newRow("bad checksum") << hex("02 14 02 00 05 00 E6") << int(FrameError::BadChecksum)
                                  << 0 << QByteArray();
    QTest::newRow("not STX") << hex("FF 14 00 00 EC") << int(FrameError::NotStx) << 0
                             << QByteArray();
}

void TestFrame::parse() {
    QFETCH(QByteArray, unit);
    QFETCH(int, error);
    QFETCH(int, cmd);
    QFETCH(QByteArray, data);

    FrameError reason = FrameError::TooShort;
    const auto frame = parseFrame(unit, &reason);
    QCOMPARE(int(reason), error);
    QCOMPARE(frame.has_value(), error == int(FrameError::None));
    if (frame) {
        QCOMPARE(int(frame->cmd), cmd);
        QCOMPARE(frame->data, data);
    }
}

void TestFrame::roundTrip_data() {
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("handshake") << buildHandshake() << 0x00 << QByteArray("I'm PC");
    QTest::newRow("title-input check") << buildDataRequest(kRequestTitleInput, 200) << 0x03
                                       << bytes({0x80, 0x00, 0xC8, 0x00, 0, 0, 0});
    QTest::newRow("text request, all fields")
        << buildDataRequest(kRequestText.group, kRequestText.code, 0x1234, 7, kTextKindUserFileName,
                            9)
        << 0x03 << bytes({0x00, 0x01, 0x34, 0x12, 7, 7, 9});
    QTest::newRow("key code") << buildKeyCode(0xFF01) << 0x0A << bytes({0xFF, 0x01});
    QTest::newRow("play request") << buildPlayRequest(0x01C8, 0, 255) << 0x0B
                                  << bytes({0xC8, 0x01, 0, 255});
    QTest::newRow("play mode") << buildPlayModeRequest(0x80, 0x7F) << 0x0C << bytes({0x80, 0x7F});
    QTest::newRow("user-file name") << buildTitleFrame(0, 0x10, 0, kTextKindUserFileName, 0, "Jazz")
                                    << 0xFE << bytes({0, 0, 0x10, 0, 7, 0, 0, 'J', 'a', 'z', 'z'});
}

void TestFrame::roundTrip() {
    QFETCH(QByteArray, built);
    QFETCH(int, cmd);
    QFETCH(QByteArray, data);

    QCOMPARE(built.size(), data.size() + kFrameOverhead);
    const auto frame = parseFrame(built);
    QVERIFY(frame);
    QCOMPARE(int(frame->cmd), cmd);
    QCOMPARE(frame->data.toHex(' '), data.toHex(' '));
}

void TestFrame::oversizedFramesAreNotBuilt() {
    QVERIFY(buildFrame(0x06, QByteArray(251, 'x')).isEmpty());
    QCOMPARE(buildFrame(0x06, QByteArray(250, 'x')).size(), 255);

    QList<ProgramStep> steps;
    for (int i = 1; i <= kMaxProgramSteps; ++i)
        steps.append({quint16(i), quint8(i)});
    const QByteArray full = buildProgramList(steps);
    QCOMPARE(full.size(), 102);
    QCOMPARE(static_cast<quint8>(full[2]), quint8(97));
    steps.append({1, 1});
    QVERIFY(buildProgramList(steps).isEmpty());
}

void TestFrame::titleFrame_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QByteArray>("text");

    const QString alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QTest::newRow("25 characters") << alphabet.left(25) << alphabet.left(25).toLatin1();
    QTest::newRow("longer than 25 is cut") << alphabet << alphabet.left(25).toLatin1();
    QTest::newRow("empty") << QString() << hex("01");
    QTest::newRow("no-title placeholder") << "* NO TITLE *" << hex("01");
    QTest::newRow("placeholder in other case is text")
        << "* no title *" << QByteArray("* no title *");
    QTest::newRow("one character") << "X" << QByteArray("X");
    QTest::newRow("CR LF become blanks") << "Side A\r\nSide B" << QByteArray("Side A  Side B");
    QTest::newRow("tab, NUL and C1 control become blanks")
        << QString("a\tb") + QChar(0) + "c" + QChar(0x85) << QByteArray("a b c ");
    QTest::newRow("lone control character") << QString(QChar(1)) << QByteArray(" ");
    QTest::newRow("Latin-1 letter") << "Café" << QByteArray("Caf\xE9");
    QTest::newRow("euro sign") << "5 €" << QByteArray("5 \x80");
    QTest::newRow("outside the code page") << "日本" << QByteArray("??");
    QTest::newRow("emoji is one character")
        << alphabet.left(24) + QString::fromUtf8("\xF0\x9F\x98\x80") + "Z"
        << alphabet.left(24).toLatin1() + "?";
}

void TestFrame::titleFrame() {
    QFETCH(QString, title);
    QFETCH(QByteArray, text);

    const QByteArray frame = buildTitleFrame(0x0107, 12, 0x05, kTextKindTrack, 23, title);
    QCOMPARE(frame.size(), 7 + text.size() + kFrameOverhead);
    QVERIFY(frameChecksumOk(frame));
    const auto parsed = parseFrame(frame);
    QVERIFY(parsed);
    QCOMPARE(int(parsed->cmd), int(kCmdTitleFrame));
    QCOMPARE(parsed->data.left(7).toHex(' '), hex("07 01 0C 05 01 17 00").toHex(' '));
    QCOMPARE(parsed->data.mid(7).toHex(' '), text.toHex(' '));
}

void TestFrame::bcd_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("value");
    QTest::newRow("0x00") << 0x00 << 0;
    QTest::newRow("0x09") << 0x09 << 9;
    QTest::newRow("0x10") << 0x10 << 10;
    QTest::newRow("0x59") << 0x59 << 59;
    QTest::newRow("0x74") << 0x74 << 74;
    QTest::newRow("0x99") << 0x99 << 99;
    // Not BCD: the nibbles are still weighted as the changer's values are read.
    QTest::newRow("0x0A") << 0x0A << 10;
    QTest::newRow("0xFF") << 0xFF << 165;
}

void TestFrame::bcd() {
    QFETCH(int, byte);
    QFETCH(int, value);
    QCOMPARE(fromBcd(static_cast<quint8>(byte)), value);
}

void TestFrame::handshakeReply_data() {
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("exact") << 0x00 << QByteArray("I'm QX-517V") << true;
    QTest::newRow("one character differs") << 0x00 << QByteArray("I'm QX-518V") << false;
    QTest::newRow("case differs") << 0x00 << QByteArray("I'm qx-517v") << false;
    QTest::newRow("longer") << 0x00 << QByteArray("I'm QX-517V ") << false;
    QTest::newRow("our own greeting") << 0x00 << QByteArray("I'm PC") << false;
    QTest::newRow("wrong CMD") << 0x06 << QByteArray("I'm QX-517V") << false;
}

void TestFrame::handshakeReply() {
    QFETCH(int, cmd);
    QFETCH(QByteArray, data);
    QFETCH(bool, accepted);
    QCOMPARE(isHandshakeReply(frameOf(cmd, data)), accepted);
}

void TestFrame::singleValueReplies_data() {
    QTest::addColumn<QString>("decoder");
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QList<int>>("expected"); // empty: bad reply

    const QList<int> rejected;
    QTest::newRow("min/max") << "minMaxTno" << 0x04 << bytes({5, 0, 1, 12, 7}) << QList{1, 12, 7};
    QTest::newRow("min/max, longer LEN")
        << "minMaxTno" << 0x04 << bytes({5, 0, 3, 99, 0, 0xEE}) << QList{3, 99, 0};
    QTest::newRow("min/max, LEN 4") << "minMaxTno" << 0x04 << bytes({5, 0, 1, 12}) << rejected;
    QTest::newRow("min/max, wrong CMD")
        << "minMaxTno" << 0x07 << bytes({5, 0, 1, 12, 7}) << rejected;
    QTest::newRow("user file") << "userFile" << 0x07 << bytes({5, 0, 0x85}) << QList{0x85};
    QTest::newRow("user file, longer LEN")
        << "userFile" << 0x07 << bytes({5, 0, 0x01, 0xFF}) << QList{0x01};
    QTest::newRow("user file, LEN 2") << "userFile" << 0x07 << bytes({5, 0}) << rejected;
    QTest::newRow("music type") << "musicType" << 0x08 << bytes({5, 0, 28}) << QList{28};
    QTest::newRow("music type, LEN 2") << "musicType" << 0x08 << bytes({5, 0}) << rejected;
    QTest::newRow("music type, user-file CMD")
        << "musicType" << 0x07 << bytes({5, 0, 28}) << rejected;
    QTest::newRow("confirm") << "confirm" << 0x09 << bytes({0x03}) << QList{3};
    QTest::newRow("confirm, longer LEN") << "confirm" << 0x09 << bytes({0x00, 0x01}) << QList{0};
    QTest::newRow("confirm, LEN 0") << "confirm" << 0x09 << QByteArray() << rejected;
    QTest::newRow("play status") << "playStatus" << 0x12 << bytes({12, 0, 5, 2, 20, 0x81, 9, 3, 1})
                                 << QList{12, 5, 2, 20, 0x81, 9, 3, 1};
    QTest::newRow("play status, disc 256")
        << "playStatus" << 0x12 << bytes({0, 1, 99, 0, 0, 0, 0, 0, 0})
        << QList{256, 99, 0, 0, 0, 0, 0, 0};
    QTest::newRow("play status, LEN 8")
        << "playStatus" << 0x12 << bytes({12, 0, 5, 2, 20, 0x81, 9, 3}) << rejected;
    QTest::newRow("play state") << "playState" << 0x13 << bytes({3}) << QList{3};
    QTest::newRow("play state, LEN 0") << "playState" << 0x13 << QByteArray() << rejected;
    QTest::newRow("TOC ready") << "tocReady" << 0x14 << bytes({0x2C, 0x01}) << QList{300};
    QTest::newRow("TOC ready, LEN 1") << "tocReady" << 0x14 << bytes({0x2C}) << rejected;
    QTest::newRow("changer mode") << "changerMode" << 0x15 << bytes({1}) << QList{1};
    QTest::newRow("changer mode, play-state CMD")
        << "changerMode" << 0x13 << bytes({1}) << rejected;
}

void TestFrame::singleValueReplies() {
    QFETCH(QString, decoder);
    QFETCH(int, cmd);
    QFETCH(QByteArray, data);
    QFETCH(QList<int>, expected);
    QCOMPARE(decodeBy(decoder, frameOf(cmd, data)), expected);
}

void TestFrame::programListReply_data() {
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<int>>("discs");
    QTest::addColumn<QList<int>>("tracks");
    QTest::addColumn<QList<bool>>("wholeDisc");

    QTest::newRow("empty") << 0x0D << bytes({0}) << true << QList<int>() << QList<int>()
                           << QList<bool>();
    QTest::newRow("three steps") << 0x0D << bytes({3, 7, 0, 12, 123, 0, 0xAA, 0xC8, 0, 99}) << true
                                 << QList{7, 123, 200} << QList{12, 0xAA, 99}
                                 << QList{false, true, false};
    QTest::newRow("track 100 is whole disc")
        << 0x0D << bytes({1, 0x2C, 0x01, 100}) << true << QList{300} << QList{100} << QList{true};
    QTest::newRow("trailing byte accepted")
        << 0x0D << bytes({1, 1, 0, 1, 0}) << true << QList{1} << QList{1} << QList{false};
    QTest::newRow("LEN short for n") << 0x0D << bytes({2, 7, 0, 12, 8, 0}) << false << QList<int>()
                                     << QList<int>() << QList<bool>();
    QTest::newRow("LEN 0") << 0x0D << QByteArray() << false << QList<int>() << QList<int>()
                           << QList<bool>();
    QTest::newRow("wrong CMD") << 0x09 << bytes({0}) << false << QList<int>() << QList<int>()
                               << QList<bool>();
}

void TestFrame::programListReply() {
    QFETCH(int, cmd);
    QFETCH(QByteArray, data);
    QFETCH(bool, ok);
    QFETCH(QList<int>, discs);
    QFETCH(QList<int>, tracks);
    QFETCH(QList<bool>, wholeDisc);

    const auto steps = decodeProgramList(frameOf(cmd, data));
    QCOMPARE(steps.has_value(), ok);
    if (!steps)
        return;
    QList<int> gotDiscs, gotTracks;
    QList<bool> gotWhole;
    for (const ProgramStep& s : *steps) {
        gotDiscs.append(s.disc);
        gotTracks.append(s.track);
        gotWhole.append(s.wholeDisc());
    }
    QCOMPARE(gotDiscs, discs);
    QCOMPARE(gotTracks, tracks);
    QCOMPARE(gotWhole, wholeDisc);
    // What the PC would send back holds the same steps; any whole-disc value goes as 0xAA.
    const auto resent = parseFrame(buildProgramList(*steps));
    QVERIFY(resent);
    const auto again = decodeProgramList(frameOf(kReplyProgramList, resent->data));
    QVERIFY(again);
    QCOMPARE(again->size(), steps->size());
    for (qsizetype i = 0; i < steps->size(); ++i) {
        const ProgramStep& s = steps->at(i);
        QCOMPARE(again->at(i), (ProgramStep{s.disc, s.wholeDisc() ? kWholeDiscTrack : s.track}));
    }
}

void TestFrame::textFrame_data() {
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("disc");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("userFileByte");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("musicType");
    QTest::addColumn<bool>("beginsEntry");
    QTest::addColumn<int>("status"); // -1: the frame carries text
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("lastItem");

    // disc 5 (or 300), item, user-file byte 0x81, kind, music type 20, DATA[7], DATA[8]
    auto head = [](int disc, int item, int kind, int eighth) {
        return bytes({disc & 0xFF, disc >> 8, item, 0x81, kind, 20, 0, eighth});
    };
    QTest::newRow("disc title") << 0xFE << head(5, 0, 0, 'A') + "bbey Road" << true << 5 << 0
                                << 0x81 << 0 << 20 << true << -1 << "Abbey Road" << false;
    QTest::newRow("disc 300, no disc") << 0xFE << head(300, 0, 0, 0) << true << 300 << 0 << 0x81
                                       << 0 << 20 << true << 0 << "" << false;
    QTest::newRow("disc, no title") << 0xFE << head(5, 0, 0, 1) << true << 5 << 0 << 0x81 << 0 << 20
                                    << true << 1 << "" << false;
    QTest::newRow("disc, one-character title")
        << 0xFE << head(5, 0, 0, 'Q') << true << 5 << 0 << 0x81 << 0 << 20 << true << int('Q')
        << "Q" << false;
    QTest::newRow("disc, LEN 7") << 0xFE << head(5, 0, 0, 0).left(7) << false << 0 << 0 << 0 << 0
                                 << 0 << false << -1 << "" << false;
    QTest::newRow("code page and controls")
        << 0xFE << head(5, 0, 0, 'C') + "af\xE9\r\n\x80" << true << 5 << 0 << 0x81 << 0 << 20
        << true << -1 << "Café  €" << false;
    QTest::newRow("track, begins") << 0xFD << head(5, 3, 1, 1) + "Song" << true << 5 << 3 << 0x81
                                   << 1 << 20 << true << -1 << "Song" << false;
    QTest::newRow("track, continues") << 0xFD << head(5, 3, 1, 2) + " two" << true << 5 << 3 << 0x81
                                      << 1 << 20 << false << -1 << " two" << false;
    QTest::newRow("track, no title") << 0xFD << head(5, 4, 1, 1) + bytes({1}) << true << 5 << 4
                                     << 0x81 << 1 << 20 << true << 1 << "" << false;
    QTest::newRow("track, no title, last item")
        << 0xFD << head(5, 4, 1, 2) + bytes({1}) << true << 5 << 4 << 0x81 << 1 << 20 << false << 1
        << "" << true;
    QTest::newRow("track, no disc") << 0xFD << head(5, 1, 1, 2) + bytes({0}) << true << 5 << 1
                                    << 0x81 << 1 << 20 << false << 0 << "" << false;
    QTest::newRow("track, one character") << 0xFD << head(5, 2, 1, 1) + bytes({0xE9}) << true << 5
                                          << 2 << 0x81 << 1 << 20 << true << 0xE9 << "é" << false;
    QTest::newRow("track, LEN 8") << 0xFD << head(5, 3, 1, 1) << false << 0 << 0 << 0 << 0 << 0
                                  << false << -1 << "" << false;
    QTest::newRow("user-file name in 0xFD")
        << 0xFD << head(0, 0x04, 7, 1) + "Jazz" << true << 0 << 4 << 0x81 << 7 << 20 << true << -1
        << "Jazz" << false;
    QTest::newRow("user-file name in 0xFE")
        << 0xFE << head(0, 0x80, 7, 'R') + "ock" << true << 0 << 0x80 << 0x81 << 7 << 20 << true
        << -1 << "Rock" << false;
    QTest::newRow("wrong CMD") << 0x06 << head(5, 0, 0, 'A') + "bc" << false << 0 << 0 << 0 << 0
                               << 0 << false << -1 << "" << false;
}

void TestFrame::textFrame() {
    QFETCH(int, cmd);
    QFETCH(QByteArray, data);
    QFETCH(bool, ok);

    const auto t = decodeTextFrame(frameOf(cmd, data));
    QCOMPARE(t.has_value(), ok);
    if (!t)
        return;
    QFETCH(int, disc);
    QFETCH(int, item);
    QFETCH(int, userFileByte);
    QFETCH(int, kind);
    QFETCH(int, musicType);
    QFETCH(bool, beginsEntry);
    QFETCH(int, status);
    QFETCH(QString, text);
    QFETCH(bool, lastItem);
    QCOMPARE(t->trackLevel, cmd == 0xFD);
    QCOMPARE(int(t->disc), disc);
    QCOMPARE(int(t->item), item);
    QCOMPARE(int(t->userFileByte), userFileByte);
    QCOMPARE(int(t->kind), kind);
    QCOMPARE(int(t->musicType), musicType);
    QCOMPARE(t->beginsEntry(), beginsEntry);
    QCOMPARE(t->status ? int(*t->status) : -1, status);
    QCOMPARE(t->noDisc(), status == 0);
    QCOMPARE(t->noTitle(), status == 1);
    QCOMPARE(t->text, text);
    QCOMPARE(t->lastItemMark(), lastItem);
    // The raw bytes are the frame's tail, for readers with rules of their own for high codes.
    const int textStart = cmd == 0xFD ? 8 : 7;
    QCOMPARE(t->textBytes, (status == 0 || status == 1) ? QByteArray() : data.mid(textStart));
}

void TestFrame::userFileMask_data() {
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("userFile");
    QTest::newRow("0x01") << 0x01 << 1;
    QTest::newRow("0x04") << 0x04 << 3;
    QTest::newRow("0x80") << 0x80 << 8;
    QTest::newRow("no bit") << 0x00 << 0;
    QTest::newRow("two bits") << 0x03 << 0;
}

void TestFrame::userFileMask() {
    QFETCH(int, mask);
    QFETCH(int, userFile);
    QCOMPARE(userFileFromMask(static_cast<quint8>(mask)), userFile);
}

void TestFrame::discIdBlock() {
    // Tracks 1..3 and the lead-out; the frame goes through the full parse.
    const QByteArray data =
        bytes({7, 0, 1, 0x10, 1, 3, 0x00, 0x02, 0x00, 0x04, 0x35, 0x74, 0x10, 0x00, 0x01, 0x59,
               0x59, 0x74, 0xEE}); // one stray byte: (LEN - 6) / 3 entries
    const auto frame = parseFrame(buildFrame(kReplyDiscId, data));
    QVERIFY(frame);
    const auto block = decodeDiscIdBlock(*frame);
    QVERIFY(block);
    QVERIFY(block->isFirst());
    QCOMPARE(int(block->discInfo), 0x10);
    QCOMPARE(int(block->lowest), 1);
    QCOMPARE(int(block->highest), 3);
    const QList<TocTime> expected{{0, 2, 0}, {4, 35, 74}, {10, 0, 1}, {59, 59, 74}};
    QCOMPARE(block->entries, expected);

    const auto next = decodeDiscIdBlock(frameOf(kReplyDiscId, bytes({7, 0, 2, 0x12, 0x34, 0x56})));
    QVERIFY(next);
    QVERIFY(!next->isFirst());
    QCOMPARE(next->entries, (QList<TocTime>{TocTime{12, 34, 56}}));

    QVERIFY(!decodeDiscIdBlock(frameOf(kReplyDiscId, bytes({7, 0, 1, 0x10, 1}))));
    QVERIFY(!decodeDiscIdBlock(frameOf(kReplyDiscId, bytes({7, 0}))));
    QVERIFY(!decodeDiscIdBlock(frameOf(kReplyUserFile, data)));
    // A first block with the track range but no entries yet is well formed.
    const auto bare = decodeDiscIdBlock(frameOf(kReplyDiscId, bytes({7, 0, 1, 0, 1, 3})));
    QVERIFY(bare);
    QVERIFY(bare->entries.isEmpty());
}

void TestFrame::discIdSplitOverTwoBlocks() {
    // 99 tracks are 100 entries: 81 fit the first frame (LEN 249), the rest go in a second.
    const QByteArray first = buildFrame(kReplyDiscId, bytes({9, 0, 1, 0, 1, 99}) + tocBytes(0, 81));
    const QByteArray second = buildFrame(kReplyDiscId, bytes({9, 0, 2}) + tocBytes(81, 19));
    QCOMPARE(first.size(), 254);
    QCOMPARE(second.size(), 65);

    QVERIFY(parseFrame(first) && parseFrame(second));
    DiscIdAssembler assembler;
    const auto b1 = decodeDiscIdBlock(*parseFrame(first));
    QVERIFY(b1);
    QCOMPARE(b1->entries.size(), 81);
    QCOMPARE(assembler.add(*b1), DiscIdAssembler::Step::NeedMore);
    QVERIFY(!assembler.isComplete());
    const auto b2 = decodeDiscIdBlock(*parseFrame(second));
    QVERIFY(b2);
    QCOMPARE(b2->entries.size(), 19);
    QCOMPARE(assembler.add(*b2), DiscIdAssembler::Step::Complete);

    const DiscToc& toc = assembler.toc();
    QCOMPARE(int(toc.highest), 99);
    QCOMPARE(toc.entries.size(), 100);
    for (int k = 0; k < 100; ++k)
        QCOMPARE(toc.entries[k], tocTimeFor(k));
    // Nothing may follow a complete table.
    QCOMPARE(assembler.add(*b2), DiscIdAssembler::Step::Bad);
}

void TestFrame::discIdAssembly_data() {
    QTest::addColumn<QList<QByteArray>>("blocks"); // DATA of each 0x06 frame
    QTest::addColumn<int>("lastStep");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("firstFilled"); // index of the first entry that is not zero

    const int needMore = int(DiscIdAssembler::Step::NeedMore);
    const int complete = int(DiscIdAssembler::Step::Complete);
    const int bad = int(DiscIdAssembler::Step::Bad);
    const QByteArray head = bytes({1, 0, 1, 0});
    QTest::newRow("highest 0: no table") << QList{head + bytes({0, 0})} << complete << 0 << -1;
    QTest::newRow("lowest 3: columns below stay zero")
        << QList{head + bytes({3, 5}) + tocBytes(1, 4)} << complete << 6 << 2;
    QTest::newRow("entries past the lead-out dropped")
        << QList{head + bytes({1, 2}) + tocBytes(1, 5)} << complete << 3 << 0;
    QTest::newRow("second block still short")
        << QList{head + bytes({1, 9}) + tocBytes(1, 4), bytes({1, 0, 2}) + tocBytes(5, 3)}
        << needMore << 10 << 0;
    QTest::newRow("third block completes")
        << QList{head + bytes({1, 9}) + tocBytes(1, 4), bytes({1, 0, 2}) + tocBytes(5, 3),
                 bytes({1, 0, 3}) + tocBytes(8, 3)}
        << complete << 10 << 0;
    QTest::newRow("repeated first block starts over")
        << QList{head + bytes({1, 9}) + tocBytes(1, 4), head + bytes({1, 2}) + tocBytes(1, 3)}
        << complete << 3 << 0;
    QTest::newRow("continuation first")
        << QList{bytes({1, 0, 2}) + tocBytes(1, 3)} << bad << 0 << -1;
    QTest::newRow("lowest above highest")
        << QList{head + bytes({5, 4}) + tocBytes(1, 3)} << bad << 0 << -1;
    QTest::newRow("lowest 0") << QList{head + bytes({0, 4}) + tocBytes(1, 6)} << bad << 0 << -1;
    QTest::newRow("highest 100") << QList{head + bytes({1, 100}) + tocBytes(1, 3)} << bad << 0
                                 << -1;
}

void TestFrame::discIdAssembly() {
    QFETCH(QList<QByteArray>, blocks);
    QFETCH(int, lastStep);
    QFETCH(int, columns);
    QFETCH(int, firstFilled);

    DiscIdAssembler assembler;
    DiscIdAssembler::Step step = DiscIdAssembler::Step::Bad;
    for (const QByteArray& data : blocks) {
        const auto block = decodeDiscIdBlock(frameOf(kReplyDiscId, data));
        QVERIFY(block);
        step = assembler.add(*block);
    }
    QCOMPARE(int(step), lastStep);
    if (step == DiscIdAssembler::Step::Bad)
        return;
    const DiscToc& toc = assembler.toc();
    QCOMPARE(toc.entries.size(), columns);
    for (int i = 0; i < columns; ++i) {
        if (i < firstFilled)
            QCOMPARE(toc.entries[i], TocTime());
        else if (step == DiscIdAssembler::Step::Complete)
            QCOMPARE(toc.entries[i], tocTimeFor(i - firstFilled + 1));
    }
}

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
