#include "operations/readall.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "link/link.h"
#include "model/discid.h"
#include "operations/appcontext.h"
#include "operations/exchange.h"
#include "operations/lookupservice.h"
#include "operations/textdownload.h"
#include "operations/titleupload.h"
#include "store/config.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/discrecord.h"
#include "store/storefiles.h"
#include "store/textfile.h"
#include "store/workfiles.h"

#include <QFile>

namespace tf {

namespace {

// Runs one exchange holding the link with the push bracket; true when it succeeded.
template <typename F> bool holding(Link& link, F exchange) {
    if (!link.Tarminal_Base_check()) {
        link.recordResult(false);
        return false;
    }
    const LinkHold hold(link, kLinkPush);
    return exchange() && link.lastResult() == kResultOk;
}

void showPassError(UserInterface& ui, const QString& detail) {
    QString text = msg(msgid::ReadAllError) + QLatin1Char('\r') + msg(msgid::InformationNotUpdated);
    if (!detail.isEmpty())
        text += QLatin1Char('\r') + detail;
    ui.messageBox(text, applicationTitle(), UserInterface::Style::Ok);
}

bool copyFile(const QString& from, const QString& to, QString* error) {
    QFile file(from);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot read %1: %2").arg(from, file.errorString());
        return false;
    }
    return textfile::replaceFile(to, textfile::defaultScratch(to), file.readAll(), error);
}

// What the pass reads of one disc, or why it has none.
enum class DiscStep { Read, Skipped, Stop };

} // namespace

bool askReadAllDiscs(UserInterface& ui) {
    const QString text = msg(msgid::ReadAllTakesMinutes) + QLatin1Char('\r') +
                         msg(msgid::ReadAllCannotSave) + QLatin1Char('\r') +
                         msg(msgid::ReadAllStartQuestion);
    return ui.messageBox(text, msg(msgid::MenuReadAllDiscs), UserInterface::Style::YesNo) ==
           UserInterface::Answer::Yes;
}

ReadAllResult readAllDiscs(AppContext& ctx, bool discListReady,
                           const std::function<void(bool)>& setRunning) {
    if (!discListReady && ctx.link.linkBusy() != kLinkOffline)
        return {};
    if (!askReadAllDiscs(ctx.ui))
        return {};
    if (setRunning)
        setRunning(true);
    const ReadAllResult result = readAllDiscsPass(ctx);
    if (setRunning)
        setRunning(false);
    return result;
}

bool loadCdTextForReadAll(AppContext& ctx, const DiscIdentity& identity, int lowest, int highest,
                          QString* error) {
    Link& link = ctx.link;
    link.waitUntil([&link] {
        return !link.operationRunning() || link.linkBusy() == kLinkIdle ||
               link.linkBusy() == kLinkOffline;
    });
    if (!link.operationRunning() || link.linkBusy() != kLinkIdle)
        return false;
    const CdTextResult downloaded = [&] {
        const LinkHold hold(link, kLinkPush);
        return DownloadCdText(link, ctx.config, identity, lowest, highest);
    }();
    if (downloaded != CdTextResult::Usable)
        return false;

    const QString cdText = ctx.config.programPath(storefiles::kCdText);
    const QString discFile = ctx.config.dataPath(discfile::fileName(identity.disc));
    if (!copyFile(cdText, discFile, error)) {
        link.recordResult(false);
        return false;
    }
    QFile::remove(cdText);
    UploadTitles(link, discFile);
    return true;
}

namespace {

// Without a changer only the online pass over the existing master file runs.
ReadAllResult offlinePass(AppContext& ctx) {
    ReadAllResult result;
    result.outcome = ReadAllOutcome::Offline;
    if (QFile::exists(storefiles::inFolder(ctx.config.settings.dataDir, storefiles::kDiscData))) {
        ctx.link.setOperationRunning(true);
        ctx.lookup.lookUpAllDiscs();
        ctx.link.setOperationRunning(false);
    }
    return result;
}

// A failed step, Cancel or a mode change ends the pass.
bool passStopped(const Link& link) {
    return link.lastResult() != kResultOk || !link.operationRunning();
}

// One disc of the pass: play it, wait for its table of contents, read its identity, user
// file and music type into the master file, and load its CD TEXT where it has some.
DiscStep readDisc(AppContext& ctx, int n, discdata::MasterFileBuilder& builder, QString* problem) {
    Link& link = ctx.link;
    if (!holding(link, [&] { return link.RequestPlay(quint16(n), 1, 0); }))
        return DiscStep::Stop;
    // A table of contents reported before belongs to another disc.
    if (link.playValues().PlayDisc != n)
        link.forgetTocReady();
    const bool tocReady = link.waitForToc(n, link.timings().tocWaitMs);
    if (passStopped(link))
        return DiscStep::Stop;
    if (!tocReady)
        return DiscStep::Skipped;

    DiscToc toc;
    if (!holding(link, [&] { return link.ReadDiscId(quint16(n), toc); }) || passStopped(link))
        return DiscStep::Stop;
    if (toc.highest == 0)
        return DiscStep::Skipped; // an empty slot: nothing to record

    DiscRecord disc;
    if (!holding(link, [&] { return link.ReadUserFile(quint16(n), disc.userFileByte); }) ||
        passStopped(link))
        return DiscStep::Stop;
    if (!holding(link, [&] { return link.ReadMusicType(quint16(n), disc.musicType); }) ||
        passStopped(link))
        return DiscStep::Stop;

    disc.identity.disc = quint8(n);
    disc.identity.id = ComputeDiscId(toc.entries).value_or(DiscIdBytes{});
    disc.minTno = toc.lowest;
    disc.maxTno = toc.highest;
    disc.toc = toc.entries;
    disc.discInfo = toc.discInfo;
    builder.addBlock(disc);
    if (disc.hasCdText())
        loadCdTextForReadAll(ctx, disc.identity, disc.minTno, disc.maxTno, problem);
    return DiscStep::Read;
}

} // namespace

ReadAllResult readAllDiscsPass(AppContext& ctx) {
    Link& link = ctx.link;
    UserInterface& ui = ctx.ui;
    const QString dataDir = ctx.config.settings.dataDir;
    if (link.linkBusy() == kLinkOffline)
        return offlinePass(ctx);

    ReadAllResult result;
    QString problem;
    const QString discProgram = storefiles::inFolder(dataDir, storefiles::kDiscProgram);
    const auto discs = workfiles::writeDiscProgram(dataDir, &problem);
    if (!discs) {
        showPassError(ui, problem);
        result.outcome = ReadAllOutcome::Failed;
        return result;
    }

    link.setOperationRunning(true);
    link.recordResult(true);
    if (link.playValues().PlayMode != 0) {
        // Leave programmed, music-type or user-file play before the discs are walked.
        holding(link, [&link] { return link.RequestPlayMode(0, 0); });
    }

    UserInterface::Progress progress{
        msg(msgid::ReadAllDiscsToPc), msg(msgid::RetrievingAllDiscs), int(discs->size()), 0, {}};
    progress.cancel = [&link] {
        link.setOperationRunning(false);
    };
    if (link.lastResult() == kResultOk)
        ui.showProgress(progress);

    discdata::MasterFileBuilder builder(dataDir);
    int done = 0;
    while (!passStopped(link) && done < discs->size()) {
        const DiscStep step = readDisc(ctx, discs->at(done), builder, &problem);
        if (step == DiscStep::Read)
            ++result.discsRead;
        else if (step == DiscStep::Skipped)
            ++result.discsSkipped;
        ui.setProgressValue(++done);
        if (step == DiscStep::Stop)
            break;
    }
    ui.closeProgress();

    const bool cancelled = !link.operationRunning();
    if (cancelled)
        link.recordResult(true); // a cancel is not an error
    // A pass cancelled before its first disc has nothing to put in place of the user's file.
    const bool commit = link.lastResult() == kResultOk && (!cancelled || builder.blockCount() > 0);
    if (commit && !builder.commit(&problem))
        link.recordResult(false);
    QFile::remove(discProgram);

    if (link.lastResult() != kResultOk) {
        showPassError(ui, problem);
        link.setOperationRunning(false);
        result.outcome = ReadAllOutcome::Failed;
        return result;
    }
    if (cancelled) {
        result.outcome = ReadAllOutcome::Cancelled;
        return result;
    }
    // The online pass runs while the pass still counts as running.
    ctx.lookup.lookUpAllDiscs();
    link.setOperationRunning(false);
    result.outcome = ReadAllOutcome::Completed;
    return result;
}

} // namespace tf
