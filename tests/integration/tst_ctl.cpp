// trackfen-ctl, the real program, against changer-sim over a pseudo-terminal: every command,
// the exit codes, the port held by the application, and export and import through the binary.

#include "common/httpstub.h"
#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "link/frame.h"
#include "link/link.h"
#include "model/playtables.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tf;
using tf::test::readAll;
using tf::test::writeAll;

namespace {

struct Run {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

QJsonObject objectOf(const QByteArray& bytes) {
    return QJsonDocument::fromJson(bytes).object();
}

} // namespace

class TestCtl : public QObject {
    Q_OBJECT

    // Every case starts from folders of its own, and from a changer of its own when it needs
    // one, so any one runs alone.
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<test::SimProcess> m_simProcess;

    test::SimProcess* sim() {
        if (!m_simProcess) {
            m_simProcess = std::make_unique<test::SimProcess>();
            if (!m_simProcess->start(test::sourcePath("tests/data/ctl/library.json"),
                                     {"--load-ms", "20"}))
                qWarning() << m_simProcess->lastError();
        }
        return m_simProcess.get();
    }

    QString programDir() const { return m_dir->filePath("prog"); }
    QString dataDir() const { return m_dir->filePath("data") + '/'; }

    void setUp(QProcess& process, const QStringList& args, bool withDevice,
               const QString& data = QString()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The COM mapping lives in the per-user settings: keep the user's own out of reach.
        env.insert("XDG_CONFIG_HOME", m_dir->filePath("config"));
        env.remove("QT_LOGGING_RULES");
        process.setProcessEnvironment(env);
        QStringList all{"--program-folder", programDir(), "--data-folder",
                        data.isEmpty() ? dataDir() : data};
        if (withDevice)
            all << "--device" << sim()->portPath();
        process.start(QStringLiteral(TRACKFEN_CTL), all + args);
    }

    Run ctl(const QStringList& args, bool withDevice = true, const QString& data = QString()) {
        QProcess process;
        setUp(process, args, withDevice, data);
        if (!process.waitForFinished(120000))
            process.kill(); // a hung tool ends as a crash, code -1
        process.waitForFinished();
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

    QJsonObject play() { return sim()->dump().value("play").toObject(); }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir().mkpath(programDir()));
        QVERIFY(QDir().mkpath(dataDir()));
    }

    void cleanup() { m_simProcess.reset(); }

    // Exit codes: 0 done, 1 usage, 2 changer, 3 data (4 busy and 5 refused below).
    void exitCodes_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("withDevice");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, const QStringList& args, int code, const char* text,
                      bool withDevice = false, const char* fault = "") {
            QTest::newRow(name) << args << withDevice << QString(fault) << code << QString(text);
        };
        row("no command", {}, 1, "Usage: trackfen-ctl");
        row("unknown command", {"spin"}, 1, "Unknown command spin");
        row("command help", {"import", "--help"}, 0, "--dry-run");
        row("bad disc", {"play", "201"}, 1, "Bad arguments for play");
        row("bad music type", {"mode", "music-type", "10"}, 1, "Bad arguments");
        row("unknown option", {"status", "--loud"}, 1, "unknown option --loud");
        row("option without value", {"status", "--device"}, 1, "--device needs a value");
        row("33 steps", QStringList{"program", "set"} + QStringList(33, "1:1"), 1,
            "Bad arguments for program");
        // The reason follows the failure: here, the device that is not there.
        row("no changer", {"--device", "@DIR@/no-such-port", "status"}, 2,
            "Cannot open the serial port @DIR@/no-such-port.\nThere is no device "
            "@DIR@/no-such-port");
        // The changer refuses to play a music type without discs of it.
        row("mode refused", {"mode", "music-type", "14"}, 2, "refused the play mode", true,
            "fault refuse playmode 1");
        // Only the asked bit of the permission answer counts.
        row("mode not permitted", {"mode", "user-file", "2"}, 2, "refused the play mode", true,
            "fault permission 7");
        row("no title file to upload", {"upload", "2"}, 3, "DISC2.txt", true);
        row("malformed import", {"import", "@DIR@/broken.csv"}, 3, "line 1: the header");
    }
    void exitCodes() {
        QFETCH(QStringList, args);
        QFETCH(bool, withDevice);
        QFETCH(QString, fault);
        QFETCH(int, code);
        QFETCH(QString, text);
        args.replaceInStrings("@DIR@", m_dir->path());
        text.replace("@DIR@", m_dir->path());
        QVERIFY(writeAll(m_dir->filePath("broken.csv"), "record,slot\r\n"));
        if (!fault.isEmpty())
            QVERIFY(sim()->ok(fault));
        const Run run = ctl(args, withDevice);
        QCOMPARE(run.code, code);
        QVERIFY2((run.out + run.err).contains(text.toUtf8()), (run.out + run.err).constData());
        // Nothing was written to the data folder.
        QVERIFY(QDir(dataDir()).isEmpty());
    }

    // One changer through the commands a user runs in turn: its state, a disc's titles, play
    // and keys, the play modes and the program.
    void changerCommands() {
        const Run status = ctl({"status"});
        QCOMPARE(status.code, 0);
        QVERIFY2(status.err.isEmpty(), status.err.constData());
        const QJsonObject o = objectOf(status.out);
        QCOMPARE(o.value("disc").toInt(), 1);
        QCOMPARE(o.value("changerMode").toInt(-1), 0);
        QCOMPARE(o.value("stateText").toString(), playback::playStateText(0x40)); // stopped
        QCOMPARE(o.value("userFileBits").toInt(), 1);

        const Run titles = ctl({"titles", "1"});
        QCOMPARE(titles.code, 0);
        const QJsonObject t = objectOf(titles.out);
        QCOMPARE(t.value("title").toString(), "Memory Disc");
        QCOMPARE(t.value("lowest").toInt(), 1);
        QCOMPARE(t.value("highest").toInt(), 3);
        QCOMPARE(t.value("tracks").toArray(), QJsonArray({"One", "", "Three"}));
        // The working file of the download does not stay behind.
        QVERIFY(!QFile::exists(QDir(programDir()).filePath("texttmp.txt")));

        QCOMPARE(ctl({"play", "2", "2"}).code, 0);
        QTRY_COMPARE(play().value("disc").toInt(), 2);
        QTRY_COMPARE(play().value("state").toInt(), 0x70); // playing
        QCOMPARE(play().value("track").toInt(), 2);
        QCOMPARE(ctl({"key", "previous"}).code, 0);
        QTRY_COMPARE(play().value("track").toInt(), 1);
        QCOMPARE(ctl({"key", "stop"}).code, 0);
        QTRY_COMPARE(play().value("state").toInt(), 0x40); // stopped
        QCOMPARE(ctl({"key", "repeat"}).code, 0);
        QTRY_VERIFY(play().value("repeat").toBool());
        // A held key is released afterwards: the changer is not left searching.
        QCOMPARE(ctl({"key", "forward", "--hold", "100"}).code, 0);
        QCOMPARE(sim()->dump().value("engine").toString(), "idle");
        // The last slot is taken like any other (the simulator holds no disc there).
        const Run last = ctl({"play", "200"});
        QVERIFY2(!(last.out + last.err).contains("Bad arguments"), last.err.constData());

        QCOMPARE(ctl({"mode", "user-file", "2"}).code, 0);
        QTRY_COMPARE(play().value("playMode").toInt(), 7);
        QCOMPARE(play().value("userFileMask").toInt(), 2);
        QCOMPARE(ctl({"mode", "music-type", "14"}).code, 0);
        QTRY_COMPARE(play().value("playMode").toInt(), 5);
        QCOMPARE(play().value("musicType").toInt(), 14);

        QCOMPARE(ctl({"program", "set", "1:3", "2:all", "4"}).code, 0);
        const QJsonArray steps = sim()->dump().value("program").toArray();
        QCOMPARE(steps.size(), 3);
        QCOMPARE(steps.at(0).toObject().value("track").toInt(), 3);
        QCOMPARE(steps.at(1).toObject().value("track").toString(), "all");
        QTRY_COMPARE(play().value("playMode").toInt(), 3);
        const Run get = ctl({"program", "get"});
        QCOMPARE(get.code, 0);
        QCOMPARE(get.out, QByteArray("1:3\n2:all\n4:all\n"));
        QCOMPARE(ctl({"mode", "clear"}).code, 0);
        QTRY_COMPARE(play().value("playMode").toInt(), 0);
        QCOMPARE(ctl({"mode", "program"}).code, 0);
        QTRY_COMPARE(play().value("playMode").toInt(), 3);
        QCOMPARE(ctl({"program", "set"}).code, 0);
        QTRY_VERIFY(sim()->dump().value("program").toArray().isEmpty());
        QCOMPARE(ctl({"program", "get"}).out, QByteArray());
        QTRY_COMPARE(play().value("playMode").toInt(), 0);
    }

    // MusicBrainz on a loopback stub: the candidates as JSON, then candidate 1 written to
    // DISC2.txt and the changer.
    void lookupListsThenWrites() {
        test::HttpStub mb;
        QVERIFY(mb.listen());
        const QByteArray reply =
            readAll(test::sourcePath("tests/data/musicbrainz/one-release.json"));
        mb.setHandler([&](const test::HttpStubRequest& r) {
            return r.target.startsWith("/ws/2/discid/GrqabRjESEYSxYYLtHe_nsLpsyE-?")
                       ? test::HttpStubReply::text(reply)
                       : test::HttpStubReply::text({}, 404, "No");
        });
        QVERIFY(QDir().mkpath(m_dir->filePath("config/MYAPP")));
        QVERIFY(writeAll(m_dir->filePath("config/MYAPP/MYAPP.conf"),
                         "[MusicBrainz]\nScheme=http\nServer=127.0.0.1\nPort=" +
                             QByteArray::number(mb.port()) + "\n"));
        for (const bool write : {false, true}) {
            QProcess process;
            QStringList args{"lookup", "2", "--source", "musicbrainz", "--json"};
            setUp(process, write ? args + QStringList{"--write", "1"} : args, true);
            // The stub answers from this process's event loop: keep it turning.
            QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 60000);
            QCOMPARE(process.exitCode(), 0);
            const QJsonArray list =
                QJsonDocument::fromJson(process.readAllStandardOutput()).array();
            QCOMPARE(list.size(), 1);
            QCOMPARE(list.first()["source"].toString(), QString("MusicBrainz"));
            QCOMPARE(list.first()["release"].toString(),
                     QString("1999, GB, Lumen, disc 1 of 1, 2 tracks"));
            QCOMPARE(QFile::exists(dataDir() + "DISC2.txt"), write);
        }
        QVERIFY(
            sim()->disc(2).value("memoryTitle").toString().startsWith("Alpha feat. Beta / First"));
    }

    void discId_data() {
        QTest::addColumn<QStringList>("toc");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("worked example") << QStringList{"0:2:0", "3:10:37", "7:1:12"} << 0
                                        << QByteArray("0c01a302\n150 14287 31587\n");
        QTest::newRow("frames too high") << QStringList{"0:2:75", "5:0:0"} << 1 << QByteArray();
        QTest::newRow("lead-out first") << QStringList{"5:0:0", "0:2:0"} << 3 << QByteArray();
    }
    void discId() {
        QFETCH(QStringList, toc);
        QFETCH(int, code);
        QFETCH(QByteArray, out);
        const Run run = ctl(QStringList{"discid"} + toc, false);
        QCOMPARE(run.code, code);
        QCOMPARE(run.out, out);
        QCOMPARE(run.err.isEmpty(), code == 0);
    }

    // The library commands' wiring and exit codes; the formats and what an import changes are
    // tst_libraryexport's, the ranking of a search tst_titleindex's.
    void libraryCommands() {
        QVERIFY(sim()->ok("set load-ms 0"));
        const Run read = ctl({"read-all"});
        QCOMPARE(read.code, 0);
        QCOMPARE(read.out, QByteArray("3 discs read, 197 skipped\n"));
        QVERIFY2(read.err.contains("READ ALL DISCS  CD CHANGER --> PC 200/200"),
                 read.err.right(300).constData());
        // Disc 2's file as the user left it after editing its titles.
        QVERIFY(writeAll(dataDir() + "DISC2.txt",
                         "DISC ID =\r\n0c01a302\r\nDISC NO =\r\n2\r\nMIN TNO =\r\n 1 \r\nMAX "
                         "TNO =\r\n 2 \r\nDisc Title =\r\nUploaded\r\nTrack Title =\r\nFirst\r\n"
                         "A title longer than twenty-five characters\r\n"));
        QCOMPARE(ctl({"upload", "2"}).code, 0);
        QCOMPARE(sim()->disc(2).value("memoryTracks").toObject(),
                 QJsonObject({{"1", "First"}, {"2", "A title longer than twent"}}));

        // A search reads the library folder's title files; --play N plays result N.
        const Run lines = ctl({"search", "first"}, false);
        QCOMPARE(lines.code, 0);
        QCOMPARE(lines.out, QByteArray("1\t2\t1\tUploaded\tFirst\n"));
        const QJsonArray found =
            QJsonDocument::fromJson(ctl({"search", "LONGER", "title", "--json"}, false).out)
                .array();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first()["slot"].toInt(), 2);
        QCOMPARE(found.first()["track"].toInt(), 2);
        QVERIFY(sim()->ok("log on"));
        QCOMPARE(ctl({"search", "longer", "--play", "1"}).code, 0);
        // Disc 2 (a 16-bit word), track 2, then the request's own parameter.
        const QByteArray frame = buildFrame(kCmdPlayRequest, QByteArray::fromHex("02000201"));
        QTRY_VERIFY(sim()->errorOutput().contains("rx frame 0b: " + frame.toHex(' ').toUpper()));
        QTRY_COMPARE(play().value("track").toInt(), 2);

        const QString json = m_dir->filePath("library.json");
        QCOMPARE(ctl({"export", "--output", json}).code, 0);
        QCOMPARE(objectOf(readAll(json)).value("discs").toArray().size(), 3);
        // CSV on the standard output, imported into an empty folder, exported the same.
        const Run csv = ctl({"export", "--format", "csv"});
        QVERIFY(writeAll(m_dir->filePath("library.csv"), csv.out));
        const QString other = m_dir->filePath("other");
        QCOMPARE(ctl({"import", m_dir->filePath("library.csv")}, false, other).code, 0);
        QCOMPARE(ctl({"export", "--format", "csv"}, false, other).out, csv.out);

        // A dry run writes nothing; a disc whose id differs is refused unless forced.
        const QString foreign = m_dir->filePath("foreign.json");
        QVERIFY(writeAll(
            foreign,
            readAll(json).replace("0c01a302", "11223344").replace("\"Uploaded\"", "\"Foreign\"")));
        const QByteArray before = readAll(dataDir() + "DISC2.txt");
        const Run dry = ctl({"import", foreign, "--force", "--dry-run"});
        QCOMPARE(dry.code, 0);
        QVERIFY2(dry.out.contains("\"Foreign\""), dry.out.constData());
        const Run refused = ctl({"import", foreign});
        QCOMPARE(refused.code, 5);
        QVERIFY2(refused.err.contains("refused disc 2"), refused.err.constData());
        QCOMPARE(readAll(dataDir() + "DISC2.txt"), before);
        QCOMPARE(ctl({"import", foreign, "--force"}).code, 0);
        QVERIFY(readAll(dataDir() + "DISC2.txt").contains("\r\nForeign\r\n"));

        // With the changer in its panel mode a search's play is refused.
        QVERIFY(sim()->ok("set mode 1"));
        const Run panel = ctl({"search", "first", "--play", "1"});
        QCOMPARE(panel.code, 2);
        QVERIFY2(!panel.err.isEmpty(), panel.out.constData());
    }

    void portHeldByTheApplication() {
        // The application's link holds the port: the tool refuses and leaves it alone.
        test::ScriptedUi ui;
        {
            Link app(ui);
            QCOMPARE(app.openDevice(sim()->portPath()), 0);
            const Run run = ctl({"status"});
            QCOMPARE(run.code, 4);
            QVERIFY2(run.err.contains("is in use by another program"), run.err.constData());
            QVERIFY(app.isOpen());
        }
        // Once the application lets go, the tool takes the port.
        QCOMPARE(ctl({"status"}).code, 0);
    }
};

QTEST_GUILESS_MAIN(TestCtl)
#include "tst_ctl.moc"
