#include "operations/titleupload.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "link/frame.h"
#include "link/link.h"
#include "operations/exchange.h"
#include "store/config.h"
#include "store/discfile.h"
#include "store/storeio.h"
#include "store/textfile.h"

#include <algorithm>
#include <functional>
#include <optional>

namespace tf {

namespace {

constexpr int kMemoryTrackLimit = 20; // the changer keeps titles for tracks 1 to 20

// The titles to send: the disc title, then track titles from `firstTrack` on.
struct TitleSet {
    QString discTitle;
    int firstTrack = 1;
    QStringList trackTitles;
};

// Error report of the upload.
bool uploadFailed(Link& link) {
    ops::catchAnswer(link);
    link.ShowLinkError(msg(msgid::TitleTransmitError), msg(msgid::TitleTransmitTitle));
    link.recordResult(false);
    link.setCurrentTransaction(0);
    return false;
}

// ENQ, the disc title, the track titles, EOT. `beforeTrack` runs before each track title is
// sent (the progress bar). False on failure, before the error report.
bool sendTitleSet(Link& link, RequestRecord request, const TitleSet& titles,
                  const std::function<void(int)>& beforeTrack) {
    if (ops::openExchange(link) != ops::StepResult::Acked)
        return false;
    const auto sendText = [&link, &request](const QString& text) {
        request.RequestText = text.left(kMaxTitleChars);
        return ops::sendAcked(link, [&] { link.SendTitleFrame(request); }) ==
               ops::StepResult::Acked;
    };
    request.RequestTrack = 0;
    request.RequestKind = kTextKindDisc;
    if (!sendText(titles.discTitle))
        return false;
    request.RequestKind = kTextKindTrack;
    const int first = std::max(1, titles.firstTrack);
    const int last = std::min<int>(kMemoryTrackLimit, request.RequestLast);
    for (int i = 0; i < titles.trackTitles.size(); ++i) {
        const int track = first + i;
        if (track > last)
            break;
        request.RequestTrack = quint8(track);
        if (beforeTrack)
            beforeTrack(track);
        if (!sendText(titles.trackTitles.at(i)))
            return false;
    }
    if (ops::closeExchange(link) != ops::StepResult::Acked)
        return false;
    link.recordResult(true);
    link.setCurrentTransaction(0);
    return true;
}

std::optional<TitleSet> titlesOfFile(const QString& path, QString* error) {
    const storeio::Lines file = storeio::readText(path);
    if (!file.ok()) {
        storeio::fail(error,
                      file.missing() ? QStringLiteral("%1 does not exist.").arg(path) : file.error);
        return std::nullopt;
    }
    TitleSet titles;
    titles.discTitle =
        storeio::valueAfter(file.lines, QStringLiteral("Disc Title =")).value_or(QString());
    titles.firstTrack = discfile::readNumbers(file.lines).minTno;
    const int key = discfile::trackTitleKeyLine(file.lines);
    if (key >= 0)
        titles.trackTitles = file.lines.mid(key + 1);
    return titles;
}

} // namespace

int ReadTitleStatus(Link& link, const RequestRecord& request, quint8& userFileByte,
                    quint8& musicType) {
    const auto report = [&link, &request] {
        ops::catchAnswer(link);
        link.ShowLinkError(msg(request.RequestKind == kTextKindUserFileName
                                   ? msgid::UserFileNameDownloadError
                                   : msgid::TitleInfoDownloadError),
                           msg(msgid::TitleInfoDownloadTitle));
        link.recordResult(false);
        link.setCurrentTransaction(0);
        return 0;
    };
    link.setCurrentTransaction(ops::kTxText);
    if (ops::openExchange(link) != ops::StepResult::Acked)
        return report();
    if (ops::requestText(link, request) != ops::StepResult::Acked)
        return report();
    int textMarker = 255;
    bool unusable = false;
    // A disc that already holds titles answers with text: every frame counts, with or without.
    const ops::ReplyEnd end = ops::receiveTextFrames(link, [&](const TextFrame& frame) {
        userFileByte = frame.userFileByte;
        musicType = frame.musicType;
        if (frame.lastItemMark())
            unusable = true;
        textMarker = frame.item;
        return ops::FrameAction::Ack;
    });
    if (end == ops::ReplyEnd::Failed)
        return report();
    link.setCurrentTransaction(0);
    link.recordResult(true);
    return textMarker != 255 && !unusable ? 1 : 0;
}

bool Execute_send_text_to_changer(Link& link, const RequestRecord& request,
                                  const QString& titleFilePath) {
    QString problem;
    const auto titles = titlesOfFile(titleFilePath, &problem);
    if (!titles) {
        link.ShowLinkError(msg(msgid::TitleTransmitError) + QLatin1Char('\r') + problem,
                           msg(msgid::TitleTransmitTitle));
        link.recordResult(false);
        return false;
    }
    if (!sendTitleSet(link, request, *titles, {}))
        return uploadFailed(link);
    return true;
}

bool UploadTitles(Link& link, const QString& titleFilePath) {
    if (link.linkBusy() == kLinkOffline) {
        link.ShowLinkError(msg(msgid::ChangerCouldNotSave), msg(msgid::TitleSaveErrorTitle));
        return false;
    }
    const auto numbers = discfile::readNumbers(titleFilePath);
    if (!numbers || numbers->discNo < 1) {
        link.ShowLinkError(msg(msgid::ChangerCouldNotSave) + QLatin1Char('\r') +
                               QStringLiteral("%1 names no disc.").arg(titleFilePath),
                           msg(msgid::TitleSaveErrorTitle));
        link.recordResult(false);
        return false;
    }
    const auto discRequest = [&] {
        RequestRecord request = link.request();
        request.RequestDisc = quint16(numbers->discNo);
        request.RequestTrack = 0;
        request.RequestLast = quint8(qBound(0, int(numbers->maxTno), 255));
        request.RequestKind = kTextKindTrack;
        return request;
    };

    if (!link.Tarminal_Base_check())
        return false;
    quint8 userFileByte = 0;
    quint8 musicType = 0;
    {
        const LinkHold hold(link, kLinkPush);
        RequestRecord status = discRequest();
        status.RequestFieldD = 0;
        if (ReadTitleStatus(link, status, userFileByte, musicType) != 1)
            return false;
    }

    if (!link.Tarminal_Base_check())
        return false;
    const LinkHold hold(link, kLinkPush);
    const quint16 disc = quint16(numbers->discNo);
    if (link.ConfirmTitleInput(disc) != 1)
        return false;
    // Every title frame carries the disc's user-file byte and music type back, or the changer
    // would lose them.
    RequestRecord titles = discRequest();
    titles.RequestFieldB = userFileByte;
    titles.RequestFieldD = musicType;
    return Execute_send_text_to_changer(link, titles, titleFilePath);
}

bool UploadEditorTitles(Link& link, const Configuration& config, UserInterface& ui,
                        const EditorTitlesUpload& titles) {
    RequestRecord request = link.request();
    request.RequestDisc = quint16(titles.disc);
    request.RequestFieldB = titles.userFileByte;
    request.RequestFieldD = titles.musicType;
    request.RequestLast = quint8(qBound(0, titles.maxTno, 255));
    const bool progress = ops::showsProgress(config);
    if (progress)
        ui.showProgress({msg(msgid::TitleTransmitTitle),
                         msg(msgid::TitleTransmitTitle),
                         request.RequestLast,
                         0,
                         {}});
    const bool sent = sendTitleSet(
        link, request, {titles.discTitle, titles.minTno, titles.trackTitles}, [&](int track) {
            if (progress)
                ui.setProgressValue(track);
        });
    if (progress)
        ui.closeProgress();
    return sent || uploadFailed(link);
}

} // namespace tf
