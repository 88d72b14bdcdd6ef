#include "ctl/searchcommand.h"

#include "ctl/consoleui.h"
#include "ctl/ctlsession.h"
#include "operations/playingdisc.h"
#include "playback/searchplay.h"
#include "portability/titleindex.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace tf::ctl {

namespace {

void printOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QByteArray asJson(const QList<search::Hit>& hits) {
    QJsonArray list;
    for (const search::Hit& h : hits)
        list.append(QJsonObject{{QStringLiteral("slot"), h.slot},
                                {QStringLiteral("track"), h.track},
                                {QStringLiteral("discTitle"), h.discTitle},
                                {QStringLiteral("trackTitle"), h.trackTitle}});
    return QJsonDocument(list).toJson(QJsonDocument::Indented);
}

// One line a result: number, slot, track ("-" for the disc itself), disc title, track title.
QByteArray asLines(const QList<search::Hit>& hits) {
    QString out;
    for (qsizetype i = 0; i < hits.size(); ++i) {
        const search::Hit& h = hits.at(i);
        out += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                   .arg(i + 1)
                   .arg(h.slot)
                   .arg(h.isDisc() ? QStringLiteral("-") : QString::number(h.track))
                   .arg(h.discTitle, h.trackTitle);
    }
    return out.toLocal8Bit();
}

int play(Session& session, const search::Hit& hit) {
    const int connected = session.connectChanger();
    if (connected != kExitOk)
        return connected;
    Link& link = session.link();
    // The play mode arrives with the changer's first status report.
    session.waitFor([&link] { return link.playValues().PlayStateCode != 0; }, kStatusWaitMs);
    if (const auto refusal = playback::searchPlayRefusal(link);
        refusal != playback::SearchPlayRefusal::None) {
        printError(playback::refusalText(refusal));
        return kExitChanger;
    }
    const int track = playback::searchPlayTrack(session.dataDir(), hit.slot, hit.track);
    const bool sent = requestPlay(link, hit.slot, track) && link.lastResult() == kResultOk;
    link.setCommandInProgress(false);
    if (!sent) {
        printError(QStringLiteral("The changer did not take the play request."));
        return kExitChanger;
    }
    std::printf("Playing disc %d, track %d.\n", hit.slot, track);
    return kExitOk;
}

} // namespace

bool isSearchCommand(const QString& command) {
    return command == QLatin1String("search");
}

int runSearchCommand(Session& session, const Arguments& args) {
    QString error;
    const auto options =
        splitOptions(args.rest, {QStringLiteral("--play")}, {QStringLiteral("--json")}, &error);
    if (!options) {
        printError(error + QStringLiteral("\n") + commandHelp(args.command));
        return kExitUsage;
    }
    const QString typed = options->positional.join(QLatin1Char(' '));
    int playNumber = 0;
    if (options->values.contains(QStringLiteral("--play"))) {
        bool ok = false;
        playNumber = options->values.value(QStringLiteral("--play")).toInt(&ok);
        if (!ok || playNumber < 1) {
            printError(QStringLiteral("--play needs a result number from 1.\n") +
                       commandHelp(args.command));
            return kExitUsage;
        }
    }
    if (search::fold(typed).isEmpty()) {
        printError(QStringLiteral("Give at least one word to search for.\n") +
                   commandHelp(args.command));
        return kExitUsage;
    }
    session.loadConfiguration();
    search::TitleIndex index;
    for (const search::DiscTexts& disc : search::readLibraryTexts(session.dataDir()))
        index.setDisc(disc);
    const QList<search::Hit> hits = index.query(typed);
    if (playNumber > 0) {
        if (playNumber > hits.size()) {
            printError(QStringLiteral("There is no result %1: the search found %2.")
                           .arg(playNumber)
                           .arg(hits.size()));
            return kExitUsage;
        }
        return play(session, hits.at(playNumber - 1));
    }
    printOut(options->flags.contains(QStringLiteral("--json")) ? asJson(hits) : asLines(hits));
    return kExitOk;
}

} // namespace tf::ctl
