// Writes the seed corpora of the receive-path fuzz targets: replies as the changer sends them,
// built with the frame codec. Run once after the reply vocabulary changes:
//   fuzz_makeseeds <repo>/fuzz/corpus

#include "link/frame.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>

#include <cstdio>

using namespace tf;

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// A text reply: disc, item, user-file byte, kind, music type, 0, [entry flag], text.
QByteArray textReply(quint8 cmd, int disc, int item, int kind, const QByteArray& text,
                     int entryFlag = 1) {
    QByteArray data = bytes({disc & 0xFF, disc >> 8, item, 0x05, kind, 0x04, 0x00});
    if (cmd == kReplyTrackText)
        data.append(static_cast<char>(entryFlag));
    return buildFrame(cmd, data + text);
}

QList<QByteArray> replies() {
    return {
        buildFrame(kReplyHandshake, "I'm QX-517V"),
        buildFrame(kReplyMinMaxTno, bytes({7, 0, 1, 12, 0})),
        // ReadDiscId of a 12-track disc: the first block, then the rest and the lead-out.
        buildFrame(kReplyDiscId, bytes({7, 0, 1, 0x10, 1, 12, 0x00, 0x02, 0x00, 0x03, 0x10, 0x37,
                                        0x07, 0x01, 0x12})),
        buildFrame(kReplyDiscId,
                   bytes({7,    0,    2,    0x10, 0x40, 0x05, 0x15, 0x20, 0x00, 0x20, 0x50,
                          0x40, 0x25, 0x33, 0x70, 0x30, 0x01, 0x22, 0x35, 0x10, 0x03, 0x40,
                          0x20, 0x45, 0x12, 0x50, 0x00, 0x51, 0x02, 0x10, 0x55, 0x40, 0x44})),
        buildFrame(kReplyDiscId, bytes({9, 0, 1, 0x00, 0, 0})), // no table
        buildFrame(kReplyUserFile, bytes({7, 0, 0x05})),
        buildFrame(kReplyMusicType, bytes({7, 0, 0x04})),
        buildFrame(kReplyConfirm, bytes({0x03})),
        buildFrame(kReplyProgramList, bytes({2, 7, 0, 3, 12, 0, 0xAA})),
        buildFrame(kReplyProgramList, bytes({0})),
        textReply(kReplyDiscText, 7, 0, kTextKindDisc, "Abbey Road"),
        textReply(kReplyDiscText, 8, 0, kTextKindDisc, bytes({0})), // no disc in the slot
        textReply(kReplyDiscText, 9, 0, kTextKindDisc, bytes({1})), // no title
        textReply(kReplyDiscText, 0, 0x04, kTextKindUserFileName, "Jazz \xe9t\xe9"),
        textReply(kReplyTrackText, 7, 1, kTextKindTrack, "Come Together"),
        textReply(kReplyTrackText, 7, 1, kTextKindTrack, " (Remastered)", 0),
        textReply(kReplyTrackText, 7, 4, kTextKindTrack, bytes({1}), 2), // last item
        buildFrame(kPushPlayStatus, bytes({7, 0, 3, 0, 4, 5, 0, 1, 0})),
        buildFrame(kPushPlayState, bytes({1})),
        buildFrame(kPushTocReady, bytes({7, 0})),
        buildFrame(kPushChangerMode, bytes({1})),
        buildFrame(kReplyDiscText, QByteArray(kMaxFrameData, 'A')),
    };
}

bool write(const QString& dir, const QString& name, const QByteArray& data) {
    QDir().mkpath(dir);
    QFile file(dir + QLatin1Char('/') + name);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QList<QByteArray> frames = replies();
    bool ok = true;
    for (int i = 0; i < frames.size(); ++i)
        ok = write(root + QStringLiteral("/frame"),
                   QStringLiteral("reply-%1").arg(i, 2, 10, QLatin1Char('0')), frames.at(i)) &&
             ok;

    // Streams: the first byte picks the read sizes, then what the changer sends, with the
    // control bytes, pushed frames opened by their ENQ, noise and a frame cut short.
    const QByteArray ack(1, char(kAck)), eot(1, char(kEot)), enq(1, char(kEnq)), nak(1, char(kNak));
    QByteArray corrupted = frames.at(10);
    corrupted[corrupted.size() - 1] = char(corrupted.at(corrupted.size() - 1) ^ 0x5A);
    const QList<QByteArray> streams = {
        QByteArray("\x03\x01\x07\x02", 4) + ack + frames.at(0),
        QByteArray("\x00", 1) + ack + frames.at(2) + frames.at(3) + eot,
        QByteArray("\x02\x05\x01", 3) + enq + frames.at(17) + enq + frames.at(18),
        QByteArray("\x01\x03", 2) + "\xff\x00garbage" + frames.at(10) + nak + corrupted,
        QByteArray("\x04\x01\x01\x01\x01", 5) + frames.at(14) + frames.at(15) + frames.at(16) + eot,
        QByteArray("\x00", 1) + frames.at(21).left(100),
        QByteArray("\x00", 1) + QByteArray("\x02\xfe\xff\x7f", 4) + frames.at(7),
    };
    for (int i = 0; i < streams.size(); ++i)
        ok = write(root + QStringLiteral("/assembler"),
                   QStringLiteral("stream-%1").arg(i, 2, 10, QLatin1Char('0')), streams.at(i)) &&
             ok;
    // The frame target also reads its input as a stream of units.
    ok = write(root + QStringLiteral("/frame"), QStringLiteral("discid-stream"),
               frames.at(2) + frames.at(3)) &&
         ok;
    return ok ? 0 : 1;
}
