#include "link/frame.h"
#include "link/unitassembler.h"

#include <QTest>

using namespace tf;

namespace {

using Units = QList<QByteArray>;

Units drain(UnitAssembler& a) {
    Units out;
    while (a.hasUnit())
        out.append(a.takeUnit());
    return out;
}

} // namespace

class TestUnitAssembler : public QObject {
    Q_OBJECT
private slots:
    void reads_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Units>("units");
        QTest::addColumn<int>("skipped");

        const QByteArray f = buildFrame(0x12, QByteArray(9, '\x01'));
        const QByteArray g = buildFrame(0x13, "\x02");
        const QByteArray ack(1, char(kAck));
        const QByteArray badSum("\x02\x13\x01\x00\x02\x00", 6);

        QTest::newRow("stray byte between units") << ack + '\x7f' + f << Units{ack, f} << 1;
        QTest::newRow("two frames back to back") << f + g << Units{f, g} << 0;
        QTest::newRow("bad checksum still a unit") << badSum << Units{badSum} << 0;
        // STX announcing 0xFFFF bytes behind a code no frame has: noise, skipped byte by byte.
        QTest::newRow("impossible LEN, unknown code")
            << QByteArray("\x02\x77\xff\xff", 4) + ack + f << Units{ack, f} << 4;
        QTest::newRow("empty frame") << buildFrame(0x00, {}) << Units{buildFrame(0x00, {})} << 0;
        // A megabyte of noise: nothing piles up, nothing comes out.
        QTest::newRow("flood of noise")
            << QByteArray(1000 * 1000, '\x7f') << Units{} << 1000 * 1000;
    }

    void reads() {
        QFETCH(QByteArray, bytes);
        QFETCH(Units, units);
        QFETCH(int, skipped);
        UnitAssembler a;
        a.feed(bytes);
        QCOMPARE(drain(a), units);
        QCOMPARE(int(a.skippedBytes()), skipped);
        QCOMPARE(int(a.pendingBytes()), 0);
    }

    void everySplitGivesTheSameUnits() {
        // A reply as the changer sends it: ACK, the longest frame, EOT; all in one read, and cut
        // at every offset.
        const Units reply{QByteArray(1, char(kAck)),
                          buildFrame(0x06, QByteArray(kMaxFrameData, '3')),
                          QByteArray(1, char(kEot))};
        const QByteArray stream = reply.join();
        for (int cut = 0; cut <= stream.size(); ++cut) {
            UnitAssembler a;
            a.feed(stream.left(cut));
            a.feed(stream.mid(cut));
            QCOMPARE(drain(a), reply);
        }
    }

    void partialFrameHeldUntilAbandoned_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Units>("after");
        // A frame whose LEN was damaged: its data (0x05 and 0x04 would read as ENQ and EOT) come
        // out as nothing until the line goes quiet; then all of it is dropped.
        QTest::newRow("damaged LEN") << QByteArray("\x02\x12\xff\xff\x05\x04\x00", 7) << Units{};
        // A noise STX announcing 20 bytes swallows the ACK behind it; 0x01, 0x14 and 0x00 start
        // no unit, the ACK does.
        QTest::newRow("noise STX")
            << QByteArray("\x02\x01\x14\x00\x06", 5) << Units{QByteArray(1, char(kAck))};
    }

    void partialFrameHeldUntilAbandoned() {
        QFETCH(QByteArray, bytes);
        QFETCH(Units, after);
        UnitAssembler a;
        a.feed(bytes);
        QVERIFY(!a.hasUnit());
        QCOMPARE(int(a.pendingBytes()), bytes.size());
        a.abandonPartialFrame();
        QCOMPARE(drain(a), after);
        QCOMPARE(int(a.pendingBytes()), 0);
        QCOMPARE(int(a.skippedBytes()), bytes.size() - after.size());
        a.abandonPartialFrame(); // nothing pending: no effect
        const QByteArray good = buildFrame(0x14, QByteArray("\x05\x00", 2));
        a.feed(good);
        QCOMPARE(drain(a), Units{good});
    }
};

QTEST_GUILESS_MAIN(TestUnitAssembler)
#include "tst_unitassembler.moc"
