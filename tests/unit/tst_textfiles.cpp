#include "base/codepage.h"
#include "common/testsupport.h"
#include "store/recordfile.h"
#include "store/textfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;

class TestTextFiles : public QObject {
    Q_OBJECT
private slots:
    void codepageRoundTrip_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii and latin1") << QStringLiteral("Caf\u00e9 \u00c5ngstr\u00f6m")
                                          << QByteArray("Caf\xe9 \xc5ngstr\xf6m");
        // The whole 0x80-0x9F block as Windows-1252 defines it, and the ends of the Latin-1 range.
        QTest::newRow("every defined byte 0x80-0x9F")
            << QStringLiteral("\u20ac\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039"
                              "\u0152\u017d\u2018\u2019\u201c\u201d\u2022\u2013\u2014\u02dc\u2122"
                              "\u0161\u203a\u0153\u017e\u0178")
            << QByteArray("\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8a\x8b\x8c\x8e\x91\x92\x93\x94"
                          "\x95\x96\x97\x98\x99\x9a\x9b\x9c\x9e\x9f");
        QTest::newRow("no-break space and y diaeresis")
            << QStringLiteral("\u00a0\u00ff") << QByteArray("\xa0\xff");
        QTest::newRow("undefined 0x81 survives") << QStringLiteral("\u0081") << QByteArray("\x81");
    }

    void codepageRoundTrip() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(codepage::toCp1252(text), bytes);
        QCOMPARE(codepage::fromCp1252(bytes), text);
    }

    void unmappableBecomesQuestionMark() {
        QCOMPARE(codepage::toCp1252(QStringLiteral("a\u65e5b")), QByteArray("a?b"));
        QCOMPARE(codepage::toCp1252(QString::fromUcs4(U"x\U0001F3B5y")), QByteArray("x?y"));
    }

    void splitLines_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("lf, no final end") << QByteArray("a\nb") << QStringList{"a", "b"};
        QTest::newRow("empty lines kept")
            << QByteArray("\r\n\r\nx\r\n") << QStringList{"", "", "x"};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("high bytes") << QByteArray("\xe9t\xe9\r\n") << QStringList{"\u00e9t\u00e9"};
    }

    void splitLines() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(textfile::splitLines(bytes), lines);
    }

    void joinLinesWritesCrLfAndNoControls() {
        const QByteArray bytes = textfile::joinLines(
            {QStringLiteral("one"), QStringLiteral("tw\no\r"), QString(), "x\ty"});
        QCOMPARE(bytes, QByteArray("one\r\ntw o \r\n\r\nx y\r\n"));
        // What was written reads back as the same number of records.
        QCOMPARE(textfile::splitLines(bytes).size(), 4);
    }

    void controlCharacterBounds() {
        for (const uint u : {0x00u, 0x1Fu, 0x7Fu, 0x80u, 0x9Fu})
            QVERIFY2(codepage::isControl(QChar(u)), qPrintable(QString::number(u, 16)));
        for (const uint u : {0x20u, 0x7Eu, 0xA0u, 0x20ACu})
            QVERIFY2(!codepage::isControl(QChar(u)), qPrintable(QString::number(u, 16)));
    }

    void numbers_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("valid");
        QTest::newRow("padded") << " 12 " << 12 << true;
        QTest::newRow("negative") << " -1 " << -1 << true;
        QTest::newRow("tabs and blanks") << "\t 3  " << 3 << true;
        QTest::newRow("text") << "abc" << 0 << false;
        QTest::newRow("empty") << "" << 0 << false;
        QTest::newRow("beyond 16 bits") << "70000" << 0 << false;
    }

    void numbers() {
        QFETCH(QString, line);
        QFETCH(int, value);
        QFETCH(bool, valid);
        const auto parsed = textfile::parseNumber(line);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(int(*parsed), value);
        QCOMPARE(textfile::paddedNumber(12), QStringLiteral(" 12 "));
    }

    void replaceFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("data.txt");
        QVERIFY(test::writeAll(path, "old\r\n"));
        QVERIFY(textfile::replaceLines(path, dir.filePath("data.tmp"), {"new"}));
        QCOMPARE(test::readAll(path), QByteArray("new\r\n"));
        QVERIFY(!QFile::exists(dir.filePath("data.tmp")));

        // The rename target is a folder: the write succeeds, the replacement must not, and
        // the scratch file goes. (A write that fails keeps the old file: tst_crashsafety.)
        QVERIFY(QDir(dir.path()).mkdir("target"));
        QVERIFY(!textfile::replaceLines(dir.filePath("target"), dir.filePath("t.tmp"), {"x"}));
        QVERIFY(!QFile::exists(dir.filePath("t.tmp")));
    }

    void recordLayoutAndDamage() {
        QByteArray bytes;
        recordfile::putRecord(bytes, 2, QStringLiteral("abc"));
        QCOMPARE(bytes.size(), 256);
        QCOMPARE(bytes.mid(128, 5), QByteArray("\x03\x00"
                                               "abc",
                                               5));
        QCOMPARE(recordfile::recordFromBytes(bytes, 2), QStringLiteral("abc"));
        QCOMPARE(recordfile::recordFromBytes(bytes, 1), QString());
        QCOMPARE(recordfile::recordFromBytes(bytes, 5), QString()); // beyond the end: empty

        // The longest text a record can hold, and a longer one cut to it.
        recordfile::putRecord(bytes, 1, QString(200, QLatin1Char('x')));
        QCOMPARE(recordfile::recordFromBytes(bytes, 1)->size(), recordfile::kMaxTextBytes);
        QCOMPARE(recordfile::recordFromBytes(bytes, 2), QStringLiteral("abc"));

        // Damaged records are refused, not read past their end.
        bytes[0] = char(0xFF); // length 255: runs past the record
        QVERIFY(!recordfile::recordFromBytes(bytes, 1).has_value());
        QByteArray truncated("\x05\x00"
                             "ab",
                             4);
        QVERIFY(!recordfile::recordFromBytes(truncated, 1).has_value());
        QVERIFY(!recordfile::readRecord(QStringLiteral("/nonexistent/ufn.txt"), 1).has_value());
    }
};

QTEST_GUILESS_MAIN(TestTextFiles)
#include "tst_textfiles.moc"
