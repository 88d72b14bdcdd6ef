// Fuzz entries of the receive path: unit assembly and frame decoding.

#include "fuzz/fuzzentries.h"

#include "base/codepage.h"
#include "link/frame.h"
#include "link/unitassembler.h"

#include <QList>

namespace tf::fuzz {
namespace {

// The units one assembler makes of `bytes` fed in reads whose sizes come from `sizes`
// (cycled; 0 = everything at once).
struct Assembled {
    QList<QByteArray> units;
    qsizetype skipped = 0;
    qsizetype pending = 0;
};

Assembled assemble(const QByteArray& bytes, const QByteArray& sizes) {
    UnitAssembler assembler;
    Assembled out;
    qsizetype at = 0;
    qsizetype step = 0;
    while (at < bytes.size()) {
        qsizetype len = bytes.size() - at;
        if (!sizes.isEmpty())
            len = std::min<qsizetype>(len, 1 + quint8(sizes.at(step++ % sizes.size())) % 16);
        assembler.feed(bytes.mid(at, len));
        at += len;
        while (assembler.hasUnit())
            out.units.append(assembler.takeUnit());
    }
    out.skipped = assembler.skippedBytes();
    out.pending = assembler.pendingBytes();
    return out;
}

bool isControlUnit(const QByteArray& unit) {
    if (unit.size() != 1)
        return false;
    const auto b = quint8(unit.at(0));
    return b == kAck || b == kNak || b == kEot || b == kEnq;
}

// Runs every decoder that fits the frame; each must keep to the frame's bytes (the
// sanitizers check that) and give values the frame actually holds.
QString decodeAll(const Frame& frame) {
    isHandshakeReply(frame);
    decodeMinMaxTno(frame);
    decodeUserFile(frame);
    decodeMusicType(frame);
    decodeConfirm(frame);
    decodePlayStatus(frame);
    decodePlayState(frame);
    decodeTocReady(frame);
    decodeChangerMode(frame);
    if (const auto steps = decodeProgramList(frame)) {
        if (steps->size() > frame.data.size())
            return QStringLiteral("program list with more steps than bytes");
        // Steps decoded from a list the changer holds build a list again.
        if (steps->size() <= kMaxProgramSteps && buildProgramList(*steps).isEmpty())
            return QStringLiteral("decoded program list cannot be built again");
    }
    if (const auto block = decodeDiscIdBlock(frame)) {
        if (block->entries.size() * 3 > frame.data.size())
            return QStringLiteral("disc id block with more entries than bytes");
    }
    if (const auto text = decodeTextFrame(frame)) {
        for (QChar c : text->text) {
            if (codepage::isControl(c))
                return QStringLiteral("text frame decoded with a control character");
        }
        if (text->textBytes.size() > frame.data.size())
            return QStringLiteral("text longer than the frame");
    }
    return {};
}

} // namespace

QString fuzzAssembler(const QByteArray& input, const QString&) {
    // The first byte chooses the read sizes, the rest is the stream from the changer.
    if (input.isEmpty())
        return {};
    const QByteArray sizes = input.left(1 + quint8(input.at(0)) % 8);
    const QByteArray stream = input.mid(sizes.size());

    const Assembled whole = assemble(stream, {});
    const Assembled split = assemble(stream, sizes);
    // However the reads split the stream, the same units come out.
    if (whole.units != split.units || whole.skipped != split.skipped ||
        whole.pending != split.pending)
        return QStringLiteral("units depend on how the stream was split into reads");
    // Every byte is accounted for: in a unit, skipped, or held for an incomplete frame.
    qsizetype inUnits = 0;
    for (const QByteArray& unit : whole.units) {
        inUnits += unit.size();
        if (isControlUnit(unit))
            continue;
        if (quint8(unit.at(0)) != kStx || unit.size() < kFrameOverhead)
            return QStringLiteral("a unit is neither a control byte nor a frame");
        const int len = quint8(unit.at(2)) | (quint8(unit.at(3)) << 8);
        if (len > kMaxFrameData || unit.size() != len + kFrameOverhead)
            return QStringLiteral("a frame unit does not match its LEN");
    }
    if (inUnits + whole.skipped + whole.pending != stream.size())
        return QStringLiteral("bytes lost or invented by the assembler");
    return {};
}

QString fuzzFrame(const QByteArray& input, const QString&) {
    // The whole input as one unit.
    FrameError error = FrameError::None;
    if (const auto frame = parseFrame(input, &error)) {
        if (buildFrame(frame->cmd, frame->data) != input)
            return QStringLiteral("a parsed frame does not build back to its bytes");
        if (QString problem = decodeAll(*frame); !problem.isEmpty())
            return problem;
    } else if (error == FrameError::None) {
        return QStringLiteral("a refused frame without a reason");
    }

    // The input as a stream of units: every frame decoded, the 0x06 blocks assembled the way
    // ReadDiscId does.
    UnitAssembler assembler;
    assembler.feed(input);
    DiscIdAssembler discId;
    while (assembler.hasUnit()) {
        const auto frame = parseFrame(assembler.takeUnit());
        if (!frame)
            continue;
        if (QString problem = decodeAll(*frame); !problem.isEmpty())
            return problem;
        const auto block = decodeDiscIdBlock(*frame);
        if (!block)
            continue;
        if (discId.add(*block) == DiscIdAssembler::Step::Complete) {
            const DiscToc& toc = discId.toc();
            if (toc.highest != 0 && (toc.lowest < 1 || toc.lowest > toc.highest ||
                                     toc.highest > 99 || toc.entries.size() != toc.highest + 1))
                return QStringLiteral("a complete table of contents out of shape");
        }
    }
    return {};
}

} // namespace tf::fuzz
