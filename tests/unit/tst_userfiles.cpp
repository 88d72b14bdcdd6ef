#include "common/testsupport.h"
#include "store/userfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;

class TestUserFiles : public QObject {
    Q_OBJECT
private slots:
    void byteAndChecks_data() {
        QTest::addColumn<int>("byte");
        QTest::addColumn<QList<int>>("checked");
        QTest::newRow("none") << 0x00 << QList<int>{};
        QTest::newRow("files 1 and 3") << 0x05 << QList<int>{0, 2};
        QTest::newRow("file 8 only") << 0x80 << QList<int>{7};
        QTest::newRow("all") << 0xFF << QList<int>{0, 1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("mixed") << 0xA6 << QList<int>{1, 2, 5, 7};
    }

    void byteAndChecks() {
        QFETCH(int, byte);
        QFETCH(QList<int>, checked);
        UserFileChecks checks{};
        for (int i : checked)
            checks[i] = true;
        QCOMPARE(int(UFListindex_byte(checks)), byte);
        QCOMPARE(checksFromUserFileByte(quint8(byte)), checks);
    }

    void maskConversions_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("mask");
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("1") << 1 << 0x01;
        QTest::newRow("3") << 3 << 0x04;
        QTest::newRow("8") << 8 << 0x80;
    }

    void maskConversions() {
        QFETCH(int, number);
        QFETCH(int, mask);
        QCOMPARE(Change_BYTE_to_UFBIT(number), mask);
        QCOMPARE(Change_UFBIT_to_BYTE(mask), number);
        // Several bits: the highest counts.
        QCOMPARE(Change_UFBIT_to_BYTE(0x05), 3);
    }

    void missingFileCreatedForTitleEditor() {
        QTemporaryDir dir;
        const QString path = dir.filePath("ufn.txt");
        QCOMPARE(userfiles::loadForTitleEditor(path), defaultUserFileNames());
        QCOMPARE(test::readAll(path),
                 test::readAll(test::sourcePath("tests/data/store/ufn-default.txt")));
        QVERIFY(userfiles::write(path, {"Road trip"}));
        QCOMPARE(userfiles::loadForTitleEditor(path).first(), QStringLiteral("Road trip"));
    }

    void nameEditorFallsBackWhenFirstRecordEmpty() {
        QTemporaryDir dir;
        const QString path = dir.filePath("ufn.txt");
        QVERIFY(test::writeAll(path, QByteArray(8 * 128, '\0'))); // every length 0
        QCOMPARE(userfiles::read(path), QStringList(8, QString()));
        QCOMPARE(userfiles::loadForNameEditor(path), defaultUserFileNames());
        QCOMPARE(userfiles::read(path), defaultUserFileNames());
    }

    void writeKeepsRestOfRecords() {
        QTemporaryDir dir;
        const QString path = dir.filePath("ufn.txt");
        QByteArray original(10 * 128, 'Q'); // two records beyond the eighth, and junk after names
        for (int k = 0; k < 8; ++k) {
            original[k * 128] = 1;
            original[k * 128 + 1] = 0;
        }
        QVERIFY(test::writeAll(path, original));
        QVERIFY(userfiles::write(path, {"abc"}));
        const QByteArray after = test::readAll(path);
        QCOMPARE(after.size(), original.size());
        QCOMPARE(after.left(5), QByteArray("\x03\x00"
                                           "abc",
                                           5));
        QCOMPARE(after.mid(5, 123), original.mid(5, 123));
        QCOMPARE(after.mid(8 * 128), original.mid(8 * 128));
    }

    void emptyBoxesBecomeDefaults() {
        const QStringList names = namesWithDefaults({"", "Party", "", "", "", "", "", "Kids"});
        QCOMPARE(names, QStringList({"USER FILE 1", "Party", "USER FILE 3", "USER FILE 4",
                                     "USER FILE 5", "USER FILE 6", "USER FILE 7", "Kids"}));
        QCOMPARE(namesWithDefaults({}), defaultUserFileNames());
    }
};

QTEST_GUILESS_MAIN(TestUserFiles)
#include "tst_userfiles.moc"
