#include "common/testsupport.h"
#include "store/config.h"
#include "store/userfiles.h"
#include "store/usersettings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;

namespace {

QByteArray expectedDefault(const Configuration& config) {
    QByteArray golden = test::golden("config/default.KWD");
    golden.replace("@DATADIR@", config.defaultDataDir().toUtf8());
    return golden;
}

// comPort, silent, init, noWebSearch, alwaysWebSearch, proxySet.
QList<int> numbers(const ConfigSettings& s) {
    return {s.comPort, s.silent, s.init, s.noWebSearch, s.alwaysWebSearch, s.proxySet};
}

const QStringList kGoodLines = {"DATA DIR =", "/music/titles/", "COM No =", " 3 ",   "SILENT =",
                                " 1 ",        "INIT =",         " 2 ",      "WEB =", " 1 ",
                                " 4 ",        "Proxy set =",    " 1 "};

} // namespace

class TestConfig : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QSettings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP")).clear();
    }

    void firstStartCreatesDefaults() {
        QTemporaryDir dir;
        Configuration config(dir.path());
        config.LOAD_CONFIG();
        QVERIFY(config.firstRunFlag);
        QVERIFY(QFileInfo(dir.filePath("data")).isDir());
        QCOMPARE(test::readAll(config.configPath()), expectedDefault(config));
        QVERIFY(config.settings.dataDir.endsWith(QDir::separator()));
        QCOMPARE(test::readAll(config.dataPath("ufn.txt")), test::golden("store/ufn-default.txt"));
        QVERIFY(!QFile::exists(config.programPath("config.tmp")));

        // The second start reads the file it wrote and is no first run.
        Configuration again(dir.path());
        again.LOAD_CONFIG();
        QVERIFY(!again.firstRunFlag);
        QCOMPARE(again.settings.dataDir, config.settings.dataDir);
    }

    void readsGoodFileAndResetsUserFileNames() {
        QTemporaryDir dir;
        // A data folder that differs only in case does not count: "data" is created beside it.
        QVERIFY(QDir(dir.path()).mkdir("Data"));
        QTemporaryDir dataDir;
        QStringList lines = kGoodLines;
        lines[1] = dataDir.path() + "/";
        QVERIFY(test::writeAll(dir.filePath("config.KWD"), test::crlf(lines)));
        QVERIFY(userfiles::write(dataDir.filePath("ufn.txt"), {"Jazz", "Rock"}));

        Configuration config(dir.path());
        config.LOAD_CONFIG();
        QVERIFY(!config.firstRunFlag);
        QVERIFY(QFileInfo(dir.filePath("data")).isDir());
        QCOMPARE(config.settings.dataDir, dataDir.path() + "/");
        // Every start puts the default names back until the changer's names are downloaded.
        QCOMPARE(userfiles::read(dataDir.filePath("ufn.txt")), defaultUserFileNames());
    }

    // Odd lines between the keys are kept; a broken file is replaced by the defaults.
    void oddAndBrokenFiles_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<int>>("numbers"); // empty: the defaults replace the file
        QStringList between = kGoodLines;
        between.insert(2, "; comment");
        between.insert(0, "");
        between.insert(8, "junk");
        QTest::newRow("lines between keys") << between << QList<int>{3, 1, 2, 1, 4, 1};
        QStringList notANumber = kGoodLines;
        notANumber[3] = "two";
        // The port keeps its default; the key still counts.
        QTest::newRow("not a number") << notANumber << QList<int>{1, 1, 2, 1, 4, 1};
        QStringList swapped = kGoodLines;
        swapped.swapItemsAt(2, 4); // "SILENT =" before "COM No ="
        swapped.swapItemsAt(3, 5);
        QTest::newRow("keys out of order") << swapped << QList<int>{};
        // Keys match exactly: a trailing blank or another case makes a key missing.
        QStringList lower = kGoodLines;
        lower[11] = "proxy set =";
        QTest::newRow("key in other case") << lower << QList<int>{};
        QTest::newRow("missing last key") << kGoodLines.mid(0, 11) << QList<int>{};
    }

    void oddAndBrokenFiles() {
        QFETCH(QStringList, lines);
        QFETCH(QList<int>, numbers);
        QTemporaryDir dir;
        QVERIFY(test::writeAll(dir.filePath("config.KWD"), test::crlf(lines)));
        Configuration config(dir.path());
        config.LOAD_CONFIG();
        QVERIFY(!config.firstRunFlag);
        if (numbers.isEmpty()) {
            QCOMPARE(test::readAll(config.configPath()), expectedDefault(config));
            QCOMPARE(::numbers(config.settings), (QList<int>{1, 0, 0, 0, 0, 0}));
            QCOMPARE(config.settings.dataDir, config.defaultDataDir());
        } else {
            QCOMPARE(::numbers(config.settings), numbers);
            QCOMPARE(test::readAll(config.configPath()), test::crlf(lines));
        }
    }

    void writeFromOptions() {
        QTemporaryDir dir;
        Configuration config(dir.path());
        config.LOAD_CONFIG();
        // Answering the proxy question rewrites that flag alone; options saved later keep it.
        QVERIFY(config.MarkProxyQuestionAnswered());
        QByteArray expected = expectedDefault(config);
        expected.chop(QByteArray(" 0 \r\n").size());
        QCOMPARE(test::readAll(config.configPath()), expected + " 1 \r\n");
        OptionsValues options;
        options.folderPath = "/music/titles";
        options.comSelected = {false, false, true, true};
        options.silent = true;
        options.noWebSearch = true;
        QVERIFY(config.WriteConfigFromOptions(options));
        QCOMPARE(test::readAll(config.configPath()), test::golden("config/options.KWD"));
        QCOMPARE(config.settings.comPort, qint16(3));
        QCOMPARE(config.settings.dataDir, QStringLiteral("/music/titles/"));

        // A folder at the root keeps the separator doubled, as the options window builds it.
        options.folderPath = "/";
        // No port chosen writes port 5.
        options.comSelected = {};
        QVERIFY(config.WriteConfigFromOptions(options));
        QCOMPARE(config.settings.dataDir, QStringLiteral("//"));
        QCOMPARE(test::readAll(config.configPath()).split('\n').at(3), QByteArray(" 5 \r"));
    }

    void proxyHandOver() {
        QTemporaryDir dir;
        Configuration config(dir.path());
        QVERIFY(!config.takeProxyHandOver().has_value());
        ProxyHandOver proxy{"proxy.example", "s3cret", 8080, "Client Name"};
        QVERIFY(config.writeProxyHandOver(proxy));
        QCOMPARE(test::readAll(config.proxyHandOverPath()),
                 QByteArray("proxy.example\r\ns3cret\r\n8080\r\nClient Name\r\n"));
        const auto perms = QFile::permissions(config.proxyHandOverPath());
        QVERIFY(perms & QFileDevice::ReadOwner);
        QVERIFY(!(perms & (QFileDevice::ReadGroup | QFileDevice::ReadOther)));
        const auto taken = config.takeProxyHandOver();
        QVERIFY(taken.has_value());
        QCOMPARE((QStringList{taken->server, taken->password, QString::number(taken->port),
                              taken->userName}),
                 (QStringList{"proxy.example", "s3cret", "8080", "Client Name"}));
        QVERIFY(!config.takeProxyHandOver().has_value()); // one shot
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
