#pragma once

// The application core against changer-sim over a real pseudo-terminal, for the changer
// operations: a link that has shaken hands, a configuration with its program and data
// folders in a temporary directory, and a scripted user.

#include "common/linkhelpers.h"
#include "common/linktestaccess.h"
#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "link/link.h"
#include "model/discid.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "store/config.h"
#include "store/discdata.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace tf::test {

// An online pass that only counts how often it ran.
class CountingLookup : public NullLookupService {
public:
    int allDiscPasses = 0;
    void lookUpAllDiscs() override { ++allDiscPasses; }
};

inline QString opsLibrary() {
    return sourcePath("tests/data/ops/library.json");
}

// A disc's table of contents as the simulator's library file gives it.
inline QStringList tocOf(int slot) {
    const QJsonObject library = QJsonDocument::fromJson(readAll(opsLibrary())).object();
    QStringList toc;
    for (const auto& d : library.value("discs").toArray())
        if (d.toObject().value("slot").toInt() == slot)
            for (const auto& v : d.toObject().value("toc").toArray())
                toc << v.toString();
    return toc;
}

// Short time-outs so failures come quickly; a disc's contents may take a while.
inline LinkTimings opsTimings() {
    LinkTimings t = shortTimings(1500);
    t.tocWaitMs = 5000;
    return t;
}

struct OpsRig {
    QTemporaryDir dir;
    ScriptedUi ui;
    Configuration config{dir.path()};
    Link link{ui};
    CountingLookup lookup;
    AppContext ctx{link, config, ui, lookup};
    SimProcess sim;

    QString dataPath(const QString& name) const { return config.dataPath(name); }
    QString programPath(const QString& name) const { return config.programPath(name); }

    // Starts the simulator and brings the link up; the changer's state pushed after the
    // handshake (play status, disc ready, mode) has been taken when this returns true.
    bool start(const QStringList& simOptions = {}, const QString& library = opsLibrary()) {
        if (!launch(QStringList{"--load-ms", "40"} + simOptions, library))
            return false;
        link.setTimings(opsTimings());
        return openLink(sim.portPath()) &&
               QTest::qWaitFor(
                   [this] { return link.modeCode() != 0 && link.linkBusy() == kLinkIdle; }, 5000);
    }

    // Starts the simulator; the data folder is the rig's own.
    bool launch(const QStringList& simOptions, const QString& library = opsLibrary()) {
        config.settings.dataDir = dir.path() + "/data/";
        QDir().mkpath(config.settings.dataDir);
        if (!sim.start(library, simOptions)) {
            qWarning() << sim.lastError();
            return false;
        }
        return true;
    }

    // Opens the changer's line and shakes hands.
    bool openLink(const QString& port) {
        if (link.openDevice(port) != 0)
            return false;
        link.RS232C_Changer_INIT();
        if (link.linkState() != kLinkUp)
            return false;
        LinkTestAccess::setLinkEstablished(link, true);
        return true;
    }

    // The disc list the read-all pass walks.
    bool writeDiscList(const QList<int>& discs) {
        QStringList lines;
        for (int slot : discs)
            lines += QStringList{QStringLiteral("[%1] Title").arg(slot, 3), "0", "0", "1", "1"};
        return writeAll(dataPath("tempdisc.txt"), crlf(lines));
    }

    QJsonObject simDisc(int slot) { return sim.disc(slot); }

    int simFramesReceived() {
        return sim.dump().value("stats").toObject().value("framesReceived").toInt();
    }
};

// A file of 128-byte records: a 16-bit little-endian length, the text, zeros.
inline QByteArray records(const QStringList& texts) {
    QByteArray out;
    for (const QString& text : texts) {
        const QByteArray bytes = text.toLatin1();
        out += char(bytes.size() & 0xFF) + QByteArray(1, char(bytes.size() >> 8)) + bytes +
               QByteArray(126 - bytes.size(), '\0');
    }
    return out;
}

// A title file as DISC<n>.txt and tempcdt.txt hold it: identifier, disc number, tracks from 1,
// then the disc title and the track titles.
inline QByteArray discFile(const QString& id, int disc, const QStringList& titles) {
    return crlf(QStringList{"DISC ID =", id, "DISC NO =", QString::number(disc), "MIN TNO =", "1",
                            "MAX TNO =", QString::number(titles.size() - 1),
                            "Disc Title =", titles.first(), "Track Title ="} +
                titles.mid(1));
}

// One title record of a downloaded title file: disc, track, title, user files, music type.
inline QStringList titleRecord(int disc, int track, const QString& title, int userFiles,
                               int musicType) {
    return {QStringLiteral("##%1").arg(disc), QStringLiteral("#%1").arg(track), title,
            QString::number(userFiles), QString::number(musicType)};
}

// A disc as a master block holds it: its number, its table ("MM:SS:FF", lead-out last) and
// the identifier computed from it, and the values the changer reports.
inline DiscRecord discRecord(int slot, const QStringList& msf, int info = 0, int userFiles = 0,
                             int musicType = 0) {
    DiscRecord d;
    d.identity.disc = quint8(slot);
    for (const QString& t : msf) {
        const QStringList p = t.split(':');
        d.toc << TocTime{quint8(p.at(0).toInt()), quint8(p.at(1).toInt()), quint8(p.at(2).toInt())};
    }
    d.identity.id = ComputeDiscId(d.toc).value_or(DiscIdBytes{});
    d.minTno = 1;
    d.maxTno = qint16(msf.size() - 1);
    d.discInfo = qint16(info);
    d.userFileByte = quint8(userFiles);
    d.musicType = quint8(musicType);
    return d;
}

// The CDDB identifier of such a table (the identifier's computation is the disc-id unit
// test's).
inline QString cddbIdText(const QStringList& toc) {
    return discIdText(discRecord(0, toc).identity.id);
}

// One master-file block as the read-all pass writes it. The block's lines are the store's
// (tst_discdata); the operation tests check which values go in.
inline QStringList masterBlock(int n, const QStringList& toc, int info, int userFiles,
                               int musicType) {
    return discdata::blockLines(discRecord(n, toc, info, userFiles, musicType),
                                discdata::RangeStyle::Bare);
}

} // namespace tf::test
