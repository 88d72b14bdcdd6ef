#include "model/discid.h"

#include <QTest>

using namespace tf;

class TestDiscId : public QObject {
    Q_OBJECT
private slots:
    void computeAndText_data() {
        QTest::addColumn<QList<TocTime>>("toc");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("text");
        // The worked example: start seconds 2 and 190, checksum 12, total 421 - 2 = 419.
        QTest::newRow("worked example")
            << QList<TocTime>{{0, 2, 0}, {3, 10, 37}, {7, 1, 12}} << "0c01a302"
            << "150 14287 31587";
        // 74 frames add 74; seconds count 75 frames, never 100.
        QTest::newRow("frame 74") << QList<TocTime>{{0, 2, 74}, {1, 0, 74}} << "02003a01"
                                  << "224 4574";
        // A start of 0:00 adds nothing; 99 s adds 9 + 9; total = 120 - 0.
        QTest::newRow("zero start adds nothing")
            << QList<TocTime>{{0, 0, 0}, {1, 39, 0}, {2, 0, 0}} << "12007802"
            << "0 7425 9000";
        // A checksum of 510 (28 x 18 + 6) gives byte 0: taken modulo 255, not 256, and not
        // by subtracting 255 once.
        QList<TocTime> wraps(28, {1, 39, 0});
        wraps << TocTime{0, 6, 0} << TocTime{75, 0, 0};
        QTest::newRow("checksum 510") << wraps << "0011311d" << QString();
        QTest::newRow("empty") << QList<TocTime>{} << ""
                               << "no track";
        QTest::newRow("lead-out before track 1")
            << QList<TocTime>{{10, 0, 0}, {12, 0, 0}, {9, 59, 74}} << ""
            << "before track 1";
        QTest::newRow("100 tracks") << QList<TocTime>(101, {1, 0, 0}) << ""
                                    << "at most 99";
    }

    void computeAndText() {
        QFETCH(QList<TocTime>, toc);
        QFETCH(QString, id);
        QFETCH(QString, text);
        QString error;
        const auto bytes = ComputeDiscId(toc, &error);
        if (id.isEmpty()) { // an invalid table: `text` is the reason
            QVERIFY(!bytes);
            QVERIFY2(error.contains(text), qPrintable(error));
            return;
        }
        QVERIFY2(bytes, qPrintable(error));
        QCOMPARE(discIdText(*bytes), id);
        if (!text.isEmpty())
            QCOMPARE(tocText(toc), text);
    }

    void idText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("lower") << "001aff07" << true;
        QTest::newRow("upper, blanks around") << " 001AFF07 " << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("short") << "001aff0" << false;
        QTest::newRow("path") << "../../x1" << false;
    }

    void idText() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const DiscIdBytes id{0x00, 0x1A, 0xFF, 0x07};
        QCOMPARE(parseDiscIdText(text), valid ? std::optional<DiscIdBytes>(id) : std::nullopt);
        QCOMPARE(discIdText(id, true), QStringLiteral("001AFF07"));
    }
};

QTEST_GUILESS_MAIN(TestDiscId)
#include "tst_discid.moc"
