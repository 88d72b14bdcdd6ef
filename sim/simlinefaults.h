#pragma once

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

namespace tf::sim {

// Faults aimed at one particular unit on the line, so that a test can hit every step of an
// exchange in turn: "the third unit the changer sends arrives cut after 4 bytes". Counting
// starts when the fault is switched on; frame faults count frames only, the others every unit.
//
//   flip BIT SKIP        bit BIT (modulo the frame's bits) of the frame after SKIP frames flips
//   truncate N SKIP      that frame is cut to its first N bytes (modulo its length)
//   len KIND SKIP        its LEN field is rewritten: small (one less), large (one more), ffff
//   noise N SKIP         N noise bytes, STX among them, go ahead of the unit after SKIP units
//   dup SKIP             that unit is sent twice
//   late MS SKIP         that unit (and everything after it) is held back MS ms
//   intrude SKIP         a changer ENQ goes ahead of that unit, as if a push met the exchange
//   mute SKIP            from that unit on the changer falls silent (until cleared)
//   cut SKIP             the line is hung up instead of sending that unit
//   nak N SKIP           the PC's good frames after SKIP frames are answered NAK, N times
//   fragment MS          every unit goes out one byte at a time, MS ms apart (until cleared)
//   coalesce MS          units are gathered for MS ms and go out in one write (until cleared)
class LineFaults {
public:
    // What to do with one unit on its way out.
    struct Outgoing {
        QList<QByteArray> pieces; // written in order
        int gapMs = 0;            // quiet line before the first piece
        int pieceGapMs = 0;       // between pieces
        bool hangUp = false;      // hang up instead of sending
        bool mute = false;        // fall silent from now on (the unit is not sent)
    };

    // True when NAME is one of these faults; then *ok tells whether ARGS were valid.
    bool apply(const QString& name, const QStringList& args, bool* ok, QString* usage);
    void clear();
    void setSeed(quint32 seed) { m_random.seed(seed); }

    Outgoing shape(const QByteArray& unit, bool frame);
    // Called for every good frame from the PC: true when it is to be answered NAK.
    bool nakFrame();
    int coalesceMs() const { return m_coalesceMs; }

    QStringList describe() const;

private:
    enum class Kind { Flip, Truncate, Len, Noise, Dup, Late, Intrude, Mute, Cut };
    struct Aimed {
        Kind kind;
        int arg = 0;
        int skip = 0;
    };
    static bool framesOnly(Kind kind) {
        return kind == Kind::Flip || kind == Kind::Truncate || kind == Kind::Len;
    }

    QList<Aimed> m_aimed;
    int m_nakCount = 0;
    int m_nakSkip = 0;
    int m_fragmentMs = -1;
    int m_coalesceMs = -1;
    QRandomGenerator m_random{1};
};

} // namespace tf::sim
