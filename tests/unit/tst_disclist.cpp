#include "common/testsupport.h"
#include "store/discfile.h"
#include "store/disclist.h"
#include "store/textfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;

namespace {

// The data folder and the program folder of the tests: one temporary folder each.
struct Folders {
    QTemporaryDir data;
    QTemporaryDir program;
    QString allDisc() const { return program.filePath("alldisc.txt"); }
    QString discList() const { return data.filePath("tempdisc.txt"); }
};

// Slot 7's changer title differs from its disc file; slot 12's disc file has no title key.
void prepareConversion(const Folders& f) {
    QVERIFY(test::writeAll(f.allDisc(), test::storeGolden("alldisc.txt")));
    QVERIFY(discfile::writeFromLookup(f.data.path(), {7, {0x8A, 0x0B, 0x3C, 0x0D}}, 1, 1,
                                      "Kind of Blue", {"So What"}));
    QVERIFY(test::writeAll(f.data.filePath("DISC12.txt"), "DISC ID =\r\n01020304\r\n"));
}

} // namespace

class TestDiscList : public QObject {
    Q_OBJECT
private slots:
    void slotLabels() {
        for (const auto& [slot, item] :
             {std::pair{7, "  7"}, {12, " 12"}, {123, "123"}, {200, "200"}}) {
            const QString label = QStringLiteral("[%1] ").arg(item);
            QCOMPARE(disclist::slotLabel(slot), label);
            QCOMPARE(disclist::slotItem(slot), QString(item));
            QCOMPARE(disclist::slotOfLine(label + "Some title"), std::optional<int>(slot));
        }
    }

    void conversionGolden() {
        Folders f;
        prepareConversion(f);
        QString error;
        QCOMPARE(disclist::convertAllDiscs(f.allDisc(), f.data.path(), {7, 1, 9}, &error),
                 disclist::Result::Done);
        QCOMPARE(test::readAll(f.discList()), test::storeGolden("tempdisc-converted.txt"));
        QVERIFY(!QFile::exists(f.allDisc()));
        QVERIFY(!QFile::exists(f.data.filePath("tempd.tmp")));

        const auto entries = disclist::read(f.data.path());
        QVERIFY(entries);
        QCOMPARE(entries->size(), 4);
        QCOMPARE(entries->at(1).title, QStringLiteral("Kind of Blue"));
        QCOMPARE(entries->at(1).userFileByte, 5);
        QCOMPARE(entries->at(1).musicType, 14);
        QCOMPARE(entries->at(1).maxTno, 9);
        QCOMPARE(entries->at(3).slot, 123);

        // The converted list filled up to slot 12.
        QCOMPARE(disclist::fillToAllSlots(f.data.path(), 12), disclist::Result::Done);
        QCOMPARE(test::readAll(f.discList()), test::storeGolden("tempdisc-filled12.txt"));
    }

    void conversionMissingOrFailing() {
        Folders f;
        QCOMPARE(disclist::convertAllDiscs(f.allDisc(), f.data.path(), {}),
                 disclist::Result::NoSource);
        QCOMPARE(disclist::fillToAllSlots(f.data.path(), 12), disclist::Result::NoSource);
        QVERIFY(!QFile::exists(f.discList()));

        // A list that cannot be written keeps alldisc.txt and the old list.
        prepareConversion(f);
        QVERIFY(test::writeAll(f.discList(), test::storeGolden("tempdisc-filled12.txt")));
        QVERIFY(QDir(f.data.path()).mkdir("tempd.tmp"));
        QString error;
        QCOMPARE(disclist::convertAllDiscs(f.allDisc(), f.data.path(), {}, &error),
                 disclist::Result::Failed);
        QVERIFY(error.contains("tempd.tmp"));
        QCOMPARE(test::readAll(f.allDisc()), test::storeGolden("alldisc.txt"));
        QCOMPARE(test::readAll(f.discList()), test::storeGolden("tempdisc-filled12.txt"));

        // A record cut short at the end of the file keeps its place.
        QVERIFY(QDir(f.data.path()).rmdir("tempd.tmp"));
        QVERIFY(test::writeAll(f.allDisc(), "##3\r\n#0\r\nHalf"));
        QCOMPARE(disclist::convertAllDiscs(f.allDisc(), f.data.path(), {}), disclist::Result::Done);
        QCOMPARE(test::readAll(f.discList()), QByteArray("[  3] Half\r\n0\r\n0\r\n1\r\n1\r\n"));
    }

    void selectionList() {
        Folders f;
        disclist::SelectionList list = disclist::Create_cmbDNO_List(f.data.path(), "  7");
        QVERIFY(list.created);
        QVERIFY(list.error.isEmpty());
        QCOMPARE(list.items.size(), 200);
        QCOMPARE(list.items.at(6), QStringLiteral("  7"));
        QCOMPARE(list.items.at(122), QStringLiteral("123"));
        QCOMPARE(list.selected, 6);
        const QStringList lines = textfile::readLines(f.discList()).value();
        QCOMPARE(lines.size(), 1000);
        QCOMPARE(lines.mid(0, 5), (QStringList{"[  1] Unknown DISC", "0", "0", "1", "99"}));

        // A list that exists is read and left as it is.
        QVERIFY(test::writeAll(f.discList(), test::storeGolden("tempdisc-converted.txt")));
        list = disclist::Create_cmbDNO_List(f.data.path(), " 12");
        QVERIFY(!list.created);
        QCOMPARE(list.items, (QStringList{"  1", "  7", " 12", "123"}));
        QCOMPARE(list.selected, 2);
        QCOMPARE(disclist::Create_cmbDNO_List(f.data.path(), "5").selected, -1);
        QCOMPARE(disclist::Create_cmbDNO_List(f.data.path(), QString()).selected, -1);
        QCOMPARE(test::readAll(f.discList()), test::storeGolden("tempdisc-converted.txt"));
    }

    void findSlotItem_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("index");
        QTest::newRow("plain") << "7" << 1;
        QTest::newRow("leading zeros") << "007" << 1;
        QTest::newRow("three digits") << "123" << 3;
        QTest::newRow("not listed") << "5" << -1;
        QTest::newRow("empty") << "" << -1;
    }

    void findSlotItem() {
        QFETCH(QString, typed);
        QFETCH(int, index);
        QCOMPARE(disclist::findSlotItem({"  1", "  7", " 12", "123"}, typed), index);
    }

    void titleUpdateOnSave() {
        Folders f;
        QCOMPARE(disclist::updateTitle(f.data.path(), 7, "x"), disclist::Result::NoSource);
        QVERIFY(test::writeAll(f.discList(), test::storeGolden("tempdisc-converted.txt")));
        QString error;
        QCOMPARE(disclist::updateTitle(f.data.path(), 7, "Sketches\r\nof Spain", &error),
                 disclist::Result::Done);
        QStringList expected = textfile::splitLines(test::storeGolden("tempdisc-converted.txt"));
        expected[5] = "[  7] Sketches  of Spain";
        QCOMPARE(textfile::readLines(f.discList()).value(), expected);
        QVERIFY(!QFile::exists(f.data.filePath("tmpd.dsc")));

        QVERIFY(QDir(f.data.path()).mkdir("tmpd.dsc"));
        QCOMPARE(disclist::updateTitle(f.data.path(), 1, "y", &error), disclist::Result::Failed);
        QCOMPARE(textfile::readLines(f.discList()).value(), expected);
    }
};

QTEST_GUILESS_MAIN(TestDiscList)
#include "tst_disclist.moc"
