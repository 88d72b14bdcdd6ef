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
    void reads_data();
    void reads();
    void everySplitGivesTheSameUnits();
    void oversizedLengthResynchronises();
    void abandonedPartialFrame();
    void floodIsBounded();
};

void TestUnitAssembler::reads_data() {
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<Units>("units");
    QTest::addColumn<int>("skipped");

    const QByteArray f = frame(0x12, QByteArray(9, '\x01'));
    const QByteArray ack(1, char(kAck));
    const QByteArray eot(1, char(kEot));
    const QByteArray enq(1, char(kEnq));

    QTest::newRow("control byte") << QList<QByteArray>{ack} << Units{ack} << 0;
    QTest::newRow("ack and frame in one read") << QList<QByteArray>{ack + f} << Units{ack, f} << 0;
    QTest::newRow("frame split 2/3/rest")
        << QList<QByteArray>{f.left(2), f.mid(2, 3), f.mid(5)} << Units{f} << 0;
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
    QTest::newRow("empty frame") << QList<QByteArray>{frame(0x00, {})} << Units{frame(0x00, {})}
                                 << 0;
}

void TestUnitAssembler::reads() {
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

void TestUnitAssembler::everySplitGivesTheSameUnits() {
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
    // One byte a read.
    UnitAssembler a;
    for (char c : stream)
        a.feed(QByteArray(1, c));
    QCOMPARE(drain(a).size(), 3);
}

void TestUnitAssembler::oversizedLengthResynchronises() {
    // STX announcing 0xFFFF bytes behind a code no frame has: noise. Skip it and find the ACK
    // and the frame at once.
    const QByteArray good = frame(0x14, QByteArray("\x05\x00", 2));
    UnitAssembler a;
    a.feed(QByteArray("\x02\x77\xff\xff", 4) + QByteArray(1, char(kAck)) + good);
    const Units units = drain(a);
    QCOMPARE(units.size(), 2);
    QCOMPARE(units.at(0), QByteArray(1, char(kAck)));
    QCOMPARE(units.at(1), good);
    QCOMPARE(int(a.skippedBytes()), 4); // the STX, then 0x77 and the two 0xFF bytes one by one

    // The same length behind a real command code: a frame whose LEN was damaged. Its data
    // (here 0x05 and 0x04, which would read as ENQ and EOT) come out as nothing until the
    // line goes quiet; then all of it is dropped and assembly starts afresh.
    UnitAssembler b;
    b.feed(QByteArray("\x02\x12\xff\xff\x05\x04\x00", 7));
    QVERIFY(!b.hasUnit());
    QCOMPARE(int(b.pendingBytes()), 7);
    b.abandonPartialFrame();
    QVERIFY(!b.hasUnit());
    QCOMPARE(int(b.pendingBytes()), 0);
    QCOMPARE(int(b.skippedBytes()), 7);
    b.feed(good);
    QCOMPARE(drain(b), Units{good});
}

void TestUnitAssembler::abandonedPartialFrame() {
    // A noise STX that announces 20 bytes swallows the ACK behind it until it is abandoned.
    UnitAssembler a;
    a.feed(QByteArray("\x02\x01\x14\x00", 4) + QByteArray(1, char(kAck)));
    QVERIFY(!a.hasUnit());
    QCOMPARE(int(a.pendingBytes()), 5);
    a.abandonPartialFrame();
    // 0x01 and 0x14 and 0x00 are no unit starts; the ACK is.
    QCOMPARE(drain(a), Units{QByteArray(1, char(kAck))});
    QCOMPARE(int(a.pendingBytes()), 0);
    a.abandonPartialFrame(); // nothing pending: no effect
    QVERIFY(!a.hasUnit());
}

void TestUnitAssembler::floodIsBounded() {
    UnitAssembler a;
    // A megabyte of noise: nothing piles up, nothing comes out.
    for (int i = 0; i < 1000; ++i)
        a.feed(QByteArray(1000, '\x7f'));
    QCOMPARE(int(a.pendingBytes()), 0);
    QCOMPARE(int(a.skippedBytes()), 1000 * 1000);
    QVERIFY(!a.hasUnit());
}

QTEST_GUILESS_MAIN(TestUnitAssembler)
#include "tst_unitassembler.moc"
