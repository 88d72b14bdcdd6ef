#pragma once

#include "sim/simlinefaults.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

namespace tf::sim {

// The faults a misbehaving changer or line can show, switched on by name (command line or
// control channel). Random faults draw from a seeded generator, so a run repeats exactly.
//
//   checksum P          every frame sent gets a wrong checksum with probability P (0..1)
//   checksum-next N     the next N frames sent get a wrong checksum
//   drop P              every unit sent is lost with probability P
//   drop-next N         the next N units sent are lost
//   refuse STEP [N [S]] answer EOT at STEP, N times (0 = until cleared) after skipping S
//                       STEP: enq frame handshake data title key play playmode program reply
//   silence [MS]        answer nothing for MS milliseconds (no MS: until cleared)
//   slowtoc MS          loading a disc takes MS milliseconds
//   garbage N [GAP]     N noise bytes before every frame, GAP ms ahead of it (default 30)
//   forget REPORT [N]   the changer leaves out its next N own reports of one kind (default 1;
//                       0 = until cleared). REPORT: status state toc mode
//   permission BITS     every permission answer carries BITS (0..255), whatever was asked
// and the faults aimed at single units of LineFaults (flip, truncate, len, noise, dup, late,
// intrude, mute, cut, nak, fragment, coalesce).
class FaultSet {
public:
    FaultSet() = default;

    void setSeed(quint32 seed) {
        m_random.seed(seed);
        m_line.setSeed(seed);
    }

    // Applies one fault description ("NAME ARGS"). False with a message when it is malformed.
    bool apply(const QString& description, QString* error);
    void clear();

    // Each call consumes: refusals count down, next-N faults count down.
    bool refuseAt(const QString& step);
    bool dropUnit();
    bool corruptFrame();
    QByteArray garbage();
    int garbageGapMs() const { return m_garbageGapMs; }
    // True when this report of the changer's own ("status", "state", "toc", "mode") is to be
    // left out; consumes one of a counted fault.
    bool forgetReport(const QString& report);
    // The forced permission answer, or -1 for the changer's own.
    int permissionBits() const { return m_permissionBits; }

    bool silent() const;
    int silenceRemainingMs() const;
    int slowTocMs() const { return m_slowTocMs; }
    // Silence from now on, until cleared.
    void muteNow() {
        m_silent = true;
        m_silentUntil = QDeadlineTimer(QDeadlineTimer::Forever);
    }
    LineFaults& line() { return m_line; }

    // The active faults, one "name args" each.
    QStringList describe() const;

    static const QStringList& refusalSteps();

private:
    struct Refusal {
        QString step;
        int count = 0; // 0 = until cleared
        int skip = 0;
    };

    bool chance(double p) { return p > 0 && m_random.generateDouble() < p; }

    double m_checksumRate = 0;
    int m_checksumNext = 0;
    double m_dropRate = 0;
    int m_dropNext = 0;
    QList<Refusal> m_refusals;
    QString m_forgetReport;
    int m_forgetCount = 0; // 0 = until cleared
    int m_permissionBits = -1;
    bool m_silent = false;
    QDeadlineTimer m_silentUntil{QDeadlineTimer::Forever};
    int m_slowTocMs = -1;
    int m_garbageBytes = 0;
    int m_garbageGapMs = 30;
    QRandomGenerator m_random{1};
    LineFaults m_line;
};

} // namespace tf::sim
