#pragma once

#include <QByteArray>
#include <QList>

namespace tf {

// Turns the bytes the port delivers into units: one control byte (ACK, NAK, EOT, ENQ) or one
// whole frame (STX ... SUM). Pure and byte-fed: no I/O, so it is tested on its own.
//
// Every byte is kept: units come out in arrival order however the reads split or coalesce
// them. A byte that cannot start a unit is skipped alone and assembly resynchronises at the
// next byte; an STX whose LEN announces more than a frame can carry is skipped the same way
// instead of waiting for bytes that will never come.
class UnitAssembler {
public:
    // Bytes in the accumulator beyond which a flood of input is cut, oldest first.
    static constexpr qsizetype kMaxPending = 64 * 1024;

    void feed(const QByteArray& bytes);

    bool hasUnit() const { return !m_units.isEmpty(); }
    // The oldest complete unit; removes it.
    QByteArray takeUnit();
    // Units waiting, oldest first (for inspection).
    const QList<QByteArray>& units() const { return m_units; }

    // Bytes skipped because they could not start a unit, since construction.
    qsizetype skippedBytes() const { return m_skipped; }
    // Bytes held while a frame is incomplete.
    qsizetype pendingBytes() const { return m_acc.size() - m_pos; }

    // Gives up on an incomplete frame whose bytes stopped coming. Behind an STX that looks like
    // noise the following bytes are assembled again; a frame with a real command code (its
    // length damaged) is dropped whole, so that its data cannot pass for control bytes.
    void abandonPartialFrame();

    void clear();

private:
    void assemble();

    QByteArray m_acc;
    qsizetype m_pos = 0; // first byte of m_acc not yet assembled
    QList<QByteArray> m_units;
    qsizetype m_skipped = 0;
};

} // namespace tf
