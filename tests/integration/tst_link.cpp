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
// What a busy cursor spy holds after one hold of the link.
const QList<QVariantList> kCursorOnAndOff{{true}, {false}};

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

// A link to a well-behaved changer for the handshake; a test adds its own answers for the rest.
struct Fixture {
    ScriptedUi ui;
    PtyPeer peer;
    QByteArray modelText = "I'm QX-517V";
    bool sendClosingEot = true;
    std::function<void(const QByteArray&)> after;
    bool handshakeDone = false;
    bool awaitingClose = false;
    Link link{ui};

    Fixture() {
        link.setTimings(fastTimings());
        peer.onUnit = [this](const QByteArray& u) {
            if (handshakeDone) {
                if (after)
                    after(u);
                return;
            }
            if (u == kEnqB) {
                peer.write(kAckB);
            } else if (isFrame(u, kCmdHandshake)) {
                peer.write(kAckB + buildFrame(kReplyHandshake, modelText));
                awaitingClose = true;
            } else if (u == kAckB && awaitingClose) {
                awaitingClose = false;
                if (sendClosingEot)
                    peer.write(kEotB);
            } else if (u == kAckB) {
                handshakeDone = true; // our EOT was acknowledged
            }
        };
    }
    bool open() { return link.openDevice(peer.slavePath()) == 0; }
    bool up() {
        if (!open())
            return false;
        link.RS232C_Changer_INIT();
        LinkTestAccess::setLinkEstablished(link, link.linkBusy() == kLinkIdle);
        // Let the changer see our last ACK before a test starts counting units.
        return link.linkState() == kLinkUp &&
               QTest::qWaitFor([this] { return handshakeDone; }, 2000);
    }
    // The changer answers one data request with `frames`, then closes with EOT.
    void answerRequest(QList<QByteArray> frames) {
        after = [this, frames, index = 0](const QByteArray& u) mutable {
            if (u == kEnqB) {
                peer.write(kAckB);
            } else if (isFrame(u, kCmdDataRequest)) {
                peer.write(kAckB + frames.value(0));
                index = 1;
            } else if (u == kAckB && index > 0) {
                if (index < frames.size())
                    peer.write(frames.at(index++));
                else if (index == frames.size()) {
                    peer.write(kEotB);
                    ++index;
                }
            }
        };
    }
};

// How the changer fails the handshake.
enum class Answers { WrongModel, NoClosingEot, None, EnqOnly };

// How the changer misbehaves after the handshake; each is met by a transaction of its own.
enum class Script { Silent, NakRequest, RefuseRequest, NoClosingAck };

} // namespace

class TestLink : public QObject {
    Q_OBJECT
private slots:
    void failedHandshake_data() {
        QTest::addColumn<Answers>("answers");
        QTest::newRow("one character off") << Answers::WrongModel;
        QTest::newRow("no closing EOT") << Answers::NoClosingEot;
        QTest::newRow("silent changer") << Answers::None;
        QTest::newRow("handshake frame unanswered") << Answers::EnqOnly;
    }

    void failedHandshake() {
        QFETCH(Answers, answers);
        Fixture f;
        if (answers == Answers::WrongModel)
            f.modelText = "I'm QX-517X";
        f.sendClosingEot = answers != Answers::NoClosingEot;
        LinkTimings timings = fastTimings();
        if (answers == Answers::None) {
            // A long control-byte wait shows whether an unanswered ENQ waits its own, shorter time.
            f.peer.onUnit = nullptr;
            timings.controlMs = 1500;
        } else if (answers == Answers::EnqOnly) {
            f.peer.onUnit = [&](const QByteArray& u) {
                if (u == kEnqB)
                    f.peer.write(kAckB);
            };
            timings.handshakeFrameMs = 100;
        }
        f.link.setTimings(timings);
        QVERIFY(f.open());
        QElapsedTimer clock;
        clock.start();
        f.link.RS232C_Changer_INIT();
        QCOMPARE(f.link.lastResult(), kResultOk); // a failure has been reported
        QCOMPARE(f.link.linkState(), kLinkFailed);
        QCOMPARE(f.link.linkBusy(), qint16(kLinkOffline));
        QCOMPARE(f.ui.texts("message"), QStringList{msg(336)});
        if (answers == Answers::None) {
            QCOMPARE(f.peer.count(kEnq), kHandshakeAttempts);
            QVERIFY2(clock.elapsed() < kHandshakeAttempts * timings.controlMs / 2,
                     qPrintable(QString::number(clock.elapsed())));
        } else {
            QVERIFY(f.peer.count(kEot) > 0);
        }
        if (answers == Answers::EnqOnly)
            QCOMPARE(int(f.peer.received.count(buildHandshake())), kHandshakeAttempts);
    }

    void linkWithoutChanger() {
        ScriptedUi ui;
        Link link(ui);
        QCOMPARE(link.openDevice("/nonexistent/tty"), 1);
        // The two fixed lines, then the reason in words a user can act on.
        QCOMPARE(link.openProblem(), PortProblem::NoSuchDevice);
        QCOMPARE(ui.texts("message"),
                 QStringList{msg(366) + "\r" + msg(367) + "\r\r" + link.openProblemText()});
        QVERIFY(link.openProblemText().startsWith("There is no device /nonexistent/tty."));

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

    void openPortThenHangUp() {
        // What the port was set to, read back from the terminal the link opened: 9600 baud,
        // 8 data bits, no parity, 2 stop bits, no flow control of either kind.
        Fixture f;
        QVERIFY(f.open());
        const int fd = ::open(f.peer.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
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

        // A hang-up before the handshake.
        QSignalSpy close(&f.link, &Link::closeRequested);
        QSignalSpy up(&f.link, &Link::linkUp);
        f.peer.hangUp();
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

    void transactions() {
        Fixture f;
        QVERIFY(f.up());
        // The handshake went as ENQ, then one "I'm PC" frame; the poll runs.
        QCOMPARE(f.peer.received.mid(0, 2), (QList<QByteArray>{kEnqB, buildHandshake()}));
        QCOMPARE(int(f.peer.received.count(buildHandshake())), 1);
        QVERIFY(f.link.pollRunning());

        // 99 tracks are 100 entries, 81 in the first frame: the link acknowledges it and takes the
        // second. Entry k starts at minute k.
        QByteArray entries;
        for (int k = 0; k < 100; ++k)
            entries.append(char(((k / 10) << 4) | (k % 10))).append("\x02\x00", 2);
        // Disc 0 (two bytes), block 1, disc information, tracks 1 to 99, entries; block 2.
        f.answerRequest(
            {buildFrame(kReplyDiscId, QByteArray("\0\0\1\x10\1\x63", 6) + entries.left(243)),
             buildFrame(kReplyDiscId, QByteArray("\0\0\2", 3) + entries.mid(243))});
        DiscToc toc;
        QVERIFY(f.link.ReadDiscId(5, toc));
        QCOMPARE(toc.highest, quint8(99));
        QCOMPARE(toc.entries.size(), 100);
        QCOMPARE(toc.entries.at(80).minutes, quint8(80));
        QCOMPARE(toc.entries.at(99).minutes, quint8(99)); // the lead-out
        QVERIFY(f.peer.received.contains(buildDataRequest(kRequestDiscId, 5)));

        // An empty slot: no table, and nothing left from the disc before.
        f.answerRequest({buildFrame(kReplyDiscId, QByteArray("\0\0\1\0\0\0", 6))});
        QVERIFY(f.link.ReadDiscId(0, toc));
        QCOMPARE(toc.highest, quint8(0));
        QVERIFY(toc.entries.isEmpty());

        // Commands: acknowledged and done.
        f.after = [&](const QByteArray& u) {
            if (u != kAckB)
                f.peer.write(kAckB);
        };
        QVERIFY(f.link.RequestPlay(12, 3, 1));
        QVERIFY(f.peer.received.contains(buildPlayRequest(12, 3, 1)));
        QVERIFY(f.link.RequestPlayMode(2, 0));
        QVERIFY(f.peer.received.contains(buildPlayModeRequest(2, 0)));

        // The play-mode request shows no dialog when it fails, and the handshake showed none.
        f.after = nullptr;
        QVERIFY(!f.link.RequestPlayMode(1, 0));
        QVERIFY(f.ui.shown.isEmpty());

        // A reply too short for its kind is bad: the value stays, and the link closes with EOT.
        f.answerRequest({buildFrame(kReplyUserFile, QByteArray("\x00\x00", 2))});
        quint8 value = 0x55;
        QVERIFY(!f.link.ReadUserFile(0, value));
        QCOMPARE(value, quint8(0x55));
        QCOMPARE(f.peer.received.last(), kEotB);
        QCOMPARE(f.ui.texts("error").size(), 1);
    }

    void failedTransactions_data() {
        QTest::addColumn<Script>("script");
        QTest::addColumn<int>("message");
        QTest::addColumn<QByteArray>("counted"); // the unit sent again until the link gives up
        QTest::addColumn<int>("times");
        QTest::newRow("silent changer") << Script::Silent << 428 << kEnqB << 4;
        QTest::newRow("request NAKed")
            << Script::NakRequest << 430 << buildDataRequest(kRequestUserFile, 0) << 4;
        // A refusal (EOT for the request) is acknowledged once and not retried.
        QTest::newRow("request refused") << Script::RefuseRequest << 440 << kAckB << 1;
        QTest::newRow("key code without closing ACK") << Script::NoClosingAck << 438 << kEotB << 4;
    }

    void failedTransactions() {
        QFETCH(Script, script);
        QFETCH(int, message);
        QFETCH(QByteArray, counted);
        QFETCH(int, times);
        Fixture f;
        QVERIFY(f.up());
        f.after = [&](const QByteArray& u) {
            if (script == Script::Silent)
                return;
            if (u == kEnqB)
                f.peer.write(kAckB);
            else if (isFrame(u, kCmdKeyCode) && script == Script::NoClosingAck)
                f.peer.write(kAckB);
            else if (isFrame(u, kCmdDataRequest))
                f.peer.write(script == Script::NakRequest ? kNakB : kEotB);
        };
        f.peer.received.clear(); // the handshake's units
        DiscToc toc;
        quint8 value = 0;
        MinMaxTno range;
        const bool done = script == Script::Silent          ? f.link.ReadDiscId(0, toc)
                          : script == Script::NakRequest    ? f.link.ReadUserFile(0, value)
                          : script == Script::RefuseRequest ? f.link.ReadMinMaxTno(0, range)
                                                            : f.link.SendKeyCode(0x00, 0x21);
        QVERIFY(!done);
        QCOMPARE(f.link.lastResult(), kResultFailed);
        QTRY_COMPARE(int(f.peer.received.count(counted)), times);
        QCOMPARE(f.ui.texts("error"), QStringList{msg(message)});
        QCOMPARE(f.ui.shown.last().number, 0); // the countdown the test set
        QCOMPARE(f.link.currentTransaction(), qint16(0));
        QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));
    }

    void pushesAndHolds() {
        Fixture f;
        QVERIFY(f.up());
        QSignalSpy changed(&f.link, &Link::playValuesChanged);
        QList<QByteArray> pending;
        f.after = [&](const QByteArray& u) {
            if (u == kAckB && !pending.isEmpty())
                f.peer.write(pending.takeFirst());
        };
        auto push = [&](const QByteArray& frame) {
            pending = {frame, kEotB};
            const int acks = f.peer.count(kAck);
            f.peer.write(kEnqB);
            // ENQ, frame and EOT are each acknowledged; the count below starts after the last.
            QTRY_COMPARE(f.peer.count(kAck) - acks, 3);
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

        // A pushed exchange without its frame times out. It runs inside the poll, so it is
        // watched through the busy cursor.
        f.after = nullptr;
        QSignalSpy busy(&f.link, &Link::busyCursor);
        const int acks = f.peer.count(kAck);
        f.peer.write(kEnqB);
        QTRY_COMPARE(busy.count(), 2);
        QCOMPARE(QList<QVariantList>(busy), kCursorOnAndOff);
        QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));
        QTRY_COMPARE(f.peer.count(kAck) - acks, 1);
        // The poll takes the next exchange again.
        f.peer.write(kEnqB);
        QTRY_COMPARE(busy.count(), 4);
        QTRY_COMPARE(f.peer.count(kAck) - acks, 2);

        // Freeing the link waits for its holder.
        std::optional<LinkHold> held(std::in_place, f.link, kLinkPush);
        bool releasedBeforeFree = false;
        QTimer::singleShot(100, &f.link, [&] {
            releasedBeforeFree = true;
            held.reset();
        });
        QVERIFY(f.link.Tarminal_Base_check());
        QVERIFY(releasedBeforeFree);
        QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));

        // A hold stops the poll and gives the link back with the cursor.
        busy.clear();
        {
            const LinkHold hold(f.link, kLinkStore);
            QCOMPARE(f.link.linkBusy(), qint16(kLinkStore));
            QVERIFY(!f.link.pollRunning());
        }
        QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));
        QVERIFY(f.link.pollRunning());
        QCOMPARE(QList<QVariantList>(busy), kCursorOnAndOff);

        // A hold while offline leaves the link offline.
        f.link.setOffline(true);
        QVERIFY(!f.link.Tarminal_Base_check());
        {
            const LinkHold hold(f.link, kLinkAudio);
            QCOMPARE(f.link.linkBusy(), qint16(kLinkOffline));
        }
        QCOMPARE(f.link.linkBusy(), qint16(kLinkOffline));
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
