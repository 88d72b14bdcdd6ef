#include "ctl/lookupcommand.h"

#include "ctl/consoleui.h"
#include "ctl/ctlsession.h"
#include "lookup/cddbclient.h"
#include "lookup/cddbsettings.h"
#include "lookup/lookupflow.h"
#include "lookup/mbclient.h"
#include "lookup/mbsettings.h"
#include "operations/titleupload.h"
#include "store/discfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace tf::ctl {

namespace {

// One line of the list: a CDDB match (read when chosen) or a MusicBrainz medium (complete).
struct Row {
    CddbMatch match;
    std::optional<CddbDisc> disc;
};

int usage(const QString& text) {
    printError(text + QLatin1Char('\n') + commandHelp(QStringLiteral("lookup")));
    return kExitUsage;
}

// Connects once: a second handshake would only repeat the first.
int changer(Session& s, bool* connected) {
    if (*connected)
        return kExitOk;
    const int code = s.connectChanger();
    *connected = code == kExitOk;
    return code;
}

// The master data file's table, else the changer's.
std::optional<DiscRecord> discOf(Session& s, int slot, bool* connected) {
    if (auto record = masterFileDisc(s.dataDir(), slot))
        return record;
    if (changer(s, connected) != kExitOk)
        return std::nullopt;
    Link& link = s.link();
    DiscToc toc;
    if (!link.Tarminal_Base_check() ||
        !whileHolding(link, kLinkStore, [&] { return link.ReadDiscId(quint16(slot), toc); }) ||
        toc.highest == 0)
        return std::nullopt;
    DiscRecord record;
    record.identity.disc = quint8(slot);
    record.minTno = qint16(qMax<int>(toc.lowest, 1));
    record.maxTno = qint16(qMax<int>(toc.highest, record.minTno));
    record.toc = toc.entries;
    return record;
}

QJsonObject json(int index, const Row& row) {
    QJsonObject o;
    o.insert(QStringLiteral("index"), index);
    o.insert(QStringLiteral("source"),
             row.match.source.isEmpty() ? QStringLiteral("CDDB") : row.match.source);
    o.insert(QStringLiteral("artist"), row.match.artist);
    o.insert(QStringLiteral("title"), row.match.title);
    o.insert(QStringLiteral("exact"), row.match.exact);
    o.insert(QStringLiteral("id"), row.match.discId);
    if (row.match.source.isEmpty())
        o.insert(QStringLiteral("category"), row.match.category);
    else
        o.insert(QStringLiteral("release"), row.match.details);
    if (row.disc)
        o.insert(QStringLiteral("tracks"), QJsonArray::fromStringList(row.disc->trackTitles));
    return o;
}

QString line(int index, const Row& row) {
    const bool mb = !row.match.source.isEmpty();
    return QStringLiteral("%1  %2  %3 / %4  %5%6\n")
        .arg(index)
        .arg(mb ? row.match.source : QStringLiteral("CDDB"))
        .arg(row.match.artist, row.match.title,
             mb ? row.match.details : row.match.category + QLatin1Char(' ') + row.match.discId,
             row.match.exact ? QString() : QStringLiteral("  (close match)"));
}

// Asks the sources; a source that fails is reported and the other one still asked.
QList<Row> candidates(const LookupKey& key, const DiscRecord& disc, bool cddb, bool mb,
                      bool* failed) {
    QList<Row> rows;
    const CddbOptions options = CddbSettings::load();
    if (cddb) {
        CddbClient client;
        client.setOptions(options);
        const CddbQueryResult query = client.queryAndWait(key.toc);
        if (isServiceFailure(query.outcome.code)) {
            printError(query.outcome.message);
            *failed = true;
        }
        for (const CddbMatch& m : query.matches)
            rows.append({m, std::nullopt});
    }
    if (mb) {
        QString problem;
        const auto id = mbDiscId(key.toc, qMax<int>(disc.minTno, 1), &problem);
        MbClient client;
        client.setOptions(MbSettings::load(), options);
        const MbLookupResult result = id ? client.lookupAndWait(*id) : MbLookupResult{};
        if (!id || isServiceFailure(result.outcome.code)) {
            printError(id ? result.outcome.message : problem);
            *failed = true;
        }
        for (const MbCandidate& c : result.candidates)
            rows.append({c.toMatch(), c.toDisc()});
    }
    return rows;
}

int writeChosen(Session& s, const LookupKey& key, const DiscRecord& disc, const Row& row,
                bool* connected) {
    CddbDisc chosen;
    if (row.disc) {
        chosen = *row.disc;
    } else {
        CddbClient client;
        client.setOptions(CddbSettings::load());
        const CddbReadResult read = client.readAndWait(row.match.category, row.match.discId);
        if (!read.outcome.ok()) {
            printError(read.outcome.message);
            return kExitData;
        }
        chosen = read.disc;
    }
    const int minTno = qMax<int>(disc.minTno, 1);
    QString error;
    if (!writeLookupResult(s.dataDir(), key, minTno, qMax<int>(disc.maxTno, minTno), chosen,
                           &error)) {
        printError(error);
        return kExitData;
    }
    if (const int code = changer(s, connected); code != kExitOk)
        return code; // the file is written; the reason is on standard error
    if (!UploadTitles(s.link(), s.config().dataPath(discfile::fileName(key.identity.disc)))) {
        printError(QStringLiteral("The titles were written but not sent to the changer."));
        return kExitChanger;
    }
    return kExitOk;
}

} // namespace

bool isLookupCommand(const QString& command) {
    return command == QLatin1String("lookup");
}

int runLookupCommand(Session& s, const Arguments& args) {
    QString error;
    const auto o = splitOptions(args.rest, {QStringLiteral("--source"), QStringLiteral("--write")},
                                {QStringLiteral("--json")}, &error);
    if (!o)
        return usage(error);
    bool ok = false;
    const int slot = o->positional.value(0).toInt(&ok);
    if (o->positional.size() != 1 || !ok || slot < 1 || slot > 200)
        return usage(QStringLiteral("Give one disc number from 1 to 200."));
    const QString source = o->values.value(QStringLiteral("--source"), QStringLiteral("both"));
    if (source != QLatin1String("cddb") && source != QLatin1String("musicbrainz") &&
        source != QLatin1String("both"))
        return usage(QStringLiteral("--source is cddb, musicbrainz or both."));
    int write = 0;
    if (o->values.contains(QStringLiteral("--write"))) {
        write = o->values.value(QStringLiteral("--write")).toInt(&ok);
        if (!ok || write < 1)
            return usage(QStringLiteral("--write takes the number of a candidate from the list."));
    }

    bool connected = false;
    const auto disc = discOf(s, slot, &connected);
    QString problem;
    const auto key = disc ? lookupKey(*disc, &problem) : std::nullopt;
    if (!key) {
        printError(disc ? problem
                        : QStringLiteral("Disc %1 is neither in the master data file nor in the "
                                         "changer.")
                              .arg(slot));
        return kExitData;
    }
    bool failed = false;
    const QList<Row> rows = candidates(*key, *disc, source != QLatin1String("musicbrainz"),
                                       source != QLatin1String("cddb"), &failed);
    QByteArray out;
    if (o->flags.contains(QStringLiteral("--json"))) {
        QJsonArray list;
        for (int i = 0; i < rows.size(); ++i)
            list.append(json(i + 1, rows.at(i)));
        out = QJsonDocument(list).toJson();
    } else {
        for (int i = 0; i < rows.size(); ++i)
            out += line(i + 1, rows.at(i)).toUtf8();
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    if (write > 0) {
        if (write > rows.size())
            return usage(QStringLiteral("There is no candidate %1.").arg(write));
        return writeChosen(s, *key, *disc, rows.at(write - 1), &connected);
    }
    return failed && rows.isEmpty() ? kExitData : kExitOk;
}

} // namespace tf::ctl
