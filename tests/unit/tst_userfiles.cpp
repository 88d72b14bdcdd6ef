#include "common/testsupport.h"
#include "model/textframe.h"
#include "store/userfiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tf;

class TestUserFiles : public QObject {
    Q_OBJECT
private slots:
    // The user-file byte of a disc, its check boxes, and the file numbers read from it: the
    // highest bit for the play panel, exactly one bit for a title frame's item.
    void userFileByte_data() {
        QTest::addColumn<int>("byte");
        QTest::addColumn<QList<int>>("checked");
        QTest::addColumn<int>("highest");
        QTest::addColumn<int>("single");
        QTest::newRow("none") << 0x00 << QList<int>{} << 0 << 0;
        QTest::newRow("file 1") << 0x01 << QList<int>{0} << 1 << 1;
        QTest::newRow("file 8") << 0x80 << QList<int>{7} << 8 << 8;
        QTest::newRow("mixed") << 0xA6 << QList<int>{1, 2, 5, 7} << 8 << 0;
    }

    void userFileByte() {
        QFETCH(int, byte);
        QFETCH(QList<int>, checked);
        QFETCH(int, highest);
        QFETCH(int, single);
        UserFileChecks checks{};
        for (int i : checked)
            checks[i] = true;
        QCOMPARE(int(UFListindex_byte(checks)), byte);
        QCOMPARE(checksFromUserFileByte(quint8(byte)), checks);
        QCOMPARE(Change_UFBIT_to_BYTE(byte), highest);
        QCOMPARE(userFileFromMask(quint8(byte)), single);
        if (checked.size() <= 1)
            QCOMPARE(Change_BYTE_to_UFBIT(highest), byte);
    }

    void namesFile() {
        // A missing file is created for the title editor, with the default names.
        QTemporaryDir dir;
        const QString path = dir.filePath("ufn.txt");
        QCOMPARE(userfiles::loadForTitleEditor(path), defaultUserFileNames());
        QCOMPARE(test::readAll(path),
                 test::readAll(test::sourcePath("tests/data/store/ufn-default.txt")));
        // Names written short are filled with the defaults.
        QVERIFY(userfiles::write(path, {"Road trip"}));
        QStringList names = defaultUserFileNames();
        names[0] = "Road trip";
        QCOMPARE(userfiles::loadForTitleEditor(path), names);

        // The name editor falls back to the defaults, and writes them, when the first name is
        // empty.
        QVERIFY(test::writeAll(path, QByteArray(8 * 128, '\0'))); // every length 0
        QCOMPARE(userfiles::read(path), QStringList(8, QString()));
        QCOMPARE(userfiles::loadForNameEditor(path), defaultUserFileNames());
        QCOMPARE(userfiles::read(path), defaultUserFileNames());

        // A write keeps what follows each name and the records after the eighth.
        QByteArray original(10 * 128, 'Q'); // two records beyond the eighth, and junk after names
        for (int k = 0; k < 8; ++k) {
            original[k * 128] = 1;
            original[k * 128 + 1] = 0;
        }
        QVERIFY(test::writeAll(path, original));
        QVERIFY(userfiles::write(path, {"abc"}));
        const QByteArray after = test::readAll(path);
        QCOMPARE(after.size(), original.size());
        QCOMPARE(after.left(5), QByteArray("\x03\x00", 2) + "abc");
        QCOMPARE(after.mid(5, 123), original.mid(5, 123));
        QCOMPARE(after.mid(8 * 128), original.mid(8 * 128));
    }
};

QTEST_GUILESS_MAIN(TestUserFiles)
#include "tst_userfiles.moc"
