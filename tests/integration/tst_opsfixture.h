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
    return sourcePath(QStringLiteral("tests/data/ops/library.json"));
}

// A disc of the simulator's library as the file describes it.
inline QJsonObject libraryDisc(int slot) {
    const QJsonObject library = QJsonDocument::fromJson(readAll(opsLibrary())).object();
    for (const auto& d : library.value(QStringLiteral("discs")).toArray())
        if (d.toObject().value(QStringLiteral("slot")).toInt() == slot)
            return d.toObject();
    return {};
}

inline QStringList tocOf(int slot) {
    QStringList toc;
    for (const auto& v : libraryDisc(slot).value(QStringLiteral("toc")).toArray())
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
        if (!launch(QStringList{QStringLiteral("--load-ms"), QStringLiteral("40")} + simOptions,
                    library))
            return false;
        link.setTimings(opsTimings());
        return openLink(sim.portPath()) &&
               QTest::qWaitFor(
                   [this] { return link.modeCode() != 0 && link.linkBusy() == kLinkIdle; }, 5000);
    }

    // Starts the simulator; the data folder is the rig's own.
    bool launch(const QStringList& simOptions, const QString& library = opsLibrary()) {
        config.settings.dataDir = dir.path() + QStringLiteral("/data/");
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
            lines << QStringLiteral("[%1] Title").arg(slot, 3) << QStringLiteral("0")
                  << QStringLiteral("0") << QStringLiteral("1") << QStringLiteral("1");
        return writeAll(dataPath(QStringLiteral("tempdisc.txt")), crlf(lines));
    }

    QJsonObject simDisc(int slot) {
        const QJsonArray discs = sim.dump().value(QStringLiteral("discs")).toArray();
        for (const auto& d : discs)
            if (d.toObject().value(QStringLiteral("slot")).toInt() == slot)
                return d.toObject();
        return {};
    }

    int simFramesReceived() {
        return sim.dump()
            .value(QStringLiteral("stats"))
            .toObject()
            .value(QStringLiteral("framesReceived"))
            .toInt();
    }
};

// A file of 128-byte records: a 16-bit little-endian length, the text, zeros.
inline QByteArray records(const QStringList& texts) {
    QByteArray out;
    for (const QString& text : texts) {
        QByteArray record(128, '\0');
        const QByteArray bytes = text.toLatin1();
        record[0] = char(bytes.size() & 0xFF);
        record[1] = char(bytes.size() >> 8);
        record.replace(2, bytes.size(), bytes);
        out.append(record);
    }
    return out;
}

// A table given as "MM:SS:FF" strings (lead-out last).
inline QList<TocTime> tocTimes(const QStringList& toc) {
    QList<TocTime> out;
    for (const QString& msf : toc) {
        const QStringList p = msf.split(QLatin1Char(':'));
        out << TocTime{quint8(p.at(0).toInt()), quint8(p.at(1).toInt()), quint8(p.at(2).toInt())};
    }
    return out;
}

// The CDDB identifier of such a table (the identifier's computation is the disc-id unit
// test's).
inline QString cddbIdText(const QStringList& toc) {
    return discIdText(ComputeDiscId(tocTimes(toc)).value_or(DiscIdBytes{}));
}

// One title record of a downloaded title file: disc, track, title, user files, music type.
inline QStringList titleRecord(int disc, int track, const QString& title, int userFiles,
                               int musicType) {
    return {QStringLiteral("##%1").arg(disc), QStringLiteral("#%1").arg(track), title,
            QString::number(userFiles), QString::number(musicType)};
}

// One master-file block as the read-all pass writes it.
inline QStringList masterBlock(int n, const QStringList& toc, int info, int userFiles,
                               int musicType) {
    QStringList lines{QStringLiteral("_!_%1").arg(n), QStringLiteral("TOC_%1").arg(n)};
    const QList<TocTime> times = tocTimes(toc);
    for (int i = 0; i < times.size(); ++i)
        lines << QStringLiteral("TRACK%1 = |%2|%3|%4")
                     .arg(i + 1)
                     .arg(times.at(i).minutes)
                     .arg(times.at(i).seconds)
                     .arg(times.at(i).frames);
    lines << QStringLiteral("DISCID%1").arg(n);
    const quint32 id = cddbIdText(toc).toUInt(nullptr, 16);
    for (int shift = 24; shift >= 0; shift -= 8)
        lines << QString::number((id >> shift) & 0xFF);
    lines << QStringLiteral("MINMAXTNO_%1").arg(n) << QStringLiteral("1")
          << QString::number(toc.size() - 1);
    lines << QStringLiteral("INFO_%1").arg(n) << QString::number(info);
    lines << QStringLiteral("UFILE_%1").arg(n) << QString::number(userFiles);
    lines << QStringLiteral("MTYPE_%1").arg(n) << QString::number(musicType);
    return lines;
}

} // namespace tf::test
