#include "lookup/cddblookupservice.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "link/link.h"
#include "lookup/cddbclient.h"
#include "lookup/mbclient.h"
#include "operations/textdownload.h"
#include "operations/titleupload.h"
#include "store/config.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/storefiles.h"
#include "store/storeio.h"
#include "store/textfile.h"

#include <QEventLoop>
#include <QFile>
#include <QScopeGuard>
#include <QStringList>

namespace tf {

namespace {

using Style = UserInterface::Style;
using Answer = UserInterface::Answer;

// An unattended pass must go on: its error dialogs close by themselves.
constexpr int kPassErrorCountdownS = 3;

QString readDiscTitle(int disc) {
    return msg(msgid::ReadDiscNumber) + QString::number(disc);
}

} // namespace

CddbLookupService::CddbLookupService(Link& link, Configuration& config, UserInterface& ui,
                                     CddbClient& client, MbClient& musicBrainz,
                                     LookupChooser& chooser, QObject* parent)
    : QObject(parent), m_link(link), m_config(config), m_ui(ui), m_client(client),
      m_mb(musicBrainz), m_chooser(chooser) {}

// ---- Entry points ----

bool CddbLookupService::CD_TEXT_load_Not_CDDB(int disc) {
    const auto record = discFor(disc);
    if (!record)
        return false;
    if (record->hasCdText())
        return loadCdText(*record);
    // Without CD TEXT the online database is the only source left.
    if (!askToSearch())
        return false;
    return runLookup(*record, false) == Step::Written;
}

bool CddbLookupService::Web_search_CDDB(int disc) {
    const auto record = discFor(disc);
    if (!record) {
        // Without the table of contents there is nothing to look up by.
        waitForErrorDialog(msg(msgid::TitleDataNotFound), readDiscTitle(disc), 0);
        return false;
    }
    return lookUpDisc(*record);
}

bool CddbLookupService::lookUpDisc(const DiscRecord& disc) {
    return runLookup(disc, false) == Step::Written;
}

void CddbLookupService::lookUpAllDiscs() {
    const ConfigSettings& settings = m_config.settings;
    if (settings.noWebSearch == 1)
        return;
    if (settings.alwaysWebSearch == 0 &&
        m_ui.messageBox(msg(msgid::SearchInternetQuestion), msg(msgid::TitleLoadingErrorTitle),
                        Style::YesNo) != Answer::Yes)
        return;

    const QString dataDir = settings.dataDir;
    const storeio::Lines master =
        storeio::readText(storefiles::inFolder(dataDir, storefiles::kDiscData));
    if (!master.ok())
        return;
    // The discs to look up are the blocks' headers, in file order. They are kept in memory:
    // the list is only needed while the pass runs.
    QList<int> discs;
    for (const QString& line : master.lines) {
        if (!line.startsWith(QLatin1String("_!_")))
            continue;
        bool ok = false;
        const int disc = line.mid(3).trimmed().toInt(&ok);
        if (ok && disc >= 1 && !discs.contains(disc))
            discs.append(disc);
    }
    if (discs.isEmpty())
        return;

    const bool wasRunning = m_link.operationRunning();
    m_link.setOperationRunning(true);
    readAllLookup = true;
    m_passFailure.clear();
    UserInterface::Progress progress{
        msg(msgid::ReadAllDiscsFromWeb), msg(msgid::RetrievingAllDiscs), int(discs.size()), 0, {}};
    progress.cancel = [this] {
        m_link.setOperationRunning(false);
        m_client.cancel(); // ends the request in flight at once
        m_mb.cancel();
    };
    m_ui.showProgress(progress);
    {
        // Public servers ask for a pause between the requests of a batch.
        CddbPacedScope paced(m_client);
        for (int i = 0; i < discs.size() && m_link.operationRunning(); ++i) {
            m_ui.setProgressValue(i + 1);
            const auto record = discdata::readBlock(master.lines, discs.at(i));
            if (!record || record->hasCdText())
                continue; // CD TEXT discs got their titles while the changer was read
            if (runLookup(*record, true) == Step::StopPass)
                break;
        }
    }
    m_ui.closeProgress();
    readAllLookup = false;
    m_link.setOperationRunning(wasRunning && m_link.operationRunning());
    // One message for the whole pass, not one per remaining disc.
    if (!m_passFailure.isEmpty())
        m_ui.messageBox(m_passFailure, msg(msgid::ReadAllDiscsFromWeb), Style::OkExclamation);
}

// ---- Where a disc comes from ----

std::optional<DiscRecord> CddbLookupService::discFor(int disc) {
    if (m_source)
        return m_source(disc);
    QString problem;
    if (auto record = masterFileDisc(m_config.settings.dataDir, disc, &problem))
        return record;
    return discFromChanger(disc);
}

std::optional<DiscRecord> CddbLookupService::discFromChanger(int disc) {
    if (m_link.linkState() != kLinkUp || m_link.linkBusy() == kLinkOffline)
        return std::nullopt;
    m_link.waitUntil(
        [this] { return m_link.linkBusy() == kLinkIdle || m_link.linkBusy() == kLinkOffline; });
    if (m_link.linkBusy() != kLinkIdle)
        return std::nullopt;
    DiscToc toc;
    const bool ok =
        whileHolding(m_link, kLinkPush, [&] { return m_link.ReadDiscId(quint16(disc), toc); });
    if (!ok || toc.highest == 0)
        return std::nullopt;
    DiscRecord record;
    record.identity.disc = quint8(disc);
    if (const auto id = ComputeDiscId(toc.entries))
        record.identity.id = *id;
    record.minTno = qint16(qMax<int>(toc.lowest, 1));
    record.maxTno = qint16(qMax<int>(toc.highest, record.minTno));
    record.toc = toc.entries;
    record.discInfo = toc.discInfo;
    return record;
}

// ---- The online lookup of one disc ----

CddbLookupService::Step CddbLookupService::runLookup(const DiscRecord& disc, bool inPass) {
    // One lookup at a time: a second one started from a nested wait (the audio tab loading
    // the playing disc while the title editor looks one up) would overwrite the first one's
    // matchCode, tocText and currentDisc halfway through.
    if (m_running)
        return Step::NotWritten;
    m_running = true;
    const auto done = qScopeGuard([this] { m_running = false; });
    QString problem;
    const auto key = lookupKey(disc, &problem);
    if (!key) {
        // No valid key, no request: the server would answer for some other disc.
        waitForErrorDialog(msg(msgid::TitleDataNotFound) + QLatin1Char('\r') + problem,
                           readDiscTitle(disc.disc()), inPass ? kPassErrorCountdownS : 0);
        return Step::NotWritten;
    }

    emit busyCursor(true);
    // The TOC text of the tracks the disc really has, as the database knows it.
    QStringList offsets;
    for (int offset : key->toc.trackOffsets)
        offsets.append(QString::number(offset));
    offsets.append(QString::number(key->toc.leadOut));
    tocText = offsets.join(QLatin1Char(' '));
    lastMatchCode = 0;
    emit lookupStateChanged();
    matchCode = kMatchNone;

    // Each source in the chosen order until one knows the disc; what it answers (titles
    // written, "none of these", a failure) ends the lookup.
    std::optional<Step> step;
    const LookupOrder order = m_mb.options().order;
    const bool mbFirst =
        order == LookupOrder::MusicBrainzOnly || order == LookupOrder::MusicBrainzThenCddb;
    const bool both =
        order == LookupOrder::CddbThenMusicBrainz || order == LookupOrder::MusicBrainzThenCddb;
    for (int i = 0; i < (both ? 2 : 1) && !step; ++i) {
        const bool mb = (i == 0) == mbFirst;
        step = mb ? lookUpMusicBrainz(*key, disc, inPass) : lookUpCddb(*key, inPass, disc);
    }
    if (!step) {
        step = notFound(*key, inPass);
        if (order != LookupOrder::CddbOnly && !inPass)
            offerSubmission(*key, disc);
    }
    finish(*key, disc);
    return *step;
}

std::optional<CddbLookupService::Step>
CddbLookupService::lookUpCddb(const LookupKey& key, bool inPass, const DiscRecord& disc) {
    const CddbQueryResult query = m_client.queryAndWait(key.toc);
    lastOutcome = query.outcome;
    if (isServiceFailure(query.outcome.code))
        return serviceFailed(query.outcome, inPass);
    matchCode = query.matchCode();
    std::optional<CddbMatch> chosen;
    if (matchCode == kMatchExact) {
        chosen = query.matches.first();
    } else if (matchCode == kMatchSeveral) {
        const std::optional<int> pick = m_chooser.chooseCandidate(query.matches);
        // "None of these" ends the lookup: nothing is written, nothing is parked.
        if (!pick || *pick < 0 || *pick >= query.matches.size())
            return Step::NotWritten;
        chosen = query.matches.at(*pick);
        if (chosen->artist.isEmpty() && chosen->title.isEmpty())
            return notFound(key, inPass);
    } else {
        return std::nullopt;
    }
    const CddbReadResult read = m_client.readAndWait(chosen->category, chosen->discId);
    lastOutcome = read.outcome;
    if (isServiceFailure(read.outcome.code))
        return serviceFailed(read.outcome, inPass);
    if (!read.outcome.ok() || read.disc.namesEmpty())
        return notFound(key, inPass);
    return writeAndSend(key, disc, read.disc);
}

std::optional<CddbLookupService::Step>
CddbLookupService::lookUpMusicBrainz(const LookupKey& key, const DiscRecord& disc, bool inPass) {
    const auto id = mbDiscId(key.toc, qMax<int>(disc.minTno, 1));
    if (!id)
        return std::nullopt;
    const MbLookupResult result = m_mb.lookupAndWait(*id);
    lastOutcome = result.outcome;
    if (result.outcome.code == CddbResultCode::NoMatch)
        return std::nullopt;
    if (isServiceFailure(result.outcome.code))
        return serviceFailed(result.outcome, inPass);
    const QList<MbCandidate>& found = result.candidates;
    const bool one = found.size() == 1 && found.first().exact;
    matchCode = one ? kMatchExact : kMatchSeveral;
    int pick = 0;
    if (!one) {
        const std::optional<int> chosen = m_chooser.chooseCandidate(mbMatches(found));
        if (!chosen || *chosen < 0 || *chosen >= found.size())
            return Step::NotWritten;
        pick = *chosen;
    }
    CddbDisc picked = found.at(pick).toDisc();
    // The medium stands for the looked-up table, as a CDDB record does, so that the CDDB menu
    // shows it and can tell where corrections to it go.
    picked.discIds = {key.toc.discId};
    if (picked.namesEmpty())
        return notFound(key, inPass);
    return writeAndSend(key, disc, picked);
}

void CddbLookupService::offerSubmission(const LookupKey& key, const DiscRecord& disc) {
    const auto id = mbDiscId(key.toc, qMax<int>(disc.minTno, 1));
    if (!id || !id->submissionUrl.isValid())
        return;
    const QString question =
        QStringLiteral("Neither database knows this disc (MusicBrainz disc id %1).\rWould you "
                       "like to open MusicBrainz's page for adding it in your browser?")
            .arg(id->id);
    if (m_ui.messageBox(question, QStringLiteral("MusicBrainz"), Style::YesNo) == Answer::Yes)
        emit openInBrowser(id->submissionUrl);
}

CddbLookupService::Step CddbLookupService::notFound(const LookupKey& key, bool inPass) {
    // The old file is parked, not lost: it comes back when this disc is loaded again.
    const QString path =
        storefiles::inFolder(m_config.settings.dataDir, discfile::fileName(key.identity.disc));
    discfile::park(path);
    waitForErrorDialog(msg(msgid::TitleDataNotFound), readDiscTitle(key.identity.disc),
                       inPass ? kPassErrorCountdownS : 0);
    return Step::NotWritten;
}

CddbLookupService::Step CddbLookupService::serviceFailed(const CddbOutcome& outcome, bool inPass) {
    // The database said nothing about the disc, so its title file stays as it is.
    if (outcome.code == CddbResultCode::Cancelled)
        return Step::StopPass;
    if (inPass) {
        if (stopsPass(outcome.code)) {
            m_passFailure = outcome.message;
            return Step::StopPass;
        }
        waitForErrorDialog(outcome.message, msg(msgid::ReadAllDiscsFromWeb), kPassErrorCountdownS);
        return Step::NotWritten;
    }
    m_ui.messageBox(outcome.message, QString(), Style::OkExclamation);
    return Step::NotWritten;
}

CddbLookupService::Step CddbLookupService::writeAndSend(const LookupKey& key,
                                                        const DiscRecord& disc,
                                                        const CddbDisc& result) {
    currentDisc = result;
    const int minTno = qMax<int>(disc.minTno, 1);
    const int maxTno = qMax<int>(disc.maxTno, minTno);
    QString error;
    if (!writeLookupResult(m_config.settings.dataDir, key, minTno, maxTno, result, &error)) {
        m_ui.messageBox(error, QString(), Style::OkExclamation);
        return Step::NotWritten;
    }
    UploadTitles(m_link, m_config.dataPath(discfile::fileName(key.identity.disc)));
    return Step::Written;
}

void CddbLookupService::finish(const LookupKey& key, const DiscRecord& disc) {
    lastMatchCode = matchCode;
    lastLookup.identity = key.identity;
    lastLookup.toc = disc.toc;
    lastLookup.firstTrack = disc.minTno;
    lastLookup.lastTrack = disc.maxTno;
    emit busyCursor(false);
    emit lookupStateChanged();
}

// ---- CD TEXT ----

bool CddbLookupService::loadCdText(const DiscRecord& disc) {
    if (m_link.linkBusy() == kLinkOffline)
        return false;
    m_link.waitUntil(
        [this] { return m_link.linkBusy() == kLinkIdle || m_link.linkBusy() == kLinkOffline; });
    if (m_link.linkBusy() != kLinkIdle)
        return false;
    DiscIdentity identity = disc.identity;
    if (!identity.idKnown())
        if (const auto id = ComputeDiscId(disc.toc))
            identity.id = *id;
    const CdTextResult downloaded = whileHolding(m_link, kLinkPush, [&] {
        return DownloadCdText(m_link, m_config, identity, qMax<int>(disc.minTno, 1), disc.maxTno);
    });
    if (downloaded != CdTextResult::Usable)
        return false;

    const QString cdText = m_config.programPath(storefiles::kCdText);
    const QString discFile = m_config.dataPath(discfile::fileName(disc.disc()));
    QString error;
    QFile source(cdText);
    bool ok = discfile::park(discFile, &error) != discfile::ParkResult::Failed;
    if (ok && !source.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Cannot read %1: %2").arg(cdText, source.errorString());
        ok = false;
    }
    if (ok)
        ok = textfile::replaceFile(discFile, textfile::defaultScratch(discFile), source.readAll(),
                                   &error);
    source.close();
    if (!ok) {
        m_ui.messageBox(error, QString(), Style::OkExclamation);
        return false;
    }
    QFile::remove(cdText);
    UploadTitles(m_link, discFile);
    return true;
}

// ---- The user ----

bool CddbLookupService::askToSearch() {
    return askToSearchOnline(m_config.settings, m_ui);
}

void CddbLookupService::waitForErrorDialog(const QString& body, const QString& title,
                                           int countdownSeconds) {
    // The dialog does not block; the lookup goes on only once it has closed.
    bool open = true;
    QEventLoop loop;
    m_ui.showErrorDialog(body, title, countdownSeconds, [&open, &loop] {
        open = false;
        loop.quit();
    });
    if (open)
        loop.exec();
}

} // namespace tf
