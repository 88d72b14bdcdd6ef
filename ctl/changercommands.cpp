#include "ctl/changercommands.h"

#include "ctl/ctlsession.h"
#include "model/playtables.h"
#include "operations/programlist.h"
#include "operations/readall.h"
#include "operations/startupread.h"
#include "operations/textdownload.h"
#include "operations/titleupload.h"
#include "playback/playpermission.h"
#include "store/discfile.h"
#include "store/discrecord.h"
#include "store/storefiles.h"
#include "store/textfile.h"
#include "store/titlerecords.h"
#include "store/userfiles.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cstdio>

namespace tf::ctl {

namespace {

constexpr int kMaxDisc = 200;
constexpr int kDefaultFastHoldMs = 1000;

int usage(const QString& text) {
    printError(text);
    return kExitUsage;
}

void printOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

std::optional<int> numberIn(const QString& text, int low, int high) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        return std::nullopt;
    return v;
}

// Waits for the link, runs one exchange holding it; true when the changer went along.
template <typename F> bool exchangeHeld(Link& link, bool audio, F exchange) {
    if (!link.Tarminal_Base_check())
        return false;
    return whileHolding(link, audio ? kLinkAudio : kLinkStore, exchange) &&
           link.lastResult() == kResultOk;
}

int changerFailed(const QString& what) {
    printError(what);
    return kExitChanger;
}

// ---- The prepared commands: arguments checked, run once the link is up ----

using Action = std::function<int(Session&)>;

int status(Session& s) {
    Link& link = s.link();
    s.waitFor([&link] { return link.playValues().PlayStateCode != 0; }, kStatusWaitMs);
    QJsonObject o;
    o.insert(QStringLiteral("disc"), link.playValues().PlayDisc);
    o.insert(QStringLiteral("track"), link.playValues().PlayTrack);
    o.insert(QStringLiteral("programStep"), link.playValues().PlayProgramStep);
    o.insert(QStringLiteral("playMode"), link.playValues().PlayMode);
    o.insert(QStringLiteral("playModeName"), playback::playModeName(link.playValues().PlayMode));
    o.insert(QStringLiteral("repeat"), link.playValues().PlayRepeat != 0);
    o.insert(QStringLiteral("state"), link.playValues().PlayStateCode);
    o.insert(QStringLiteral("stateText"), playback::playStateText(link.playValues().PlayStateCode));
    o.insert(QStringLiteral("musicType"), link.playValues().PlayMusicType);
    o.insert(QStringLiteral("userFileBits"), link.playValues().PlayUserFileBits);
    o.insert(QStringLiteral("status7"), link.playValues().PlayStatus7);
    o.insert(QStringLiteral("tocReadyDisc"), link.playValues().TocReadyDisc);
    o.insert(QStringLiteral("changerMode"),
             link.modeCode() == 0 ? QJsonValue() : QJsonValue(link.modeCode() - 1));
    printOut(QJsonDocument(o).toJson(QJsonDocument::Indented));
    return kExitOk;
}

std::optional<Action> preparePlay(const CommandOptions& o) {
    if (o.positional.isEmpty() || o.positional.size() > 2)
        return std::nullopt;
    const auto disc = numberIn(o.positional.at(0), 1, kMaxDisc);
    const auto track = o.positional.size() > 1 ? numberIn(o.positional.at(1), 1, kMaxTrack) : 1;
    if (!disc || !track)
        return std::nullopt;
    return [disc = *disc, track = *track](Session& s) -> int {
        Link& link = s.link();
        if (!exchangeHeld(link, true,
                          [&] { return link.RequestPlay(quint16(disc), quint8(track), 1); }))
            return changerFailed(QStringLiteral("The changer did not take the play request."));
        return kExitOk;
    };
}

std::optional<Action> prepareKey(const CommandOptions& o) {
    if (o.positional.size() != 1)
        return std::nullopt;
    const QString name = o.positional.first();
    static const QHash<QString, playback::KeyCode> plain{
        {QStringLiteral("play"), playback::kKeyPlay},
        {QStringLiteral("stop"), playback::kKeyStop},
        {QStringLiteral("repeat"), playback::kKeyRepeat},
        {QStringLiteral("random"), playback::kKeyRandom}};
    // Track down, track up, fast backward, fast forward: held, then released.
    static const QStringList held{QStringLiteral("previous"), QStringLiteral("next"),
                                  QStringLiteral("backward"), QStringLiteral("forward")};
    const int heldIndex = int(held.indexOf(name));
    if (!plain.contains(name) && heldIndex < 0)
        return std::nullopt;
    int holdMs = heldIndex >= 2 ? kDefaultFastHoldMs : 0;
    if (o.values.contains(QStringLiteral("--hold"))) {
        const auto ms = numberIn(o.values.value(QStringLiteral("--hold")), 0, 60000);
        if (!ms || heldIndex < 0)
            return std::nullopt;
        holdMs = *ms;
    }
    const playback::KeyCode code =
        heldIndex >= 0 ? playback::kContinueKeys[heldIndex] : plain.value(name);
    return [code, holdMs, release = heldIndex >= 0](Session& s) -> int {
        Link& link = s.link();
        if (!exchangeHeld(link, true, [&] { return link.SendKeyCode(code.group, code.key); }))
            return changerFailed(QStringLiteral("The changer did not take the key."));
        if (!release)
            return kExitOk;
        if (holdMs > 0)
            s.waitFor([] { return false; }, holdMs);
        // The release is sent until the changer takes it, so a key is never left held.
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (exchangeHeld(link, true, [&] {
                    return link.SendKeyCode(playback::kKeyRelease.group, playback::kKeyRelease.key);
                }))
                return kExitOk;
        }
        return changerFailed(QStringLiteral("The changer did not take the key release."));
    };
}

std::optional<Action> prepareMode(const CommandOptions& o) {
    const QStringList& p = o.positional;
    if (p.isEmpty())
        return std::nullopt;
    const QString& what = p.first();
    if (what == QLatin1String("clear") && p.size() == 1) {
        return [](Session& s) -> int {
            if (!playback::clearPlayMode(s.link()) || s.link().lastResult() != kResultOk)
                return changerFailed(QStringLiteral("The changer did not leave its play mode."));
            return kExitOk;
        };
    }
    if (what == QLatin1String("program") && p.size() == 1) {
        return [](Session& s) -> int {
            Link& link = s.link();
            if (!playback::askPermission(link, playback::kGroupProgram, playback::kProgramAllowed))
                return changerFailed(
                    QStringLiteral("The changer does not allow programmed play now."));
            if (!exchangeHeld(link, true,
                              [&] { return link.RequestPlayMode(playback::kPlayModeProgram, 0); }))
                return changerFailed(QStringLiteral("The changer refused programmed play (does it "
                                                    "hold a program?)."));
            return kExitOk;
        };
    }
    std::optional<int> mode;
    std::optional<int> parameter;
    if (what == QLatin1String("music-type") && p.size() == 2) {
        mode = playback::kPlayModeMusicType;
        parameter = numberIn(p.at(1), 2, playback::kMusicTypeCount);
        // The one genre that may not be chosen for music-type play.
        if (parameter == playback::kEroticCode)
            parameter.reset();
    } else if (what == QLatin1String("user-file") && p.size() == 2) {
        mode = playback::kPlayModeUserFile;
        if (const auto n = numberIn(p.at(1), 1, kUserFileCount))
            parameter = Change_BYTE_to_UFBIT(*n);
    }
    if (!mode || !parameter)
        return std::nullopt;
    return [mode = *mode, parameter = *parameter](Session& s) -> int {
        if (!playback::requestPlayModeWithPermission(s.link(), quint8(mode), quint8(parameter)))
            return changerFailed(QStringLiteral("The changer refused the play mode."));
        return kExitOk;
    };
}

std::optional<ProgramStep> parseStep(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^(\\d{1,3})(?::(\\d{1,2}|all|ALL))?$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const auto disc = numberIn(m.captured(1), 1, kMaxDisc);
    if (!disc)
        return std::nullopt;
    const QString track = m.captured(2);
    if (track.isEmpty() || track.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0)
        return ProgramStep{quint16(*disc), kWholeDiscTrack};
    const auto number = numberIn(track, 1, kMaxTrack);
    if (!number)
        return std::nullopt;
    return ProgramStep{quint16(*disc), quint8(*number)};
}

std::optional<Action> prepareProgram(const CommandOptions& o) {
    const QStringList& p = o.positional;
    if (p.size() == 1 && p.first() == QLatin1String("get")) {
        return [](Session& s) -> int {
            Link& link = s.link();
            QList<ProgramStep> steps;
            if (!exchangeHeld(link, true, [&] { return link.ReadProgramList(steps); }))
                return changerFailed(QStringLiteral("The program could not be read."));
            QByteArray out;
            for (const ProgramStep& step : steps)
                out +=
                    QStringLiteral("%1:%2\n")
                        .arg(step.disc)
                        .arg(step.wholeDisc() ? QStringLiteral("all") : QString::number(step.track))
                        .toUtf8();
            printOut(out);
            return kExitOk;
        };
    }
    if (p.isEmpty() || p.first() != QLatin1String("set") || p.size() - 1 > kMaxProgramSteps)
        return std::nullopt;
    QList<ProgramStep> steps;
    for (qsizetype i = 1; i < p.size(); ++i) {
        const auto step = parseStep(p.at(i));
        if (!step)
            return std::nullopt;
        steps.append(*step);
    }
    return [steps](Session& s) -> int {
        Link& link = s.link();
        if (!playback::askPermission(link, playback::kGroupProgram, playback::kProgramAllowed))
            return changerFailed(QStringLiteral("The changer does not allow a program now."));
        QString error;
        if (!programfile::write(s.config().dataPath(storefiles::kProgram), steps, &error)) {
            printError(error);
            return kExitData;
        }
        if (!exchangeHeld(link, true, [&] {
                return UploadProgramList(link, s.config(), int(steps.size()), &error);
            }))
            return changerFailed(
                error.isEmpty() ? QStringLiteral("The changer did not take the program.") : error);
        return kExitOk;
    };
}

int printTitles(Session& s, int disc) {
    Link& link = s.link();
    MinMaxTno range;
    if (!exchangeHeld(link, false, [&] { return link.ReadMinMaxTno(quint16(disc), range); }))
        return changerFailed(
            QStringLiteral("The track range of disc %1 could not be read.").arg(disc));
    if (!exchangeHeld(link, false, [&] {
            return downloadEditorTitles(link, s.config(), s.context().ui, disc, range.highest, 0,
                                        0);
        }))
        return changerFailed(QStringLiteral("The titles of disc %1 could not be read.").arg(disc));
    const QString path = s.config().programPath(storefiles::kOneDisc);
    const auto lines = textfile::readLines(path);
    QFile::remove(path);
    if (!lines) {
        printError(QStringLiteral("Cannot read %1.").arg(path));
        return kExitData;
    }
    QString title;
    QStringList tracks(qMax(0, int(range.highest) - int(range.lowest) + 1));
    const auto shown = [](const QString& text) {
        return text == QLatin1String(kNoTitleText) ? QString() : text;
    };
    // Five-line raw title records: ##disc, #track, title, user-file byte, music type.
    for (qsizetype i = 0; i + 2 < lines->size(); ++i) {
        if (lines->at(i) != QStringLiteral("##%1").arg(disc) || !lines->at(i + 1).startsWith('#'))
            continue;
        if (lines->at(i + 2) == QLatin1String(kNoDiscText)) {
            printError(QStringLiteral("Slot %1 holds no disc.").arg(disc));
            return kExitChanger;
        }
        const int track = lines->at(i + 1).mid(1).toInt();
        if (track == 0)
            title = shown(lines->at(i + 2));
        else if (track >= range.lowest && track - range.lowest < tracks.size())
            tracks[track - range.lowest] = shown(lines->at(i + 2));
    }
    QJsonObject o;
    o.insert(QStringLiteral("disc"), disc);
    o.insert(QStringLiteral("lowest"), range.lowest);
    o.insert(QStringLiteral("highest"), range.highest);
    o.insert(QStringLiteral("title"), title);
    o.insert(QStringLiteral("tracks"), QJsonArray::fromStringList(tracks));
    printOut(QJsonDocument(o).toJson(QJsonDocument::Indented));
    return kExitOk;
}

std::optional<Action> prepareDisc(const CommandOptions& o,
                                  const std::function<int(Session&, int)>& run) {
    if (o.positional.size() != 1)
        return std::nullopt;
    const auto disc = numberIn(o.positional.first(), 1, kMaxDisc);
    if (!disc)
        return std::nullopt;
    return [run, disc = *disc](Session& s) {
        return run(s, disc);
    };
}

int upload(Session& s, int disc) {
    const QString path = s.config().dataPath(discfile::fileName(disc));
    if (!QFile::exists(path)) {
        printError(QStringLiteral("There is no %1 to send.").arg(path));
        return kExitData;
    }
    Link& link = s.link();
    if (!UploadTitles(link, path)) {
        if (link.lastResult() == kResultOk)
            return changerFailed(
                QStringLiteral("The changer does not take titles for disc %1.").arg(disc));
        return changerFailed(QStringLiteral("The titles of disc %1 were not sent.").arg(disc));
    }
    return kExitOk;
}

int readAll(Session& s) {
    Link& link = s.link();
    // The pass walks the disc list, which TrackFen builds from the changer when it connects.
    const StartUpReadResult start = startUpRead(link, s.config(), s.context().ui);
    if (!start.error.isEmpty()) {
        printError(start.error);
        return kExitData;
    }
    if (!start.discListBuilt)
        return changerFailed(QStringLiteral("The changer's disc list could not be read."));
    const ReadAllResult result = readAllDiscsPass(s.context());
    switch (result.outcome) {
    case ReadAllOutcome::Completed:
        printOut(QStringLiteral("%1 discs read, %2 skipped\n")
                     .arg(result.discsRead)
                     .arg(result.discsSkipped)
                     .toUtf8());
        return kExitOk;
    case ReadAllOutcome::Cancelled:
        return changerFailed(
            QStringLiteral("The pass was cut short (the changer changed its mode)."));
    case ReadAllOutcome::Failed:
    case ReadAllOutcome::Offline:
    case ReadAllOutcome::NotStarted:
        break;
    }
    return changerFailed(QStringLiteral("READ ALL DISCS failed; discdata.txt is unchanged."));
}

} // namespace

bool isChangerCommand(const QString& command) {
    static const QStringList commands{QStringLiteral("status"),  QStringLiteral("play"),
                                      QStringLiteral("key"),     QStringLiteral("mode"),
                                      QStringLiteral("program"), QStringLiteral("titles"),
                                      QStringLiteral("upload"),  QStringLiteral("read-all")};
    return commands.contains(command);
}

int runChangerCommand(Session& session, const Arguments& args) {
    QString error;
    const QStringList withValue = args.command == QLatin1String("key")
                                      ? QStringList{QStringLiteral("--hold")}
                                      : QStringList{};
    const auto options = splitOptions(args.rest, withValue, {}, &error);
    if (!options)
        return usage(error + QStringLiteral("\n") + commandHelp(args.command));

    std::optional<Action> action;
    const QString& c = args.command;
    if (c == QLatin1String("status") || c == QLatin1String("read-all")) {
        if (options->positional.isEmpty())
            action = c == QLatin1String("status") ? Action(status) : Action(readAll);
    } else if (c == QLatin1String("play")) {
        action = preparePlay(*options);
    } else if (c == QLatin1String("key")) {
        action = prepareKey(*options);
    } else if (c == QLatin1String("mode")) {
        action = prepareMode(*options);
    } else if (c == QLatin1String("program")) {
        action = prepareProgram(*options);
    } else if (c == QLatin1String("titles")) {
        action = prepareDisc(*options, printTitles);
    } else if (c == QLatin1String("upload")) {
        action = prepareDisc(*options, upload);
    }
    if (!action)
        return usage(QStringLiteral("Bad arguments for %1.\n").arg(c) + commandHelp(c));

    const int connected = session.connectChanger();
    if (connected != kExitOk)
        return connected;
    static const QStringList playing{QStringLiteral("play"), QStringLiteral("key"),
                                     QStringLiteral("mode"), QStringLiteral("program"),
                                     QStringLiteral("read-all")};
    if (session.link().modeCode() == 2 && playing.contains(c)) {
        printError(QStringLiteral("The changer is run from its own panel (changer mode 1); it "
                                  "takes no commands now."));
        return kExitChanger;
    }
    return (*action)(session);
}

} // namespace tf::ctl
