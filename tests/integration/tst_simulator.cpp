// The changer simulator over a real pseudo-terminal, driven unit by unit and steered through
// its control channel. Frames are built and checked with the link's codec, whose bytes the
// frame and link tests own; here only what the simulator answers and stores is checked.
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "link/frame.h"
#include "link/unitassembler.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

using namespace tf;
using tf::test::SimProcess;

namespace {

// The PC's end of the simulator's pseudo-terminal: raw bytes out, and in units (one control
// byte or one whole frame), cut by the link's assembler. A wait is an event loop woken by
// arriving bytes, so the simulator's own output is taken in meanwhile.
class RawLine {
public:
    bool open(const QString& path) {
        m_port.close();
        m_assembler = UnitAssembler();
        m_port.setPortName(path);
        return m_port.open(QIODevice::ReadWrite);
    }

    void send(const QByteArray& bytes) {
        m_port.write(bytes);
        m_port.flush();
    }

    // The next unit, or nothing when none completes within the time-out.
    std::optional<QByteArray> next(int timeoutMs = 3000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (true) {
            m_assembler.feed(m_port.readAll());
            if (m_assembler.hasUnit())
                return m_assembler.takeUnit();
            if (hungUp() || deadline.hasExpired())
                return std::nullopt;
            QEventLoop loop;
            QObject::connect(&m_port, &QSerialPort::readyRead, &loop, &QEventLoop::quit);
            QObject::connect(&m_port, &QSerialPort::errorOccurred, &loop, &QEventLoop::quit);
            QTimer::singleShot(int(qMax<qint64>(1, deadline.remainingTime())), &loop,
                               &QEventLoop::quit);
            loop.exec();
        }
    }

    qsizetype noiseBytes() const { return m_assembler.skippedBytes(); }
    // A vanished line reads as an error (which one depends on the Qt version).
    bool hungUp() const { return m_port.error() != QSerialPort::NoError; }

private:
    QSerialPort m_port;
    UnitAssembler m_assembler;
};

// A title frame with its text as raw bytes, so that the simulator's own cut can be seen.
QByteArray titleFrame(int disc, quint8 track, quint8 kind, const QByteArray& text) {
    QByteArray d;
    d.append(char(disc & 0xFF)).append(char(disc >> 8)).append(char(track)).append('\x81');
    d.append(char(kind)).append(char(14)).append(char(0));
    d.append(text.isEmpty() ? QByteArray(1, '\x01') : text);
    return buildFrame(kCmdTitleFrame, d);
}

// Handshake, then the changer's state as it reports it once the link is up: play status,
// transport state, disc ready and mode.
const QString kLinkUp = ">ENQ | <ACK | >F00:\"I'm PC\" | <ACK | <F00:\"I'm QX-517V\" | >ACK | "
                        "<EOT | >ACK | ^F12:010001001701000000 | ^F13:40 | ^F14:0100 | ^F15:00";

// Start of track k (k = 100: the lead-out) of the 99-track test disc, in frames.
int longDiscStart(int k) {
    return 150 + (k - 1) * (40 * 75 + k);
}

// A step's bytes: ENQ, ACK, NAK or EOT; "F<cmd>:<data>" a frame with its data in hex, or as
// text in quotes; anything else plain hex.
QByteArray bytes(const QString& s) {
    static const QHash<QString, char> kControl{
        {"ENQ", char(kEnq)}, {"ACK", char(kAck)}, {"NAK", char(kNak)}, {"EOT", char(kEot)}};
    if (kControl.contains(s))
        return QByteArray(1, kControl.value(s));
    if (!s.startsWith('F'))
        return QByteArray::fromHex(s.toLatin1());
    const QString data = s.section(':', 1);
    return buildFrame(quint8(s.mid(1, 2).toUInt(nullptr, 16)),
                      data.startsWith('"') ? data.mid(1, data.size() - 2).toLatin1()
                                           : QByteArray::fromHex(data.toLatin1()));
}

// The PC's request (a data request frame's data) and the one frame that answers it.
QString request(const QString& data, const QString& reply) {
    return ">ENQ | <ACK | >F03:" + data + " | <ACK | <" + reply + " | >ACK | <EOT | >ACK";
}

} // namespace

class TestSimulator : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QStringList longToc;
        for (int k = 1; k <= 100; ++k) {
            const int f = longDiscStart(k);
            longToc << QStringLiteral("\"%1:%2:%3\"")
                           .arg(f / 75 / 60, 2, 10, QLatin1Char('0'))
                           .arg(f / 75 % 60, 2, 10, QLatin1Char('0'))
                           .arg(f % 75, 2, 10, QLatin1Char('0'));
        }
        const QString library = QStringLiteral(R"({"play": {"disc": 1, "track": 1}, "discs": [
            {"slot": 1, "toc": ["00:02:00", "04:00:10", "07:30:00", "11:00:00"], "userFiles": [1],
             "musicType": 23},
            {"slot": 3, "toc": ["00:02:00", "58:14:33"], "musicType": 17},
            {"slot": 4, "toc": [%1]},
            {"slot": 6, "lengths": [%2]},
            {"slot": 7, "lengths": ["3:00"], "titleLocked": true}]})");
        m_libraryPath = m_dir.filePath("library.json");
        QVERIFY(tf::test::writeAll(
            m_libraryPath,
            library.arg(longToc.join(", "), QStringList(25, "\"3:00\"").join(", ")).toUtf8()));
    }

    void init() {
        QVERIFY2(m_sim.start(m_libraryPath, {"--load-ms", "100", "--log"}),
                 qPrintable(m_sim.lastError()));
        QVERIFY(m_line.open(m_sim.portPath()));
    }

    void cleanup() {
        if (QTest::currentTestFailed())
            qWarning().noquote() << "simulator log:\n" << m_sim.errorOutput().right(4000);
        m_sim.stop();
    }

    // Exchanges unit by unit. A step is ">X" the PC sends X; "<X" the PC receives X next ("-":
    // nothing within a short wait, "bad": a frame whose checksum fails, "hup": the line is hung
    // up, "*": any units until the line is quiet); "=X" a command exchange of frame X; "^X"
    // the changer's own exchange carrying X; "!C" the control command C ("linkup": handshake
    // and the pushes after it, "reopen": a new line after a hang-up); "?K=V" the value K of
    // the simulator's state (a path into its dump, a list in compact JSON; or "noise": the
    // bytes the PC skipped) comes to be V.
    void exchanges_data() {
        QTest::addColumn<QString>("steps"); // separated by '|'
        const QString userFile = "00080100000000";
        const QString reply = " | <F07:010001 | >ACK | <EOT | >ACK"; // to the user-file request
        // The other cases link up with "I'm PC"; one letter off is refused.
        for (const QString greeting : {"I'm pc", "I'm PC!"})
            QTest::newRow(qPrintable(greeting))
                << ">ENQ | <ACK | >F00:\"" + greeting + "\" | <EOT | >ACK | ?linked=false";
        // The user-file request with its checksum one off.
        QTest::newRow("bad checksum")
            << ">ENQ | <ACK | >0203070000080100000000EE | <NAK | >F03:" + userFile + " | <ACK" +
                   reply + " | ?stats.badFramesReceived=1 | ?stats.naksSent=1";
        QTest::newRow("titles, loaded disc") << request("80000100000000", "F09:01");
        QTest::newRow("titles, empty slot, locked disc")
            << request("80000500000000", "F09:00") + " | " + request("80000700000000", "F09:00");
        QTest::newRow("user-file names, program, play set-up")
            << request("40000000000000", "F09:02") + " | " + request("20000000000000", "F09:04") +
                   " | " + request("10000000000000", "F09:08");
        QTest::newRow("program, play set-up, changer mode 1")
            << "!set mode 1 | " + request("20000000000000", "F09:00") + " | " +
                   request("10000000000000", "F09:00");
        // A program of two steps, and one of 33, more than the changer keeps: refused, the
        // program stays.
        const QString program = R"(?program=[{"disc":3,"track":1},{"disc":4,"track":"all"}])";
        QTest::newRow("program list")
            << "=F0D:020300010400AA | " + program + " | ?play.playMode=3 | >ENQ | <ACK | >F0D:21" +
                   QString("010001").repeated(33) + " | <EOT | >ACK | " + program;
        // Searching at once; after the load time the new disc, playing, and its TOC ready.
        QTest::newRow("play request") << "!linkup | =F0B:03000101 | ^F13:60 | "
                                         "^F12:030001001100000000 | ^F13:70 | ^F14:0300 | "
                                         "?play.disc=3 | ?play.state=112";
        // Stop, repeat and random as the application sees them: gui.tst_audiotab. A key the
        // changer does not know is refused.
        QTest::newRow("transport keys")
            << "!linkup | =F0A:A0CB | ^F12:010001001701000000 | ^F13:70 | "
               "=F0A:A0CB | ^F13:80 | =F0A:A007 | ^F13:90 | =F0A:FFFF | ^F13:80 | "
               ">ENQ | <ACK | >F0A:A000 | <EOT | >ACK";
        // Its own message is opened again while the PC does not answer.
        QTest::newRow("push repeats ENQ") << "!linkup | !push state | <ENQ | <ENQ | >ACK | "
                                             "<F13:40 | >ACK | <EOT | >ACK | "
                                             "?queuedPushes=0";
        // Bytes that start nothing, a frame announcing an impossible length, then half a frame
        // that swallows the ENQ until it is given up.
        QTest::newRow("noise") << ">00FF7F41 0203FFFF 3F 02030700 | >ENQ | <ACK | >EOT | "
                                  "<ACK";
        // Random bytes of every value: whatever the changer makes of them, it keeps running.
        QRandomGenerator random(517);
        QByteArray noise(4000, '\0');
        for (char& c : noise)
            c = char(random.bounded(256));
        QTest::newRow("random bytes")
            << ">" + QString::fromLatin1(noise.toHex()) + " | <* | !linkup";
        QTest::newRow("fault refuse enq")
            << "!fault refuse enq 1 | >ENQ | <EOT | >ACK | >ENQ | <ACK";
        QTest::newRow("fault silence") << "!fault silence | >ENQ | <- | !fault clear | >ENQ | <ACK";
        QTest::newRow("fault garbage")
            << "!fault garbage 3 10 | " + request(userFile, "F07:010001") + " | ?noise=3";
        // A NAKed reply is sent again.
        QTest::newRow("fault checksum-next")
            << "!fault checksum-next 1 | >ENQ | <ACK | >F03:" + userFile + " | <ACK | <bad | >NAK" +
                   reply;
        // The ACK is lost on the way.
        QTest::newRow("fault drop-next") << "!fault drop-next 1 | >ENQ | <- | >ENQ | <ACK";
        QTest::newRow("fault hangup")
            << "!fault hangup 0 | <hup | ?portOpen=false | !reopen | !linkup";
    }

    void exchanges() {
        QFETCH(QString, steps);
        QVERIFY2(run(steps), qPrintable(m_why));
    }

    void discIdentifier_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("highest");
        QTest::newRow("99 tracks, in two frames") << 4 << 99;
        QTest::newRow("empty slot") << 5 << 0;
    }

    void discIdentifier() {
        QFETCH(int, slot);
        QFETCH(int, highest);
        const QByteArray ask = buildDataRequest(kRequestDiscId, quint16(slot));
        QVERIFY2(run(">ENQ | <ACK | >" + ask.toHex() + " | <ACK"), qPrintable(m_why));
        DiscIdAssembler assembler;
        int block = 0;
        for (auto reply = m_line.next(); reply != bytes("EOT"); reply = m_line.next()) {
            const auto decoded =
                decodeDiscIdBlock(parseFrame(reply.value_or("")).value_or(Frame{}));
            QVERIFY2(decoded, qPrintable(hex(reply)));
            QCOMPARE(int(decoded->block), ++block);
            QCOMPARE(quint16(quint8(reply->at(4)) | quint8(reply->at(5)) << 8), quint16(slot));
            assembler.add(*decoded);
            m_line.send(bytes("ACK"));
        }
        m_line.send(bytes("ACK"));
        QCOMPARE(block, highest == 99 ? 2 : 1);
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
        QString steps = ">ENQ | <ACK";
        for (const QByteArray& frame :
             {titleFrame(6, 0, 0, title25), titleFrame(6, 1, 1, "Thirty characters of a title!!"),
              titleFrame(6, 2, 1, QByteArray()), titleFrame(6, 3, 1, "Caf\xE9"),
              titleFrame(6, 21, 1, "Beyond the memory")})
            steps += " | >" + frame.toHex() + " | <ACK";
        // Then refused: a slot without a disc, a disc that takes no titles.
        steps += " | >EOT | <ACK";
        for (const int slot : {5, 7})
            steps +=
                " | >ENQ | <ACK | >" + titleFrame(slot, 0, 0, "Nope").toHex() + " | <EOT | >ACK";
        QVERIFY2(run(steps), qPrintable(m_why));

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
        SimProcess again;
        QVERIFY2(again.start(saved), qPrintable(again.lastError()));
        QCOMPARE(again.disc(6).value("memoryTitle").toString(), QString::fromLatin1(title25));
    }

    // A row's file is tests/data/sim/bad-<row>.json.
    void malformedLibraryIsRejected_data() {
        QTest::addColumn<QString>("message");
        QTest::newRow("json") << "not valid JSON at line 4";
        QTest::newRow("toc-order") << "slot 4: \"toc\" entries must increase";
        QTest::newRow("memory-length")
            << "slot 9, memory title: 43 characters where at most 25 fit";
        QTest::newRow("slot") << "\"slot\" must be a whole number from 1 to 200";
        QTest::newRow("duplicate-slot") << "slot 12: listed twice";
        QTest::newRow("unknown-key") << "slot 3: unknown key \"titel\"";
        QTest::newRow("play-empty-slot") << "play: slot 8 holds no disc";
        QTest::newRow("cdtext-tracks") << "3 track titles for 2 tracks";
    }

    void malformedLibraryIsRejected() {
        QFETCH(QString, message);
        const QString path = tf::test::sourcePath(
            QStringLiteral("tests/data/sim/bad-%1.json").arg(QTest::currentDataTag()));
        SimProcess sim;
        QVERIFY(!sim.start(path));
        QCOMPARE(sim.waitForExit(), 2);
        const QString errors = QString::fromUtf8(sim.errorOutput());
        QVERIFY2(errors.contains(path + ": ") && errors.contains(message), qPrintable(errors));
    }

private:
    static QString hex(const std::optional<QByteArray>& unit) {
        return unit ? QString::fromLatin1(unit->toHex(' ')) : QStringLiteral("nothing");
    }

    // Runs steps separated by '|'; false at the first that does not hold, m_why says which.
    bool run(const QString& steps) {
        for (const QString& part : steps.split('|')) {
            const QString step = part.trimmed();
            m_why.clear();
            if (!runStep(step.at(0).toLatin1(), step.mid(1))) {
                m_why = step + ": " + m_why;
                return false;
            }
        }
        return true;
    }

    bool runStep(char kind, const QString& arg) {
        std::optional<QByteArray> unit;
        switch (kind) {
        case '>':
            m_line.send(bytes(arg));
            return true;
        case '=':
            return run(">ENQ | <ACK | >" + arg + " | <ACK | >EOT | <ACK");
        case '^':
            // The changer's ENQ may come again before the PC's ACK reaches it.
            if (!run("<ENQ | >ACK"))
                return false;
            do
                unit = m_line.next();
            while (unit == bytes("ENQ"));
            m_why = "got " + hex(unit);
            return unit == bytes(arg) && run(">ACK | <EOT | >ACK");
        case '!':
            if (arg == "linkup")
                return run(kLinkUp);
            m_why = m_sim.command(arg);
            return m_why.startsWith("OK") &&
                   (arg != "reopen" || m_line.open(m_why.section(' ', 2)));
        case '?':
            return holds(arg.section('=', 0, 0), arg.section('=', 1));
        }
        if (arg == "*") {
            while (m_line.next(500)) {
            }
            return true;
        }
        if (arg == "hup")
            return QTest::qWaitFor([this] { return !m_line.next(200) && m_line.hungUp(); }, 5000);
        unit = m_line.next(arg == "-" ? 300 : 3000);
        m_why = "got " + hex(unit);
        if (arg == "-")
            return !unit;
        if (arg == "bad")
            return unit && unit->startsWith(char(kStx)) && !frameChecksumOk(*unit);
        return unit == bytes(arg);
    }

    // The value at a dotted path of the simulator's state (or the noise bytes the PC skipped)
    // comes to be `want`.
    bool holds(const QString& key, const QString& want) {
        QString got;
        const bool ok = QTest::qWaitFor(
            [&] {
                QJsonValue value = m_sim.dump();
                for (const QString& part : key.split('.'))
                    value = value.toObject().value(part);
                got = key == "noise" ? QString::number(m_line.noiseBytes())
                      : value.isArray()
                          ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                          : value.toVariant().toString();
                return got == want;
            },
            3000);
        m_why = "got " + got;
        return ok;
    }

    QTemporaryDir m_dir;
    QString m_libraryPath;
    SimProcess m_sim;
    RawLine m_line;
    QString m_why;
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
