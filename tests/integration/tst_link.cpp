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
                    peer.write(kAckB + buildFrame(kReplyHandshake, modelText));
                } else {
                    peer.write(kAckB);
                    peer.write(buildFrame(kReplyHandshake, modelText));
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
    return buildFrame(kReplyDiscId, QByteArray("\x00\x00", 2) + char(block) + body);
}

// What the changer answers in the handshake.
enum class Answers { All, None, EnqOnly };

// How the changer misbehaves after the handshake, and the transaction the link runs meanwhile.
enum class Script { Silent, NakRequest, RefuseRequest, NoClosingAck };
enum class Op { DiscId, UserFile, MinMax, KeyCode, Confirm };

// A counted unit: a control byte, or 0x100 + the command of a frame.
constexpr int frameOf(quint8 cmd) {
    return 0x100 + cmd;
}

} // namespace

class TestLink : public QObject {
    Q_OBJECT
private slots:
    void handshake_data() {
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<bool>("closingEot");
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<bool>("coalesce"); // the changer's ACK and reply in one write
        QTest::addColumn<bool>("up");
        const QByteArray model("I'm QX-517V");
        QTest::newRow("ack and reply in one read") << model << true << Answers::All << true << true;
        QTest::newRow("ack and reply apart") << model << true << Answers::All << false << true;
        QTest::newRow("one character off")
            << QByteArray("I'm QX-517X") << true << Answers::All << true << false;
        QTest::newRow("no closing EOT") << model << false << Answers::All << true << false;
        QTest::newRow("silent changer") << model << false << Answers::None << true << false;
        QTest::newRow("handshake frame unanswered")
            << model << false << Answers::EnqOnly << true << false;
    }

    void handshake() {
        QFETCH(QByteArray, model);
        QFETCH(bool, closingEot);
        QFETCH(Answers, answers);
        QFETCH(bool, coalesce);
        QFETCH(bool, up);
        Fixture f;
        f.changer.modelText = model;
        f.changer.sendClosingEot = closingEot;
        f.changer.coalesce = coalesce;
        LinkTimings timings = fastTimings();
        if (answers == Answers::None) {
            // A long control-byte wait shows whether an unanswered ENQ waits its own, shorter time.
            f.changer.peer.onUnit = nullptr;
            timings.controlMs = 1500;
        } else if (answers == Answers::EnqOnly) {
            f.changer.peer.onUnit = [&](const QByteArray& u) {
                if (isControl(u, kEnq))
                    f.changer.peer.write(kAckB);
            };
            timings.handshakeFrameMs = 100;
        }
        f.link.setTimings(timings);
        QVERIFY(f.open());
        QElapsedTimer clock;
        clock.start();
        f.link.RS232C_Changer_INIT();
        QCOMPARE(f.link.lastResult(), kResultOk); // a failure has been reported
        QCOMPARE(f.link.pollRunning(), up);
        if (up) {
            QCOMPARE(f.link.linkState(), kLinkUp);
            QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));
            QVERIFY(f.ui.shown.isEmpty());
            QCOMPARE(f.changer.peer.countFrames(kCmdHandshake), 1);
            QCOMPARE(f.changer.peer.received.first(), kEnqB);
            QCOMPARE(f.changer.peer.received.at(1), buildHandshake());
            return;
        }
        QCOMPARE(f.link.linkState(), kLinkFailed);
        QCOMPARE(f.link.linkBusy(), qint16(kLinkOffline));
        QCOMPARE(f.ui.texts("message"), QStringList{msg(336)});
        if (answers == Answers::None) {
            QCOMPARE(f.changer.peer.count(kEnq), kHandshakeAttempts);
            QVERIFY2(clock.elapsed() < kHandshakeAttempts * timings.controlMs / 2,
                     qPrintable(QString::number(clock.elapsed())));
        } else {
            QVERIFY(f.changer.peer.count(kEot) > 0);
        }
        if (answers == Answers::EnqOnly)
            QCOMPARE(f.changer.peer.countFrames(kCmdHandshake), kHandshakeAttempts);
    }

    void portThatCannotOpen() {
        ScriptedUi ui;
        Link link(ui);
        QCOMPARE(link.openDevice("/nonexistent/tty"), 1);
        QVERIFY(!link.isOpen());
        // The two fixed lines, then the reason in words a user can act on.
        QCOMPARE(link.openProblem(), PortProblem::NoSuchDevice);
        QCOMPARE(ui.texts("message"),
                 QStringList{msg(366) + "\r" + msg(367) + "\r\r" + link.openProblemText()});
        QVERIFY(link.openProblemText().startsWith("There is no device /nonexistent/tty."));
    }

    void lineSettings() {
        // What the port was set to, read back from the terminal the link opened: 9600 baud,
        // 8 data bits, no parity, 2 stop bits, no flow control of either kind.
        Fixture f;
        QVERIFY(f.open());
        const int fd =
            ::open(f.changer.peer.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
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

    void readDiscIdOverTwoFrames() {
        // 99 tracks are 100 entries, 81 in the first frame: the link acknowledges it and takes the
        // second. Entry k starts at minute k.
        Fixture f;
        QVERIFY(f.up());
        QByteArray entries;
        for (int k = 0; k < 100; ++k)
            entries.append(char(((k / 10) << 4) | (k % 10))).append("\x02\x00", 2);
        answerRequest(f.changer, {discIdFrame(1, QByteArray("\x10\x01\x63", 3) + entries.left(243)),
                                  discIdFrame(2, entries.mid(243))});
        DiscToc toc;
        QVERIFY(f.link.ReadDiscId(5, toc));
        QCOMPARE(f.link.lastResult(), kResultOk);
        QCOMPARE(toc.highest, quint8(99));
        QCOMPARE(toc.entries.size(), 100);
        QCOMPARE(toc.entries.at(80).minutes, quint8(80));
        QCOMPARE(toc.entries.at(99).minutes, quint8(99)); // the lead-out
        QVERIFY(f.changer.peer.received.contains(buildDataRequest(kRequestDiscId, 5)));

        // An empty slot: no table, and nothing left from the disc before.
        answerRequest(f.changer, {discIdFrame(1, QByteArray(3, '\0'))});
        QVERIFY(f.link.ReadDiscId(0, toc));
        QCOMPARE(toc.highest, quint8(0));
        QVERIFY(toc.entries.isEmpty());
        QVERIFY(f.ui.shown.isEmpty());
    }

    void failedTransactions_data() {
        QTest::addColumn<Script>("script");
        QTest::addColumn<Op>("op");
        QTest::addColumn<int>("message");
        QTest::addColumn<int>("counted"); // the unit sent again until the link gives up
        QTest::addColumn<int>("times");
        QTest::newRow("silent changer") << Script::Silent << Op::DiscId << 428 << int(kEnq) << 4;
        QTest::newRow("silent, title-input check")
            << Script::Silent << Op::Confirm << 434 << int(kEnq) << 4;
        QTest::newRow("request NAKed")
            << Script::NakRequest << Op::UserFile << 430 << frameOf(kCmdDataRequest) << 4;
        // A refusal (EOT for the request) is acknowledged once and not retried.
        QTest::newRow("request refused")
            << Script::RefuseRequest << Op::MinMax << 440 << int(kAck) << 1;
        QTest::newRow("key code without closing ACK")
            << Script::NoClosingAck << Op::KeyCode << 438 << int(kEot) << 4;
    }

    void failedTransactions() {
        QFETCH(Script, script);
        QFETCH(Op, op);
        QFETCH(int, message);
        QFETCH(int, counted);
        QFETCH(int, times);
        Fixture f;
        QVERIFY(f.up());
        f.changer.after = [&](const QByteArray& u) {
            if (script == Script::Silent)
                return;
            if (isControl(u, kEnq))
                f.changer.peer.write(kAckB);
            else if (isFrame(u, kCmdKeyCode) && script == Script::NoClosingAck)
                f.changer.peer.write(kAckB);
            else if (isFrame(u, kCmdDataRequest))
                f.changer.peer.write(script == Script::NakRequest ? kNakB : kEotB);
        };
        auto count = [&] {
            return counted >= 0x100 ? f.changer.peer.countFrames(quint8(counted - 0x100))
                                    : f.changer.peer.count(quint8(counted));
        };
        const int before = count();
        DiscToc toc;
        quint8 value = 0;
        MinMaxTno range;
        switch (op) {
        case Op::DiscId:
            QVERIFY(!f.link.ReadDiscId(0, toc));
            break;
        case Op::UserFile:
            QVERIFY(!f.link.ReadUserFile(0, value));
            break;
        case Op::MinMax:
            QVERIFY(!f.link.ReadMinMaxTno(0, range));
            break;
        case Op::KeyCode:
            QVERIFY(!f.link.SendKeyCode(0x00, 0x21));
            break;
        case Op::Confirm:
            QCOMPARE(f.link.ConfirmTitleInput(0), 0);
            break;
        }
        QCOMPARE(f.link.lastResult(), kResultFailed);
        QTRY_COMPARE(count() - before, times);
        QCOMPARE(f.ui.texts("error"), QStringList{msg(message)});
        QCOMPARE(f.ui.shown.last().number, 0); // the countdown the test set
        QCOMPARE(f.link.currentTransaction(), qint16(0));
        QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));
    }

    void shortReplyIsBad() {
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

    void commandSucceeds() {
        Fixture f;
        QVERIFY(f.up());
        f.changer.after = [&](const QByteArray& u) {
            if (!isControl(u, kAck))
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

    void pushedExchangeStoresValues() {
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
        // Pushes are handled in order: once the next one is seen, the repeat has been handled.
        push(buildFrame(kPushPlayState, QByteArray("\x04", 1)));
        QTRY_COMPARE(f.link.playValues().PlayStateCode, qint16(4));
        QCOMPARE(reaction.count(), 1);
        QVERIFY(changed.count() >= 6);
    }

    void pushedExchangeWithoutFrameTimesOut() {
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

    void idleLinkDoesNotSpin() {
        Fixture f;
        QVERIFY(f.up());
        QSignalSpy ticks(&f.link, &Link::statusTick);
        f.link.holdStatus(false);
        QTest::qWait(500);
        // With nothing arriving, the poll does not run: no status ticks at all.
        QCOMPARE(ticks.count(), 0);
    }

    void hangUpBeforeHandshakeRetriesLater() {
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

    void holdGivesTheLinkBack() {
        Fixture f;
        QVERIFY(f.up());
        QSignalSpy cursor(&f.link, &Link::busyCursor);
        {
            const LinkHold hold(f.link, kLinkStore);
            QCOMPARE(f.link.linkBusy(), qint16(kLinkStore));
            QVERIFY(!f.link.pollRunning());
        }
        QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));
        QVERIFY(f.link.pollRunning());
        QCOMPARE(cursor.count(), 2);
        QCOMPARE(cursor.at(0).at(0).toBool(), true);
        QCOMPARE(cursor.at(1).at(0).toBool(), false);

        // A hold while offline leaves the link offline.
        f.link.setOffline(true);
        QVERIFY(!f.link.Tarminal_Base_check());
        {
            const LinkHold hold(f.link, kLinkAudio);
            QCOMPARE(f.link.linkBusy(), qint16(kLinkOffline));
        }
        QCOMPARE(f.link.linkBusy(), qint16(kLinkOffline));
    }

    void freeLinkWaitsForTheHolder() {
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

    void waitsEndOnTime() {
        ScriptedUi ui;
        Link link(ui);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!link.waitUntil([] { return false; }, 100));
        QVERIFY(clock.elapsed() >= 90);
        // A setter that changes what a wait waits for wakes it before its time-out.
        link.setOperationRunning(true);
        QTimer::singleShot(50, &link, [&] { link.setOperationRunning(false); });
        clock.restart();
        QVERIFY(link.waitUntil([&] { return !link.operationRunning(); }, 5000));
        QVERIFY(clock.elapsed() < 4000);

        // Waits of 20 s and more (the table of contents is awaited for 45 s) must not be rounded
        // to whole seconds as Qt's default timers are: this one would end 250 ms early.
        link.setOperationRunning(true);
        clock.restart();
        QVERIFY(!link.waitForToc(7, 20250));
        const qint64 waited = clock.elapsed();
        QVERIFY2(waited >= 20250 && waited < 20250 + 150, qPrintable(QString::number(waited)));
    }

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

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
