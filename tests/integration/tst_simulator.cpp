// The changer simulator over a real pseudo-terminal, driven unit by unit and steered through
// its control channel. Frames are built and checked with the link's codec, whose bytes the
// frame and link tests own; here only what the simulator answers and stores is checked.
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "link/frame.h"
#include "sim/simlibrary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace tf;
using tf::test::RawLine;
using tf::test::SimProcess;

namespace {

const QByteArray kAckB(1, char(kAck));
const QByteArray kEnqB(1, char(kEnq));
const QByteArray kEotB(1, char(kEot));
const QByteArray kNakB(1, char(kNak));

// A title frame with its text as raw bytes, so that the simulator's own cut can be seen.
QByteArray titleFrame(int disc, quint8 track, quint8 userFiles, quint8 kind, quint8 musicType,
                      const QByteArray& text) {
    QByteArray d;
    d.append(char(disc & 0xFF)).append(char(disc >> 8)).append(char(track)).append(char(userFiles));
    d.append(char(kind)).append(char(musicType)).append(char(0));
    d.append(text.isEmpty() ? QByteArray(1, '\x01') : text);
    return buildFrame(kCmdTitleFrame, d);
}

QString msf(int frames) {
    return QStringLiteral("%1:%2:%3")
        .arg(frames / 75 / 60, 2, 10, QLatin1Char('0'))
        .arg(frames / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(frames % 75, 2, 10, QLatin1Char('0'));
}

// Start of track k (k = 100: the lead-out) of the 99-track test disc, in frames.
int longDiscStart(int k) {
    return 150 + (k - 1) * (40 * 75 + k);
}

} // namespace

class TestSimulator : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY2(!SimProcess::executable().isEmpty(), "built without changer-sim");
        QJsonArray longToc;
        for (int k = 1; k <= 100; ++k)
            longToc.append(msf(longDiscStart(k)));
        const QJsonArray discs{
            QJsonObject{{"slot", 1},
                        {"toc", QJsonArray{"00:02:00", "04:00:10", "07:30:00", "11:00:00"}},
                        {"userFiles", QJsonArray{1}},
                        {"musicType", 23}},
            QJsonObject{
                {"slot", 3}, {"toc", QJsonArray{"00:02:00", "58:14:33"}}, {"musicType", 17}},
            QJsonObject{{"slot", 4}, {"toc", longToc}},
            QJsonObject{{"slot", 6},
                        {"lengths", QJsonArray::fromStringList(QStringList(25, "3:00"))}},
            QJsonObject{{"slot", 7}, {"lengths", QJsonArray{"3:00"}}, {"titleLocked", true}},
        };
        const QJsonObject library{
            {"userFileNames", QJsonArray{"Road Trip", "", "Party"}},
            {"play", QJsonObject{{"disc", 1}, {"track", 1}, {"state", "stopped"}}},
            {"discs", discs}};
        m_libraryPath = m_dir.filePath("library.json");
        QVERIFY(tf::test::writeAll(m_libraryPath, QJsonDocument(library).toJson()));
    }

    void init() {
        m_why.clear();
        QVERIFY2(m_sim.start(m_libraryPath, {"--load-ms", "100", "--log"}),
                 qPrintable(m_sim.lastError()));
        QVERIFY(m_line.open(m_sim.portPath()));
    }

    void cleanup() {
        m_line.close();
        if (QTest::currentTestFailed())
            qWarning().noquote() << "simulator log:\n" << m_sim.errorOutput().right(4000);
        m_sim.stop();
    }

    void handshakeNeedsTheExactGreeting() {
        // The other cases link up with "I'm PC"; one letter off is refused.
        for (const QByteArray& greeting : {QByteArray("I'm pc"), QByteArray("I'm PC!")}) {
            QVERIFY2(refused(buildFrame(kCmdHandshake, greeting)), qPrintable(m_why));
            QCOMPARE(m_sim.dump().value("linked").toBool(), false);
        }
    }

    void discIdentifier_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("highest");
        QTest::addColumn<int>("frames");
        QTest::newRow("99 tracks in two frames") << 4 << 99 << 2;
        QTest::newRow("empty slot") << 5 << 0 << 1;
    }

    void discIdentifier() {
        QFETCH(int, slot);
        QFETCH(int, highest);
        QFETCH(int, frames);
        const auto replies = request(buildDataRequest(kRequestDiscId, quint16(slot)));
        QVERIFY2(replies, qPrintable(m_why));
        QCOMPARE(replies->size(), frames);
        DiscIdAssembler assembler;
        for (const QByteArray& reply : *replies) {
            const auto block = decodeDiscIdBlock(parseFrame(reply).value_or(Frame{}));
            QVERIFY(block);
            QCOMPARE(int(block->block), int(replies->indexOf(reply)) + 1);
            QCOMPARE(quint16(quint8(reply.at(4)) | quint8(reply.at(5)) << 8), quint16(slot));
            if (block->isFirst() && highest == 99)
                QCOMPARE(block->entries.size(), 81); // as many as one frame holds
            assembler.add(*block);
        }
        QVERIFY(assembler.isComplete());
        QCOMPARE(int(assembler.toc().lowest), highest == 0 ? 0 : 1);
        QCOMPARE(int(assembler.toc().highest), highest);
        const QList<TocTime>& entries = assembler.toc().entries;
        QCOMPARE(entries.size(), highest == 0 ? 0 : highest + 1);
        for (int k = 1; k <= entries.size(); ++k) {
            const TocTime& t = entries.at(k - 1);
            QCOMPARE((t.minutes * 60 + t.seconds) * 75 + t.frames, longDiscStart(k));
        }
    }

    void titleUploadIsStored() {
        const QByteArray title25("A Title Of 25 Characters!");
        QVERIFY2(command({titleFrame(6, 0, 0x81, 0, 14, title25),
                          titleFrame(6, 1, 0x81, 1, 14, "Thirty characters of a title!!"),
                          titleFrame(6, 2, 0x81, 1, 14, QByteArray()),
                          titleFrame(6, 3, 0x81, 1, 14, "Caf\xE9"),
                          titleFrame(6, 21, 0x81, 1, 14, "Beyond the memory")}),
                 qPrintable(m_why));

        // Refused: a slot without a disc, a disc that takes no titles.
        for (const int slot : {5, 7})
            QVERIFY2(refused(titleFrame(slot, 0, 0, 0, 0, "Nope")), qPrintable(m_why));

        const QJsonObject disc = m_sim.disc(6);
        QCOMPARE(disc.value("memoryTitle").toString(), QString::fromLatin1(title25));
        QCOMPARE(
            disc.value("memoryTracks").toObject(),
            (QJsonObject{{"1", "Thirty characters of a ti"}, {"3", QString::fromUtf8("Café")}}));
        QCOMPARE(disc.value("userFileByte").toInt(), 0x81);
        QCOMPARE(disc.value("musicType").toInt(), 14);

        // What the changer holds can be saved as a library and read back.
        const QString saved = m_dir.filePath("saved.json");
        QVERIFY(m_sim.ok("save " + saved));
        tf::sim::ChangerLibrary library;
        QString error;
        QVERIFY2(tf::sim::loadLibraryFile(saved, &library, &error), qPrintable(error));
        QCOMPARE(library.disc(6).memoryTitle, title25);
    }

    void badChecksumGetsNak() {
        m_line.send(kEnqB);
        QVERIFY2(expect(kAckB), qPrintable(m_why));
        QByteArray bad = buildDataRequest(kRequestUserFile, 1);
        bad[bad.size() - 1] = char(bad.back() + 1);
        m_line.send(bad);
        QVERIFY2(expect(kNakB), qPrintable(m_why));
        m_line.send(buildDataRequest(kRequestUserFile, 1));
        QVERIFY2(expect(kAckB), qPrintable(m_why));
        QVERIFY2(expect(buildFrame(0x07, QByteArray::fromHex("010001"))), qPrintable(m_why));
        m_line.send(kAckB); // a NAKed reply is sent again: the checksum-next fault below
        QVERIFY2(expect(kEotB), qPrintable(m_why));
        m_line.send(kAckB);
        const QJsonObject stats = m_sim.dump().value("stats").toObject();
        QCOMPARE(stats.value("badFramesReceived").toInt(), 1);
        QCOMPARE(stats.value("naksSent").toInt(), 1);
    }

    void permissions_data() {
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("disc");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("answer");
        QTest::newRow("titles, loaded disc") << 0x80 << 1 << 0 << 0x01;
        QTest::newRow("titles, empty slot") << 0x80 << 5 << 0 << 0x00;
        QTest::newRow("titles, locked disc") << 0x80 << 7 << 0 << 0x00;
        QTest::newRow("user-file names") << 0x40 << 0 << 0 << 0x02;
        QTest::newRow("program") << 0x20 << 0 << 0 << 0x04;
        QTest::newRow("program, changer mode 1") << 0x20 << 0 << 1 << 0x00;
        QTest::newRow("play set-up") << 0x10 << 0 << 0 << 0x08;
        QTest::newRow("play set-up, changer mode 1") << 0x10 << 0 << 1 << 0x00;
    }

    void permissions() {
        QFETCH(int, group);
        QFETCH(int, disc);
        QFETCH(int, mode);
        QFETCH(int, answer);
        QVERIFY(m_sim.ok(QStringLiteral("set mode %1").arg(mode)));
        const auto replies = request(buildDataRequest(quint8(group), 0x00, quint16(disc)));
        QVERIFY2(replies, qPrintable(m_why));
        QCOMPARE(replies->size(), 1);
        QCOMPARE(replies->at(0), buildFrame(0x09, QByteArray(1, char(answer))));
    }

    void programIsStored() {
        QVERIFY2(command({buildFrame(0x0D, QByteArray::fromHex("02"
                                                               "030001"
                                                               "0400AA"))}),
                 qPrintable(m_why));
        const QJsonObject dump = m_sim.dump();
        QCOMPARE(dump.value("program").toArray(),
                 (QJsonArray{QJsonObject{{"disc", 3}, {"track", 1}},
                             QJsonObject{{"disc", 4}, {"track", "all"}}}));
        QCOMPARE(dump.value("play").toObject().value("playMode").toInt(), 3);

        // 33 steps are more than the changer keeps: refused, the program stays.
        QByteArray tooMany(1, char(33));
        for (int i = 0; i < 33; ++i)
            tooMany += QByteArray::fromHex("010001");
        QVERIFY2(refused(buildFrame(0x0D, tooMany)), qPrintable(m_why));
        QCOMPARE(m_sim.dump().value("program").toArray().size(), 2);
    }

    void playRequestPushesAfterLoad() {
        QVERIFY2(linkUp(), qPrintable(m_why));
        QVERIFY2(command({buildFrame(0x0B, QByteArray::fromHex("03000101"))}), qPrintable(m_why));
        // Searching at once; after the load time the new disc, playing, and its TOC ready.
        const QList<QByteArray> expected{
            buildFrame(0x13, QByteArray::fromHex("60")),
            buildFrame(0x12, QByteArray::fromHex("03000100110000"
                                                 "0000")),
            buildFrame(0x13, QByteArray::fromHex("70")),
            buildFrame(0x14, QByteArray::fromHex("0300")),
        };
        for (const QByteArray& wanted : expected) {
            const std::optional<QByteArray> pushed = takePush();
            QVERIFY2(pushed, qPrintable(m_why));
            QCOMPARE(pushed->toHex(' '), wanted.toHex(' '));
        }
        const QJsonObject play = m_sim.dump().value("play").toObject();
        QCOMPARE(play.value("disc").toInt(), 3);
        QCOMPARE(play.value("state").toInt(), 0x70);
    }

    void transportKeys() {
        // Stop, repeat and random as the application sees them: gui.tst_audiotab.
        QVERIFY2(linkUp(), qPrintable(m_why));
        struct Step {
            const char* key;
            QList<QByteArray> pushes;
        };
        const QList<Step> steps{
            {"A0CB",
             {buildFrame(0x12, QByteArray::fromHex("010001001701000000")),
              buildFrame(0x13, "\x70")}},
            {"A0CB", {buildFrame(0x13, QByteArray::fromHex("80"))}},
            {"A007", {buildFrame(0x13, QByteArray::fromHex("90"))}},
            {"FFFF", {buildFrame(0x13, QByteArray::fromHex("80"))}},
        };
        for (const Step& step : steps) {
            QVERIFY2(command({buildFrame(0x0A, QByteArray::fromHex(step.key))}), qPrintable(m_why));
            for (const QByteArray& wanted : step.pushes) {
                const std::optional<QByteArray> pushed = takePush();
                QVERIFY2(pushed, qPrintable(m_why + " after key " + step.key));
                QCOMPARE(pushed->toHex(' '), wanted.toHex(' '));
            }
        }
        // A key the changer does not know is refused.
        QVERIFY2(refused(buildFrame(0x0A, QByteArray::fromHex("A000"))), qPrintable(m_why));
    }

    void pushRepeatsEnqUntilAnswered() {
        QVERIFY2(linkUp(), qPrintable(m_why));
        QVERIFY(m_sim.ok("push state"));
        QVERIFY2(expect(kEnqB), qPrintable(m_why)); // left unanswered
        QVERIFY2(expect(kEnqB), qPrintable(m_why));
        m_line.send(kAckB);
        QVERIFY2(expect(buildFrame(0x13, QByteArray::fromHex("40"))), qPrintable(m_why));
        m_line.send(kAckB);
        QVERIFY2(expect(kEotB), qPrintable(m_why));
        m_line.send(kAckB);
        QTRY_COMPARE(m_sim.dump().value("queuedPushes").toInt(), 0);
    }

    void faults_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("refuse enq") << "refuse enq 1";
        QTest::newRow("silence") << "silence";
        QTest::newRow("garbage") << "garbage 3 10";
        QTest::newRow("checksum-next") << "checksum-next 1";
        QTest::newRow("drop-next") << "drop-next 1";
        QTest::newRow("hangup") << "hangup 0";
    }

    void faults() {
        QFETCH(QString, fault);
        QVERIFY2(m_sim.ok("fault " + fault), qPrintable(m_sim.lastError()));
        const QString name = fault.section(' ', 0, 1);
        const QByteArray userFileRequest = buildDataRequest(kRequestUserFile, 1);
        const QByteArray userFileReply = buildFrame(0x07, QByteArray::fromHex("010001"));

        if (name == "refuse enq") {
            m_line.send(kEnqB);
            QVERIFY2(expect(kEotB), qPrintable(m_why));
            m_line.send(kAckB);
            m_line.send(kEnqB); // the refusal was for one ENQ only
            QVERIFY2(expect(kAckB), qPrintable(m_why));
        } else if (name.startsWith("silence")) {
            m_line.send(kEnqB);
            QVERIFY(!m_line.next(300));
            QVERIFY(m_sim.ok("fault clear"));
            m_line.send(kEnqB);
            QVERIFY2(expect(kAckB), qPrintable(m_why));
        } else if (name.startsWith("garbage")) {
            const auto replies = request(userFileRequest);
            QVERIFY2(replies, qPrintable(m_why));
            QCOMPARE(replies->value(0), userFileReply);
            QCOMPARE(m_line.noiseBytes(), 3);
        } else if (name.startsWith("checksum-next")) {
            m_line.send(kEnqB);
            QVERIFY2(expect(kAckB), qPrintable(m_why));
            m_line.send(userFileRequest);
            QVERIFY2(expect(kAckB), qPrintable(m_why));
            const std::optional<QByteArray> bad = m_line.next();
            QVERIFY(bad && !frameChecksumOk(*bad));
            m_line.send(kNakB);
            QVERIFY2(expect(userFileReply), qPrintable(m_why));
            m_line.send(kAckB);
            QVERIFY2(expect(kEotB), qPrintable(m_why));
            m_line.send(kAckB);
        } else if (name.startsWith("drop-next")) {
            m_line.send(kEnqB);
            QVERIFY(!m_line.next(300)); // the ACK was lost on the way
            m_line.send(kEnqB);
            QVERIFY2(expect(kAckB), qPrintable(m_why));
        } else if (name.startsWith("hangup")) {
            QTRY_VERIFY(m_line.next(200) == std::nullopt && m_line.hungUp());
            QVERIFY(!m_sim.dump().value("portOpen").toBool());
            const QString answer = m_sim.command("reopen");
            QVERIFY2(answer.startsWith("OK PTY /"), qPrintable(answer));
            m_line.close();
            QVERIFY(m_line.open(answer.section(' ', 2)));
            QVERIFY2(linkUp(), qPrintable(m_why));
        } else {
            QFAIL("no scenario for this fault");
        }
    }

    void resynchronisesAfterNoise() {
        // Bytes that start nothing, a frame announcing an impossible length, then half a frame.
        m_line.send(QByteArray::fromHex("00FF7F41"
                                        "0203FFFF"
                                        "3F"
                                        "02030700"));
        m_line.send(kEnqB); // swallowed by the half frame until it is given up
        QVERIFY2(expect(kAckB), qPrintable(m_why));
        m_line.send(kEotB);
        QVERIFY2(expect(kAckB), qPrintable(m_why));

        // Random bytes of every value: whatever the changer makes of them, it keeps running.
        QRandomGenerator random(517);
        QByteArray noise;
        for (int i = 0; i < 4000; ++i)
            noise.append(char(random.bounded(256)));
        m_line.send(noise);
        while (m_line.next(500)) {
        }
        QVERIFY(m_sim.isRunning());
        QVERIFY2(linkUp(), qPrintable(m_why));
    }

    void malformedLibraryIsRejected_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("syntax") << "bad-json.json"
                                << "not valid JSON at line 4";
        QTest::newRow("toc order") << "bad-toc-order.json"
                                   << "slot 4: \"toc\" entries must increase";
        QTest::newRow("memory title") << "bad-memory-length.json"
                                      << "slot 9, memory title: 43 characters where at most 25 fit";
        QTest::newRow("slot") << "bad-slot.json"
                              << "\"slot\" must be a whole number from 1 to 200";
        QTest::newRow("duplicate") << "bad-duplicate-slot.json"
                                   << "slot 12: listed twice";
        QTest::newRow("unknown key") << "bad-unknown-key.json"
                                     << "slot 3: unknown key \"titel\"";
        QTest::newRow("play empty slot") << "bad-play-empty-slot.json"
                                         << "play: slot 8 holds no disc";
        QTest::newRow("cd text tracks") << "bad-cdtext-tracks.json"
                                        << "3 track titles for 2 tracks";
    }

    void malformedLibraryIsRejected() {
        QFETCH(QString, file);
        QFETCH(QString, message);
        const QString path = tf::test::sourcePath("tests/data/sim/" + file);
        tf::sim::ChangerLibrary library;
        library.changerMode = 1;
        QString error;
        QVERIFY(!tf::sim::loadLibraryFile(path, &library, &error));
        QVERIFY2(error.contains(message), qPrintable(error));
        QVERIFY(error.startsWith(path));
        QCOMPARE(library.changerMode, 1); // nothing half-loaded

        SimProcess sim;
        QVERIFY(!sim.start(path));
        QCOMPARE(sim.waitForExit(), 2);
        QVERIFY2(QString::fromUtf8(sim.errorOutput()).contains(message),
                 sim.errorOutput().constData());
    }

private:
    bool expect(const QByteArray& wanted, int timeoutMs = 3000) {
        const std::optional<QByteArray> unit = m_line.next(timeoutMs);
        if (unit == wanted)
            return true;
        m_why = QStringLiteral("expected %1, got %2")
                    .arg(QString::fromLatin1(wanted.toHex(' ')),
                         unit ? QString::fromLatin1(unit->toHex(' ')) : QStringLiteral("nothing"));
        return false;
    }

    // Handshake, then the four frames a changer pushes once the link is up.
    bool linkUp() {
        m_line.send(kEnqB);
        if (!expect(kAckB))
            return false;
        m_line.send(buildHandshake());
        if (!expect(kAckB) || !expect(buildFrame(kReplyHandshake, "I'm QX-517V")))
            return false;
        m_line.send(kAckB);
        if (!expect(kEotB))
            return false;
        m_line.send(kAckB);
        for (const quint8 cmd : {0x12, 0x13, 0x14, 0x15}) {
            const std::optional<QByteArray> f = takePush();
            if (!f || quint8(f->at(1)) != cmd) {
                m_why += QStringLiteral(" (initial push %1)").arg(cmd, 0, 16);
                return false;
            }
        }
        return true;
    }

    // The changer's own exchange: ENQ, ACK, frame, ACK, EOT, ACK.
    std::optional<QByteArray> takePush() {
        if (!expect(kEnqB))
            return std::nullopt;
        m_line.send(kAckB);
        std::optional<QByteArray> f = m_line.next();
        while (f == kEnqB) // an ENQ repeated before our ACK arrived; the frame follows
            f = m_line.next();
        if (!f || quint8(f->at(0)) != kStx || !frameChecksumOk(*f)) {
            m_why = QStringLiteral("no good pushed frame");
            return std::nullopt;
        }
        m_line.send(kAckB);
        if (!expect(kEotB))
            return std::nullopt;
        m_line.send(kAckB);
        return f;
    }

    // A data request: ENQ, request, every reply frame acknowledged, the changer's EOT.
    std::optional<QList<QByteArray>> request(const QByteArray& requestFrame) {
        m_line.send(kEnqB);
        if (!expect(kAckB))
            return std::nullopt;
        m_line.send(requestFrame);
        if (!expect(kAckB))
            return std::nullopt;
        QList<QByteArray> replies;
        while (true) {
            const std::optional<QByteArray> unit = m_line.next();
            if (unit == kEotB) {
                m_line.send(kAckB);
                return replies;
            }
            if (!unit || quint8(unit->at(0)) != kStx || !frameChecksumOk(*unit)) {
                m_why = QStringLiteral("bad reply after %1 frames").arg(replies.size());
                return std::nullopt;
            }
            replies.append(*unit);
            m_line.send(kAckB);
        }
    }

    // A command exchange: ENQ, each frame acknowledged, EOT acknowledged.
    bool command(const QList<QByteArray>& frames) {
        m_line.send(kEnqB);
        if (!expect(kAckB))
            return false;
        for (const QByteArray& f : frames) {
            m_line.send(f);
            if (!expect(kAckB))
                return false;
        }
        m_line.send(kEotB);
        return expect(kAckB);
    }

    // ENQ acknowledged, then `f` refused with EOT, which is acknowledged.
    bool refused(const QByteArray& f) {
        m_line.send(kEnqB);
        if (!expect(kAckB))
            return false;
        m_line.send(f);
        const bool eot = expect(kEotB);
        m_line.send(kAckB);
        return eot;
    }

    QTemporaryDir m_dir;
    QString m_libraryPath;
    SimProcess m_sim;
    RawLine m_line;
    QString m_why;
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
