#include "link/frame.h"
#include "link/unitassembler.h"

#include <QTest>

using namespace tf;

namespace {

using Units = QList<QByteArray>;

QByteArray frame(quint8 cmd, const QByteArray& data) {
    return buildFrame(cmd, data);
}

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
        QTest::addColumn<QList<QByteArray>>("reads");
        QTest::addColumn<Units>("units");
        QTest::addColumn<int>("skipped");

        const QByteArray f = frame(0x12, QByteArray(9, '\x01'));
        const QByteArray ack(1, char(kAck));
        const QByteArray eot(1, char(kEot));
        const QByteArray enq(1, char(kEnq));

        QTest::newRow("ack and frame in one read")
            << QList<QByteArray>{ack + f} << Units{ack, f} << 0;
        QTest::newRow("frame, ack, eot coalesced")
            << QList<QByteArray>{f + ack + eot} << Units{f, ack, eot} << 0;
        QTest::newRow("leading garbage skipped alone")
            << QList<QByteArray>{QByteArray("\x00\xff", 2) + enq} << Units{enq} << 2;
        QTest::newRow("stray byte between units")
            << QList<QByteArray>{ack + QByteArray(1, '\x7f') + f} << Units{ack, f} << 1;
        QTest::newRow("two frames back to back")
            << QList<QByteArray>{f + frame(0x13, "\x02")} << Units{f, frame(0x13, "\x02")} << 0;
        QTest::newRow("bad checksum still a unit")
            << QList<QByteArray>{QByteArray("\x02\x13\x01\x00\x02\x00", 6)}
            << Units{QByteArray("\x02\x13\x01\x00\x02\x00", 6)} << 0;
        // STX announcing 0xFFFF bytes behind a code no frame has: noise, skipped byte by byte.
        QTest::newRow("impossible LEN, unknown code")
            << QList<QByteArray>{QByteArray("\x02\x77\xff\xff", 4) + ack + f} << Units{ack, f} << 4;
        QTest::newRow("empty frame")
            << QList<QByteArray>{frame(0x00, {})} << Units{frame(0x00, {})} << 0;
    }

    void reads() {
        QFETCH(QList<QByteArray>, reads);
        QFETCH(Units, units);
        QFETCH(int, skipped);
        UnitAssembler a;
        for (const QByteArray& r : reads)
            a.feed(r);
        QCOMPARE(drain(a), units);
        QCOMPARE(int(a.skippedBytes()), skipped);
        QCOMPARE(int(a.pendingBytes()), 0);
    }

    void everySplitGivesTheSameUnits() {
        // A reply as the changer sends it: ACK, the longest frame, EOT; cut at every offset.
        QByteArray data(kMaxFrameData, '\x33');
        const QByteArray big = frame(0x06, data);
        const QByteArray stream = QByteArray(1, char(kAck)) + big + QByteArray(1, char(kEot));
        for (int cut = 0; cut <= stream.size(); ++cut) {
            UnitAssembler a;
            a.feed(stream.left(cut));
            a.feed(stream.mid(cut));
            const Units units = drain(a);
            QCOMPARE(units.size(), 3);
            QCOMPARE(units.at(1), big);
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
        const QByteArray good = frame(0x14, QByteArray("\x05\x00", 2));
        a.feed(good);
        QCOMPARE(drain(a), Units{good});
    }

    void floodIsBounded() {
        UnitAssembler a;
        // A megabyte of noise: nothing piles up, nothing comes out.
        for (int i = 0; i < 1000; ++i)
            a.feed(QByteArray(1000, '\x7f'));
        QCOMPARE(int(a.pendingBytes()), 0);
        QCOMPARE(int(a.skippedBytes()), 1000 * 1000);
        QVERIFY(!a.hasUnit());
    }
};

QTEST_GUILESS_MAIN(TestUnitAssembler)
#include "tst_unitassembler.moc"
