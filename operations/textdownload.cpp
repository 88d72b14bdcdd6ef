#include "operations/textdownload.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "link/frame.h"
#include "link/link.h"
#include "operations/exchange.h"
#include "store/config.h"
#include "store/storefiles.h"
#include "store/textfile.h"
#include "store/titlerecords.h"

namespace tf {

namespace {

constexpr int kNoMarker = 255; // TextMarker before the first text frame

int infoMessage(quint8 kind) {
    switch (kind) {
    case kTextKindDisc:
        return msgid::DownloadingDiscTitles;
    case kTextKindUserFileName:
        return msgid::DownloadingUserFileNames;
    default:
        return msgid::DownloadingTrackTitles;
    }
}

// The item a frame stands for, which drives the progress bar: the disc for disc titles, the
// track for track titles, the user file (1 to 8) for user-file names.
int markerOf(quint8 kind, const TextFrame& frame) {
    switch (kind) {
    case kTextKindDisc:
        return frame.disc;
    case kTextKindUserFileName:
        return userFileFromMask(frame.item);
    default:
        return frame.item;
    }
}

QString withDetail(int messageId, const QString& detail) {
    return detail.isEmpty() ? msg(messageId) : msg(messageId) + QLatin1Char('\r') + detail;
}

// A text request: the link's request record with the fields of a text download.
RequestRecord textRequest(const Link& link, int disc, quint8 kind, quint8 fieldD, int last) {
    RequestRecord request = link.request();
    request.RequestDisc = quint16(disc);
    request.RequestTrack = 0;
    request.RequestKind = kind;
    request.RequestFieldD = fieldD;
    request.RequestLast = quint8(qBound(0, last, 255));
    return request;
}

// CD TEXT characters: one byte each; codes of 127 or more cannot be trusted to be in the PC's
// code page and become "?", control bytes become blanks so a title stays on its line.
QString cdTextCharacters(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = quint8(c);
        if (b >= 127)
            text.append(QLatin1Char('?'));
        else if (b < 0x20)
            text.append(QLatin1Char(' '));
        else
            text.append(QLatin1Char(char(b)));
    }
    return text;
}

QString cdTextOf(const TextFrame& frame) {
    if (frame.noDisc())
        return QLatin1String(kNoDiscText);
    if (frame.noTitle())
        return QLatin1String(kNoTitleText);
    return cdTextCharacters(frame.textBytes);
}

} // namespace

bool DownloadText(Link& link, const Configuration& config, UserInterface& ui,
                  const RequestRecord& request, const QString& destinationPath) {
    const QString programDir = config.programDir();
    const quint8 kind = request.RequestKind;
    const int last = request.RequestLast;
    bool progressShown = false;
    QString problem;

    const auto report = [&] {
        ops::catchAnswer(link);
        if (progressShown)
            ui.closeProgress();
        link.ShowLinkError(withDetail(kind == kTextKindUserFileName
                                          ? msgid::UserFileNameDownloadError
                                          : msgid::TitleInfoDownloadError,
                                      problem),
                           msg(msgid::DownloadingText));
        link.recordResult(false);
        link.setCurrentTransaction(0);
        clearTitleRecords(programDir);
        return false;
    };

    link.setCurrentTransaction(ops::kTxText);
    clearTitleRecords(programDir);
    if (ops::openExchange(link) != ops::StepResult::Acked)
        return report();
    if (ops::requestText(link, request) != ops::StepResult::Acked)
        return report();

    int textMarker = kNoMarker;
    if (ops::showsProgress(config)) {
        ui.showProgress({msg(msgid::DownloadingText), msg(infoMessage(kind)), last, 0, {}});
        progressShown = true;
    }
    const auto advance = [&](const TextFrame& frame) {
        textMarker = markerOf(kind, frame);
        if (progressShown)
            ui.setProgressValue(qBound(0, textMarker, last));
    };
    const ops::ReplyEnd end = ops::receiveTextFrames(link, [&](const TextFrame& frame) {
        if (!frame.trackLevel) {
            if (!DiscTextFrame(frame, programDir, &problem))
                return ops::FrameAction::Fail;
            advance(frame);
            return ops::FrameAction::Ack;
        }
        const TrackTextResult stored = TrackTextFrame(frame, last, programDir);
        if (!stored.ok) {
            problem = stored.error;
            return ops::FrameAction::Fail;
        }
        advance(frame);
        return stored.lastItemFlag == kLastItemReached ? ops::FrameAction::EndNow
                                                       : ops::FrameAction::Ack;
    });
    if (end == ops::ReplyEnd::Failed)
        return report();
    link.setCurrentTransaction(0);

    // Without a single text frame there is nothing to hand over: the download failed.
    if (textMarker == kNoMarker)
        return report();
    if (!handOverTitleRecords(programDir, destinationPath, &problem))
        return report();
    if (progressShown)
        ui.closeProgress();
    link.recordResult(true);
    return true;
}

bool downloadAllDiscTitles(Link& link, const Configuration& config, UserInterface& ui) {
    // Every slot in slot order: disc 0 asks for all of them.
    return DownloadText(link, config, ui,
                        textRequest(link, 0, kTextKindDisc, 0, link.maxDiscCount()),
                        config.programPath(storefiles::kAllDiscs));
}

bool downloadUserFileNames(Link& link, const Configuration& config, UserInterface& ui) {
    return DownloadText(link, config, ui, textRequest(link, 0, kTextKindUserFileName, 0, 8),
                        config.dataPath(storefiles::kUserFileNames));
}

bool downloadEditorTitles(Link& link, const Configuration& config, UserInterface& ui, int disc,
                          int highestTrack, quint8 userFileByte, quint8 musicType) {
    RequestRecord request = textRequest(link, disc, kTextKindTrack, musicType, highestTrack);
    request.RequestFieldB = userFileByte;
    return DownloadText(link, config, ui, request, config.programPath(storefiles::kOneDisc));
}

bool downloadAudioTitles(Link& link, const Configuration& config, UserInterface& ui, int disc,
                         int highestTrack) {
    return DownloadText(link, config, ui, textRequest(link, disc, kTextKindTrack, 0, highestTrack),
                        config.programPath(storefiles::kAudioTitles));
}

bool downloadProgramTitles(Link& link, const Configuration& config, UserInterface& ui, int disc,
                           int highestTrack) {
    return DownloadText(link, config, ui, textRequest(link, disc, kTextKindTrack, 0, highestTrack),
                        config.programPath(storefiles::kProgramTitles));
}

CdTextResult DownloadCdText(Link& link, const Configuration& config, const DiscIdentity& identity,
                            int lowest, int highest) {
    const QString path = config.programPath(storefiles::kCdText);
    const QString scratch = config.programPath(storefiles::kCdTextScratch);
    QString problem;

    const auto report = [&] {
        ops::catchAnswer(link);
        link.ShowLinkError(withDetail(msgid::CdTextReadError, problem), msg(msgid::ReadingCdText));
        link.recordResult(false);
        link.setCurrentTransaction(0);
        return CdTextResult::Failed;
    };

    // The skeleton: one line for the disc title, then one line per track, lowest first.
    const int trackCount = highest >= lowest && lowest >= 1 ? highest - lowest + 1 : 0;
    QStringList lines{QStringLiteral("DISC ID ="),    discIdText(identity.id),
                      QStringLiteral("DISC NO ="),    QString::number(identity.disc),
                      QStringLiteral("MIN TNO ="),    QString::number(lowest),
                      QStringLiteral("MAX TNO ="),    QString::number(highest),
                      QStringLiteral("Disc Title ="), QString(),
                      QStringLiteral("Track Title =")};
    constexpr int kDiscTitleLine = 9;
    constexpr int kFirstTrackLine = 11;
    for (int i = 0; i < trackCount; ++i)
        lines.append(QString());
    if (!textfile::replaceLines(path, scratch, lines, &problem))
        return report();

    const RequestRecord request = textRequest(link, identity.disc, kTextKindTrack, 0, highest);
    link.setCurrentTransaction(ops::kTxText);
    if (ops::openExchange(link) != ops::StepResult::Acked)
        return report();
    if (ops::requestText(link, request) != ops::StepResult::Acked)
        return report();

    bool anyText = false;
    bool notStandard = false;
    const ops::ReplyEnd end = ops::receiveTextFrames(link, [&](const TextFrame& frame) {
        if (frame.kind != kTextKindTrack)
            return ops::FrameAction::Ack; // acknowledged only
        if (frame.lastItemMark()) {
            notStandard = true;
            return ops::FrameAction::EndNow;
        }
        anyText = true;
        int at = -1;
        if (frame.item == 0)
            at = kDiscTitleLine;
        else if (frame.item >= lowest && frame.item <= highest)
            at = kFirstTrackLine + frame.item - lowest;
        if (at < 0)
            return ops::FrameAction::Ack; // a track outside the disc's range has no line
        const QString text = cdTextOf(frame);
        lines[at] = frame.beginsEntry() ? text : lines.at(at) + text;
        return ops::FrameAction::Ack;
    });
    if (end == ops::ReplyEnd::Failed)
        return report();
    link.setCurrentTransaction(0);
    if (!textfile::replaceLines(path, scratch, lines, &problem))
        return report();
    if (notStandard) {
        // The exchange itself ended cleanly; only the disc's text is unusable.
        link.ShowLinkError(msg(msgid::DiscNotStandard), msg(msgid::ReadingCdText));
        link.recordResult(true);
        return CdTextResult::NotStandard;
    }
    if (!anyText)
        return report();
    link.recordResult(true);
    return CdTextResult::Usable;
}

} // namespace tf
