// The link against a scripted far end on a real pseudo-terminal: every byte the changer
// sends is chosen by the test, so each edge of the protocol can be reached exactly.

#include "base/catalogue.h"
#include "common/linkhelpers.h"
#include "common/linktestaccess.h"
#include "common/ptypeer.h"
#include "common/scriptedui.h"
#include "link/frame.h"
#include "link/link.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <optional>
#include <stdexcept>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace tf;
using test::PtyPeer;
using test::ScriptedUi;

namespace {

const QByteArray kAckB(1, char(kAck));
const QByteArray kEotB(1, char(kEot));
const QByteArray kEnqB(1, char(kEnq));
const QByteArray kNakB(1, char(kNak));

bool isControl(const QByteArray& unit, quint8 byte) {
    return unit.size() == 1 && quint8(unit.at(0)) == byte;
}
bool isFrame(const QByteArray& unit, quint8 cmd) {
    return unit.size() > 1 && quint8(unit.at(1)) == cmd;
}

QByteArray handshakeReply(const QByteArray& text = "I'm QX-517V") {
    return buildFrame(kReplyHandshake, text);
}

QByteArray corrupt(QByteArray frame) {
    frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x01);
    return frame;
}

// Short time-outs so failures come quickly; the steps and counts are those of the product.
LinkTimings fastTimings() {
    LinkTimings t = test::shortTimings(600);
    t.enqMs = 60;
    t.controlMs = 120;
    t.reconnectMs = 200;
    return t;
}

// A well-behaved changer for the handshake; a test adds its own answers for the rest.
struct Changer {
    PtyPeer peer;
    QByteArray modelText = "I'm QX-517V";
    bool sendClosingEot = true;
    bool coalesce = true; // ACK and reply frame in one write
    std::function<void(const QByteArray&)> after;
    bool handshakeDone = false;
    bool awaitingClose = false;

    Changer() {
        peer.onUnit = [this](const QByteArray& u) {
            if (handshakeDone) {
                if (after)
                    after(u);
                return;
            }
            if (isControl(u, kEnq)) {
                peer.write(kAckB);
            } else if (isFrame(u, kCmdHandshake)) {
                if (coalesce) {
                    peer.write(kAckB + handshakeReply(modelText));
                } else {
                    peer.write(kAckB);
                    peer.write(handshakeReply(modelText));
                }
                awaitingClose = true;
            } else if (isControl(u, kAck) && awaitingClose) {
                awaitingClose = false;
                if (sendClosingEot)
                    peer.write(kEotB);
            } else if (isControl(u, kAck)) {
                handshakeDone = true; // our EOT was acknowledged
            }
        };
    }
};

// A changer answering one data request with `frames`, then closing with EOT.
void answerRequest(Changer& c, QList<QByteArray> frames) {
    auto index = std::make_shared<int>(0);
    c.after = [&c, frames, index](const QByteArray& u) {
        if (isControl(u, kEnq)) {
            c.peer.write(kAckB);
        } else if (isFrame(u, kCmdDataRequest)) {
            c.peer.write(kAckB + frames.value(0));
            *index = 1;
        } else if (isControl(u, kAck) && *index > 0) {
            if (*index < frames.size())
                c.peer.write(frames.at((*index)++));
            else if (*index == frames.size()) {
                c.peer.write(kEotB);
                ++*index;
            }
        }
    };
}

QByteArray discIdFrame(int block, const QByteArray& body) {
    QByteArray data("\x00\x00", 2);
    data.append(char(block));
    data.append(body);
    return buildFrame(kReplyDiscId, data);
}

quint8 bcd(int v) {
    return quint8(((v / 10) << 4) | (v % 10));
}

// A 99-track table: first block with 81 entries, the second with the remaining 19.
QList<QByteArray> ninetyNineTrackId() {
    QByteArray entries;
    for (int k = 0; k < 100; ++k) {
        const int seconds = 2 + k * 40;
        entries.append(char(bcd(seconds / 60)));
        entries.append(char(bcd(seconds % 60)));
        entries.append(char(bcd(k % 75)));
    }
    QByteArray first("\x10\x01\x63", 3); // CD TEXT, tracks 1..99
    first.append(entries.left(81 * 3));
    return {discIdFrame(1, first), discIdFrame(2, entries.mid(81 * 3))};
}

} // namespace

class TestLink : public QObject {
    Q_OBJECT
private slots:
    void handshakeSucceeds_data();
    void handshakeSucceeds();
    void handshakeFailures_data();
    void handshakeFailures();
    void handshakeBadChecksumThenGood();
    void portThatCannotOpen();
    void longWaitEndsOnTime();
    void lineSettings();
    void readDiscIdNinetyNineTracks();
    void readDiscIdWithoutTracks();
    void singleValueReplies();
    void silentChangerGivesUpAfterFourEnqs();
    void requestNakedFourTimes();
    void badChecksumThenGoodReply();
    void refusalAnswersAckAndFails();
    void shortReplyIsBad();
    void confirmTitleInputFailureReturnsZero();
    void keyCodeWithoutClosingAck();
    void commandSucceeds();
    void pushedExchangeStoresValues();
    void pushedExchangeWithoutFrameTimesOut();
    void pushedBadFrameIsNaked();
    void garbageAndOversizedFramesAreSkipped();
    void hangUpAfterLinkUpAsksToClose();
    void hangUpBeforeHandshakeRetriesLater();
    void holdGivesTheLinkBackOnEveryExit_data();
    void holdGivesTheLinkBackOnEveryExit();
    void holdWhileOfflineStaysOffline();
    void freeLinkWaitsForTheHolder();
    void boundedWaitEndsAtItsTimeOut();
    void commandInProgressAnnouncesChanges();

private:
    struct Fixture {
        ScriptedUi ui;
        Changer changer;
        Link link{ui};
        Fixture() { link.setTimings(fastTimings()); }
        bool open() { return link.openDevice(changer.peer.slavePath()) == 0; }
        bool up() {
            if (!open())
                return false;
            link.RS232C_Changer_INIT();
            LinkTestAccess::setLinkEstablished(link, link.linkBusy() == kLinkIdle);
            // Let the changer see our last ACK before a test starts counting units.
            return link.linkState() == kLinkUp &&
                   QTest::qWaitFor([this] { return changer.handshakeDone; }, 2000);
        }
    };
};

void TestLink::handshakeSucceeds_data() {
    QTest::addColumn<bool>("coalesce");
    QTest::newRow("ack and reply in one read") << true;
    QTest::newRow("ack and reply apart") << false;
}

void TestLink::handshakeSucceeds() {
    QFETCH(bool, coalesce);
    Fixture f;
    f.changer.coalesce = coalesce;
    QVERIFY(f.changer.peer.isOpen());
    QVERIFY(f.open());
    f.link.RS232C_Changer_INIT();
    QCOMPARE(f.link.linkState(), kLinkUp);
    QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));
    QCOMPARE(f.link.lastResult(), kResultOk);
    QCOMPARE(f.link.maxDiscCount(), qint16(200));
    QCOMPARE(f.link.modeCode(), qint16(0));
    QVERIFY(f.link.pollRunning());
    QVERIFY(f.ui.shown.isEmpty());
    QCOMPARE(f.changer.peer.countFrames(kCmdHandshake), 1);
    QCOMPARE(f.changer.peer.received.first(), kEnqB);
    QCOMPARE(f.changer.peer.received.at(1), buildHandshake());
}

void TestLink::handshakeFailures_data() {
    QTest::addColumn<QByteArray>("model");
    QTest::addColumn<bool>("closingEot");
    QTest::addColumn<bool>("eotSent");
    QTest::newRow("wrong case") << QByteArray("I'm qx-517V") << true << true;
    QTest::newRow("one character off") << QByteArray("I'm QX-517X") << true << true;
    QTest::newRow("too long") << QByteArray("I'm QX-517VV") << true << true;
    QTest::newRow("no closing EOT") << QByteArray("I'm QX-517V") << false << true;
}

void TestLink::handshakeFailures() {
    QFETCH(QByteArray, model);
    QFETCH(bool, closingEot);
    QFETCH(bool, eotSent);
    Fixture f;
    f.changer.modelText = model;
    f.changer.sendClosingEot = closingEot;
    QVERIFY(f.open());
    f.link.RS232C_Changer_INIT();
    QCOMPARE(f.link.linkState(), kLinkFailed);
    QCOMPARE(f.link.linkBusy(), qint16(kLinkOffline));
    QCOMPARE(f.link.lastResult(), kResultOk); // the failure has been reported
    QCOMPARE(f.ui.texts("message"), QStringList{msg(336)});
    QCOMPARE(f.ui.shown.first().title, msg(337));
    QCOMPARE(f.changer.peer.count(kEot) > 0, eotSent);
    QVERIFY(!f.link.pollRunning());
}

void TestLink::handshakeBadChecksumThenGood() {
    Fixture f;
    bool first = true;
    f.changer.peer.onUnit = [&](const QByteArray& u) {
        if (isControl(u, kEnq))
            f.changer.peer.write(kAckB);
        else if (isFrame(u, kCmdHandshake))
            f.changer.peer.write(kAckB + corrupt(handshakeReply()));
        else if (isControl(u, kNak) && first) {
            first = false;
            f.changer.peer.write(handshakeReply());
        } else if (isControl(u, kAck))
            f.changer.peer.write(kEotB);
    };
    QVERIFY(f.open());
    f.link.RS232C_Changer_INIT();
    QCOMPARE(f.link.linkState(), kLinkUp);
    QCOMPARE(f.changer.peer.count(kNak), 1);
    QVERIFY(f.ui.shown.isEmpty());
}

void TestLink::portThatCannotOpen() {
    ScriptedUi ui;
    Link link(ui);
    QCOMPARE(link.openDevice("/nonexistent/tty"), 1);
    QCOMPARE(ui.texts("message"), QStringList{msg(366) + "\r" + msg(367)});
    QCOMPARE(ui.shown.first().title, msg(368));
    QVERIFY(!link.isOpen());
}

void TestLink::longWaitEndsOnTime() {
    // Waits of 20 s and more (the table of contents is awaited for 45 s) must not be rounded
    // to whole seconds as Qt's default timers are: this one would end 250 ms early.
    ScriptedUi ui;
    Link link(ui);
    link.setOperationRunning(true);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!link.waitForToc(7, 20250));
    const qint64 waited = clock.elapsed();
    QVERIFY2(waited >= 20250 && waited < 20250 + 150, qPrintable(QString::number(waited)));
}

void TestLink::lineSettings() {
    // What the port was set to, read back from the terminal the link opened: 9600 baud,
    // 8 data bits, no parity, 2 stop bits, no flow control of either kind.
    Fixture f;
    QVERIFY(f.open());
    const int fd = ::open(f.changer.peer.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    termios t{};
    const int got = tcgetattr(fd, &t);
    ::close(fd);
    QCOMPARE(got, 0);
    QCOMPARE(cfgetospeed(&t), speed_t(B9600));
    QCOMPARE(cfgetispeed(&t), speed_t(B9600));
    QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
    QVERIFY(t.c_cflag & CSTOPB);
    QVERIFY(!(t.c_cflag & PARENB));
    QVERIFY(!(t.c_cflag & CRTSCTS));
    QVERIFY(!(t.c_iflag & (IXON | IXOFF)));
}

void TestLink::readDiscIdNinetyNineTracks() {
    Fixture f;
    QVERIFY(f.up());
    answerRequest(f.changer, ninetyNineTrackId());
    DiscToc toc;
    QVERIFY(f.link.ReadDiscId(5, toc));
    QCOMPARE(f.link.lastResult(), kResultOk);
    QCOMPARE(toc.discInfo, quint8(0x10));
    QCOMPARE(toc.lowest, quint8(1));
    QCOMPARE(toc.highest, quint8(99));
    QCOMPARE(toc.entries.size(), 100);
    QCOMPARE(toc.entries.at(99).minutes, quint8((2 + 99 * 40) / 60)); // the lead-out
    QCOMPARE(toc.entries.at(99).seconds, quint8((2 + 99 * 40) % 60));
    QCOMPARE(toc.entries.at(80).frames, quint8(80 % 75)); // last entry of the first block
    QCOMPARE(f.changer.peer.countFrames(kCmdDataRequest), 1);
    QVERIFY(f.changer.peer.received.contains(buildDataRequest(kRequestDiscId, 5)));
    QVERIFY(f.ui.shown.isEmpty());
}

void TestLink::readDiscIdWithoutTracks() {
    Fixture f;
    QVERIFY(f.up());
    answerRequest(f.changer, {discIdFrame(1, QByteArray("\x00\x00\x00", 3))});
    DiscToc toc;
    toc.highest = 7;
    QVERIFY(f.link.ReadDiscId(0, toc));
    QCOMPARE(toc.highest, quint8(0));
    QVERIFY(toc.entries.isEmpty());
}

void TestLink::singleValueReplies() {
    Fixture f;
    QVERIFY(f.up());
    answerRequest(f.changer, {buildFrame(kReplyUserFile, QByteArray("\x00\x00\x05", 3))});
    quint8 userFile = 0;
    QVERIFY(f.link.ReadUserFile(0, userFile));
    QCOMPARE(userFile, quint8(0x05));

    // A longer LEN is accepted.
    answerRequest(f.changer, {buildFrame(kReplyMusicType, QByteArray("\x00\x00\x0e\x00", 4))});
    quint8 musicType = 0;
    QVERIFY(f.link.ReadMusicType(0, musicType));
    QCOMPARE(musicType, quint8(14));

    answerRequest(f.changer, {buildFrame(kReplyMinMaxTno, QByteArray("\x00\x00\x02\x0c\x09", 5))});
    MinMaxTno range;
    QVERIFY(f.link.ReadMinMaxTno(0, range));
    QCOMPARE(range.lowest, quint8(2));
    QCOMPARE(range.highest, quint8(12));
    QCOMPARE(range.third, quint8(9));

    answerRequest(f.changer, {buildFrame(kReplyConfirm, QByteArray("\x01", 1))});
    QCOMPARE(f.link.ConfirmTitleInput(0), 1);
    answerRequest(f.changer, {buildFrame(kReplyConfirm, QByteArray("\x02", 1))});
    QCOMPARE(f.link.ConfirmTitleInput(0), 0); // bit 0 clear: refused
    QCOMPARE(f.link.lastResult(), kResultOk);

    answerRequest(f.changer, {buildFrame(kReplyConfirm, QByteArray("\x02", 1))});
    quint8 answer = 0;
    QVERIFY(f.link.ConfirmRequest({0x40, 0x00}, 0, answer));
    QCOMPARE(answer, quint8(2));
    QVERIFY(f.changer.peer.received.contains(buildDataRequest(0x40, 0x00, 0)));

    const QList<ProgramStep> steps{{12, 3}, {7, 100}};
    QByteArray program("\x02\x0c\x00\x03\x07\x00\x64", 7);
    answerRequest(f.changer, {buildFrame(kReplyProgramList, program)});
    QList<ProgramStep> read;
    QVERIFY(f.link.ReadProgramList(read));
    QCOMPARE(read, steps);
    QVERIFY(f.ui.shown.isEmpty());
}

void TestLink::silentChangerGivesUpAfterFourEnqs() {
    Fixture f;
    QVERIFY(f.up());
    f.changer.after = nullptr; // says nothing at all
    const int before = f.changer.peer.count(kEnq);
    DiscToc toc;
    QVERIFY(!f.link.ReadDiscId(0, toc));
    QCOMPARE(f.link.lastResult(), kResultFailed);
    QCOMPARE(f.changer.peer.count(kEnq) - before, 4);
    QCOMPARE(f.changer.peer.received.last(), kEotB);
    QCOMPARE(f.ui.texts("error"), QStringList{msg(428)});
    QCOMPARE(f.ui.shown.last().title, msg(429));
    QCOMPARE(f.ui.shown.last().number, 0); // the countdown the test set
    QCOMPARE(f.link.currentTransaction(), qint16(0));
    QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));
}

void TestLink::requestNakedFourTimes() {
    Fixture f;
    QVERIFY(f.up());
    f.changer.after = [&](const QByteArray& u) {
        if (isControl(u, kEnq))
            f.changer.peer.write(kAckB);
        else if (isFrame(u, kCmdDataRequest))
            f.changer.peer.write(kNakB);
    };
    quint8 value = 0;
    QVERIFY(!f.link.ReadUserFile(0, value));
    QCOMPARE(f.changer.peer.countFrames(kCmdDataRequest), 4);
    QCOMPARE(f.ui.texts("error"), QStringList{msg(430)});
}

void TestLink::badChecksumThenGoodReply() {
    Fixture f;
    QVERIFY(f.up());
    const QByteArray good = buildFrame(kReplyMusicType, QByteArray("\x00\x00\x07", 3));
    bool naked = false;
    f.changer.after = [&](const QByteArray& u) {
        if (isControl(u, kEnq))
            f.changer.peer.write(kAckB);
        else if (isFrame(u, kCmdDataRequest))
            f.changer.peer.write(kAckB + corrupt(good));
        else if (isControl(u, kNak)) {
            naked = true;
            f.changer.peer.write(good);
        } else if (isControl(u, kAck))
            f.changer.peer.write(kEotB);
    };
    quint8 value = 0;
    QVERIFY(f.link.ReadMusicType(0, value));
    QVERIFY(naked);
    QCOMPARE(value, quint8(7));
    QCOMPARE(f.changer.peer.count(kNak), 1);
}

void TestLink::refusalAnswersAckAndFails() {
    Fixture f;
    QVERIFY(f.up());
    f.changer.after = [&](const QByteArray& u) {
        if (isControl(u, kEnq))
            f.changer.peer.write(kAckB);
        else if (isFrame(u, kCmdDataRequest))
            f.changer.peer.write(kEotB);
    };
    const int acksBefore = f.changer.peer.count(kAck);
    MinMaxTno range;
    QVERIFY(!f.link.ReadMinMaxTno(0, range));
    QCOMPARE(f.link.lastResult(), kResultFailed);
    QTRY_COMPARE(f.changer.peer.count(kAck) - acksBefore, 1);
    QCOMPARE(f.ui.texts("error"), QStringList{msg(440)});
    QCOMPARE(f.ui.shown.last().title, msg(441));
}

void TestLink::shortReplyIsBad() {
    Fixture f;
    QVERIFY(f.up());
    answerRequest(f.changer, {buildFrame(kReplyUserFile, QByteArray("\x00\x00", 2))});
    quint8 value = 0x55;
    QVERIFY(!f.link.ReadUserFile(0, value));
    QCOMPARE(value, quint8(0x55));
    QCOMPARE(f.changer.peer.received.last(), kEotB);

    // A reply of another kind is just as bad.
    answerRequest(f.changer, {buildFrame(kReplyMusicType, QByteArray("\x00\x00\x01", 3))});
    QVERIFY(!f.link.ReadUserFile(0, value));
    QCOMPARE(f.ui.texts("error").size(), 2);
}

void TestLink::confirmTitleInputFailureReturnsZero() {
    Fixture f;
    QVERIFY(f.up());
    f.changer.after = nullptr;
    QCOMPARE(f.link.ConfirmTitleInput(0), 0);
    QCOMPARE(f.link.lastResult(), kResultFailed);
    QCOMPARE(f.ui.texts("error"), QStringList{msg(434)});
}

void TestLink::keyCodeWithoutClosingAck() {
    Fixture f;
    QVERIFY(f.up());
    f.changer.after = [&](const QByteArray& u) {
        if (isControl(u, kEnq) || isFrame(u, kCmdKeyCode))
            f.changer.peer.write(kAckB);
    };
    const int eotsBefore = f.changer.peer.count(kEot);
    QVERIFY(!f.link.SendKeyCode(0x00, 0x21));
    QCOMPARE(f.changer.peer.count(kEot) - eotsBefore, 4);
    QCOMPARE(f.ui.texts("error"), QStringList{msg(438)});
    QCOMPARE(f.ui.shown.last().title, msg(439));
}

void TestLink::commandSucceeds() {
    Fixture f;
    QVERIFY(f.up());
    f.changer.after = [&](const QByteArray& u) {
        if (isControl(u, kEnq) || isControl(u, kEot))
            f.changer.peer.write(kAckB);
        else if (u.size() > 1)
            f.changer.peer.write(kAckB);
    };
    QVERIFY(f.link.RequestPlay(12, 3, 1));
    QVERIFY(f.changer.peer.received.contains(buildPlayRequest(12, 3, 1)));
    QVERIFY(f.link.RequestPlayMode(2, 0));
    QVERIFY(f.changer.peer.received.contains(buildPlayModeRequest(2, 0)));

    // The play-mode request shows no dialog when it fails.
    f.changer.after = nullptr;
    QVERIFY(!f.link.RequestPlayMode(1, 0));
    QVERIFY(f.ui.shown.isEmpty());
}

void TestLink::pushedExchangeStoresValues() {
    Fixture f;
    QVERIFY(f.up());
    QSignalSpy changed(&f.link, &Link::playValuesChanged);
    QList<QByteArray> pending;
    f.changer.after = [&](const QByteArray& u) {
        if (isControl(u, kAck) && !pending.isEmpty())
            f.changer.peer.write(pending.takeFirst());
    };
    auto push = [&](const QByteArray& frame) {
        pending = {frame, kEotB};
        f.changer.peer.write(kEnqB);
        QTRY_VERIFY(pending.isEmpty());
        QTRY_COMPARE(f.link.linkBusy(), qint16(kLinkIdle));
    };
    LinkTestAccess::play(f.link).PlayDisc = 3;
    LinkTestAccess::play(f.link).TocReadyDisc = 3;
    QByteArray status("\x03\x00\x05\x00\x00\x01\x00\x02\x00", 9); // same disc, track 5
    push(buildFrame(kPushPlayStatus, status));
    QTRY_COMPARE(f.link.playValues().PlayTrack, qint16(5));
    QCOMPARE(f.link.playValues().TocReadyDisc, qint16(3)); // same disc: unchanged
    QVERIFY(!f.link.discChanged());
    QCOMPARE(f.link.playValues().PlayUserFileBits, qint16(1));
    QCOMPARE(f.link.playValues().PlayMode, qint16(2));

    status[0] = 0x0c; // disc 12
    push(buildFrame(kPushPlayStatus, status));
    QTRY_COMPARE(f.link.playValues().PlayDisc, qint16(12));
    QVERIFY(f.link.discChanged());
    QCOMPARE(f.link.playValues().TocReadyDisc, qint16(0));

    push(buildFrame(kPushTocReady, QByteArray("\x0c\x00", 2)));
    QTRY_COMPARE(f.link.playValues().TocReadyDisc, qint16(12));
    push(buildFrame(kPushPlayState, QByteArray("\x03", 1)));
    QTRY_COMPARE(f.link.playValues().PlayStateCode, qint16(3));

    QSignalSpy reaction(&f.link, &Link::modeReaction);
    f.link.setOperationRunning(true);
    push(buildFrame(kPushChangerMode, QByteArray("\x00", 1)));
    QTRY_COMPARE(reaction.count(), 1);
    QCOMPARE(f.link.modeCode(), qint16(1));
    QVERIFY(!f.link.operationRunning());
    QVERIFY(!f.link.modeChanged());
    push(buildFrame(kPushChangerMode, QByteArray("\x00", 1))); // the same mode again
    QTest::qWait(50);
    QCOMPARE(reaction.count(), 1);
    QVERIFY(changed.count() >= 6);
}

void TestLink::pushedExchangeWithoutFrameTimesOut() {
    Fixture f;
    QVERIFY(f.up());
    f.changer.after = nullptr;
    // The exchange runs inside the poll, so it is watched through the busy cursor.
    QSignalSpy busy(&f.link, &Link::busyCursor);
    const int acks = f.changer.peer.count(kAck);
    f.changer.peer.write(kEnqB);
    QTRY_COMPARE(busy.count(), 2);
    QCOMPARE(busy.at(0).at(0).toBool(), true);
    QCOMPARE(busy.at(1).at(0).toBool(), false);
    QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));
    QVERIFY(f.link.pollRunning());
    QTRY_COMPARE(f.changer.peer.count(kAck) - acks, 1);
    // The poll takes the next exchange again.
    f.changer.peer.write(kEnqB);
    QTRY_COMPARE(busy.count(), 4);
    QTRY_COMPARE(f.changer.peer.count(kAck) - acks, 2);
}

void TestLink::pushedBadFrameIsNaked() {
    Fixture f;
    QVERIFY(f.up());
    const QByteArray good = buildFrame(kPushPlayState, QByteArray("\x04", 1));
    int step = 0;
    f.changer.after = [&](const QByteArray& u) {
        if (isControl(u, kAck) && step == 0) {
            step = 1;
            f.changer.peer.write(corrupt(good));
        } else if (isControl(u, kNak) && step == 1) {
            step = 2;
            f.changer.peer.write(good);
        } else if (isControl(u, kAck) && step == 2) {
            step = 3;
            f.changer.peer.write(kEotB);
        }
    };
    f.changer.peer.write(kEnqB);
    QTRY_COMPARE(f.link.playValues().PlayStateCode, qint16(4));
    QTRY_COMPARE(step, 3);
    QTRY_COMPARE(f.link.linkBusy(), qint16(kLinkIdle));
}

void TestLink::garbageAndOversizedFramesAreSkipped() {
    Fixture f;
    QVERIFY(f.up());
    // Noise, an STX announcing an impossible length behind a code no frame has (noise, not a
    // damaged frame, which would be held until the line goes quiet), then the real answer
    // byte by byte.
    const QByteArray reply = buildFrame(kReplyUserFile, QByteArray("\x00\x00\x81", 3));
    f.changer.after = [&](const QByteArray& u) {
        if (isControl(u, kEnq))
            f.changer.peer.write(QByteArray("\x00\xff\x02\x77\xff\xff", 6) + kAckB);
        else if (isFrame(u, kCmdDataRequest)) {
            for (char c : kAckB + reply)
                f.changer.peer.write(QByteArray(1, c));
        } else if (isControl(u, kAck))
            f.changer.peer.write(kEotB);
    };
    quint8 value = 0;
    QVERIFY(f.link.ReadUserFile(0, value));
    QCOMPARE(value, quint8(0x81));
    QVERIFY(f.link.noiseBytes() >= 6);
}

void TestLink::hangUpAfterLinkUpAsksToClose() {
    Fixture f;
    QVERIFY(f.up());
    QSignalSpy close(&f.link, &Link::closeRequested);
    f.changer.peer.hangUp();
    QTRY_COMPARE(close.count(), 1);
    QVERIFY(!f.link.isOpen());
    QCOMPARE(f.ui.texts("message"), QStringList{msg(339)});
    QCOMPARE(f.ui.shown.last().title, msg(338));
    QTest::qWait(100);
    QCOMPARE(close.count(), 1); // reported once, no error storm
}

void TestLink::hangUpBeforeHandshakeRetriesLater() {
    Fixture f;
    QVERIFY(f.open());
    QSignalSpy close(&f.link, &Link::closeRequested);
    QSignalSpy up(&f.link, &Link::linkUp);
    f.changer.peer.hangUp();
    QTRY_VERIFY(!f.link.isOpen());
    // No message at once, and no closing: a later handshake is tried instead. Whether the
    // device can be opened again then depends on the system (a pseudo-terminal number may be
    // reused); a failed attempt may only report the failed handshake.
    QVERIFY(f.ui.texts("message").isEmpty());
    QTest::qWait(f.link.timings().reconnectMs + 300);
    QCOMPARE(close.count(), 0);
    QCOMPARE(up.count(), 0);
    for (const QString& text : f.ui.texts("message"))
        QCOMPARE(text, msg(336));
}

namespace {

enum class Exit { End, EarlyReturn, Exception };

// Runs under a store hold and leaves the way `exit` says; records what the hold looked like.
bool underHold(Link& link, Exit exit, qint16& ownerInside, bool& pollInside) {
    const LinkHold hold(link, kLinkStore);
    ownerInside = link.linkBusy();
    pollInside = link.pollRunning();
    if (exit == Exit::EarlyReturn)
        return false;
    if (exit == Exit::Exception)
        throw std::runtime_error("gave up");
    return true;
}

} // namespace

void TestLink::holdGivesTheLinkBackOnEveryExit_data() {
    QTest::addColumn<Exit>("exit");
    QTest::newRow("end of scope") << Exit::End;
    QTest::newRow("early return") << Exit::EarlyReturn;
    QTest::newRow("exception") << Exit::Exception;
}

void TestLink::holdGivesTheLinkBackOnEveryExit() {
    QFETCH(Exit, exit);
    Fixture f;
    QVERIFY(f.up());
    QSignalSpy cursor(&f.link, &Link::busyCursor);
    qint16 ownerInside = kLinkIdle;
    bool pollInside = true;
    try {
        underHold(f.link, exit, ownerInside, pollInside);
    } catch (const std::runtime_error&) {
        QVERIFY(exit == Exit::Exception);
    }
    QCOMPARE(ownerInside, qint16(kLinkStore));
    QVERIFY(!pollInside);
    QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));
    QVERIFY(f.link.pollRunning());
    QCOMPARE(cursor.count(), 2);
    QCOMPARE(cursor.at(0).at(0).toBool(), true);
    QCOMPARE(cursor.at(1).at(0).toBool(), false);
}

void TestLink::holdWhileOfflineStaysOffline() {
    Fixture f;
    QVERIFY(f.up());
    f.link.setOffline(true);
    QVERIFY(!f.link.Tarminal_Base_check());
    {
        const LinkHold hold(f.link, kLinkAudio);
        QCOMPARE(f.link.linkBusy(), qint16(kLinkOffline));
    }
    QCOMPARE(f.link.linkBusy(), qint16(kLinkOffline));
}

void TestLink::freeLinkWaitsForTheHolder() {
    Fixture f;
    QVERIFY(f.up());
    std::optional<LinkHold> hold(std::in_place, f.link, kLinkPush);
    bool releasedBeforeFree = false;
    QTimer::singleShot(100, &f.link, [&] {
        releasedBeforeFree = true;
        hold.reset();
    });
    QVERIFY(f.link.Tarminal_Base_check());
    QVERIFY(releasedBeforeFree);
    QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));
}

void TestLink::boundedWaitEndsAtItsTimeOut() {
    Fixture f;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!f.link.waitUntil([] { return false; }, 100));
    QVERIFY(clock.elapsed() >= 90);
    // A setter that changes what a wait waits for wakes it before its time-out.
    f.link.setOperationRunning(true);
    QTimer::singleShot(50, &f.link, [&] { f.link.setOperationRunning(false); });
    clock.restart();
    QVERIFY(f.link.waitUntil([&] { return !f.link.operationRunning(); }, 5000));
    QVERIFY(clock.elapsed() < 4000);
}

void TestLink::commandInProgressAnnouncesChanges() {
    Fixture f;
    QSignalSpy changed(&f.link, &Link::commandInProgressChanged);
    f.link.setCommandInProgress(true);
    f.link.setCommandInProgress(true);
    f.link.setCommandInProgress(false);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(0).at(0).toBool(), true);
    QCOMPARE(changed.at(1).at(0).toBool(), false);
    QVERIFY(!f.link.commandInProgress());
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
