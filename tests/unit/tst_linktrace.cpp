// The link trace's decoded summary of units sent and received, and its switch.

#include "link/frame.h"
#include "link/linktrace.h"

#include <QTest>

using namespace tf;

class TestLinkTrace : public QObject {
    Q_OBJECT

private slots:
    // A summary begins "send" for a unit sent, "recv" for one received.
    void describe_data() {
        QTest::addColumn<QByteArray>("unit");
        QTest::addColumn<QString>("summary");
        const auto row = [](const char* name, const QByteArray& unit, const QString& summary) {
            QTest::newRow(name) << unit << summary;
        };
        row("enq", QByteArray(1, char(kEnq)), "send ENQ");
        row("data request", buildDataRequest(kRequestDiscId, 12),
            "send frame cmd 0x03 data request 0x00 0x04 disc 12 track 0 kind 0 d 0");
        row("program", buildProgramList({{3, 5}, {7, 100}}),
            "send frame cmd 0x0d program 2 steps 3/5 7/all");
        row("play status",
            buildFrame(kPushPlayStatus, QByteArray("\x0c\x00\x03\x00\x17\x05\x00\x00\x01", 9)),
            "recv frame cmd 0x12 play status disc 12 track 3 step 0 music-type 23 user-files 0x05 "
            "status7 0x00 mode 0 repeat 1");
        QByteArray bad = buildFrame(kPushTocReady, QByteArray("\x07\x00", 2));
        bad[bad.size() - 1] = char(bad.at(bad.size() - 1) + 1);
        row("bad checksum", bad,
            "recv bad frame (bad checksum) " + QString::fromLatin1(bad.toHex(' ')));
        row("short reply", buildFrame(kReplyMusicType, QByteArray(1, 0)),
            "recv frame cmd 0x08 (not understood)");
    }
    void describe() {
        QFETCH(QByteArray, unit);
        QFETCH(QString, summary);
        QCOMPARE(describeUnit(summary.startsWith(QStringLiteral("send ")), unit), summary);
    }

    void offByDefaultAndSwitchable() {
        QVERIFY(!lcLinkTrace().isDebugEnabled());
        enableLinkTrace();
        QVERIFY(lcLinkTrace().isDebugEnabled());
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(" send ENQ$"));
        traceUnit(true, QByteArray(1, char(kEnq)));
    }
};

QTEST_GUILESS_MAIN(TestLinkTrace)
#include "tst_linktrace.moc"
