#include "operations/playingdisc.h"

#include "base/catalogue.h"
#include "link/link.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "operations/textdownload.h"
#include "store/config.h"
#include "store/discfile.h"
#include "store/storefiles.h"
#include "store/titlerecords.h"

#include <QFile>

namespace tf {

namespace {

constexpr int kMemoryTracks = 20; // the changer stores titles for 20 tracks

bool lookUp(AppContext& ctx, int disc, bool cdText) {
    if (cdText)
        return ctx.lookup.CD_TEXT_load_Not_CDDB(disc);
    return askToSearchOnline(ctx.config.settings, ctx.ui) && ctx.lookup.Web_search_CDDB(disc);
}

// The titles the changer stores, as its text download leaves them; `titles` keeps what the
// disc file gave when the download brings no disc title. False when nothing came.
bool addChangerTitles(AppContext& ctx, const PlayingDisc& disc, DiscTitles& titles) {
    Link& link = ctx.link;
    const int number = disc.identity.disc;
    const QString path = ctx.config.programPath(storefiles::kAudioTitles);
    link.Tarminal_Base_check();
    const bool downloaded = whileHolding(link, kLinkAudio, [&] {
        return downloadAudioTitles(link, ctx.config, ctx.ui, number, disc.highest);
    });
    const auto records = downloaded ? readRecordTitles(path) : std::nullopt;
    QFile::remove(path);
    if (!records || records->isEmpty())
        return false;
    titles.discTitle = records->first();
    for (int k = 1; k < records->size(); ++k) {
        titles.tracks.append({k, records->at(k)});
        if (k == disc.lowest + kMemoryTracks - 1 && disc.highest - disc.lowest + 1 > kMemoryTracks)
            for (int t = k + 1; t <= disc.highest; ++t)
                titles.tracks.append({t, msg(msgid::AudioTrackWithoutTitle)});
    }
    return true;
}

} // namespace

std::optional<DiscTitles> discFileTitles(const QString& path, int lowest, int highest) {
    const auto content = discfile::readDiscFile(path);
    if (!content)
        return std::nullopt;
    if (content->numbers.minTno > 0 && content->numbers.maxTno >= content->numbers.minTno) {
        lowest = content->numbers.minTno;
        highest = content->numbers.maxTno;
    }
    DiscTitles titles;
    if (content->hasDiscTitle && !content->discTitle.isEmpty())
        titles.discTitle = content->discTitle;
    titles.discItem = true;
    bool titled = false;
    for (int t = lowest; t <= highest && t - lowest < content->trackTitles.size(); ++t) {
        const QString& title = content->trackTitles.at(t - lowest);
        titles.tracks.append({t, title});
        titled = titled || !title.isEmpty();
    }
    // A file without a disc title is still good when it names at least one track.
    titles.usable = titles.discTitle.has_value() || titled;
    return titles;
}

std::optional<PlayingDisc> readPlayingDisc(Link& link, int disc) {
    DiscToc toc;
    link.Tarminal_Base_check();
    const bool read =
        whileHolding(link, kLinkAudio, [&] { return link.ReadDiscId(quint16(disc), toc); });
    if (!read || link.lastResult() != kResultOk)
        return std::nullopt;
    PlayingDisc playing;
    playing.identity.disc = quint8(disc);
    if (const auto id = ComputeDiscId(toc.entries))
        playing.identity.id = *id;
    playing.cdText = (toc.discInfo & 0x10) != 0;
    playing.lowest = toc.lowest > 0 ? toc.lowest : 1;
    playing.highest = toc.highest >= playing.lowest ? toc.highest : playing.lowest;
    return playing;
}

PlayingDiscTitles findPlayingDiscTitles(AppContext& ctx, const PlayingDisc& disc) {
    const int number = disc.identity.disc;
    const QString dataDir = ctx.config.settings.dataDir;
    const QString discPath = storefiles::inFolder(dataDir, discfile::fileName(number));
    const bool idKnown = disc.identity.idKnown();

    PlayingDiscTitles found;
    if (idKnown && discfile::checkId(discPath, disc.identity) == discfile::IdCheck::Match)
        found.source = TitleSource::DiscFile;
    else if (idKnown &&
             discfile::restore(dataDir, disc.identity) == discfile::RestoreResult::Restored)
        found.source = TitleSource::ParkedFile;
    else if (lookUp(ctx, number, disc.cdText) && QFile::exists(discPath))
        found.source = TitleSource::Lookup;

    if (found.source != TitleSource::None) {
        if (const auto fromFile = discFileTitles(discPath, disc.lowest, disc.highest))
            found.titles = *fromFile;
        if (found.titles.usable)
            return found;
    }
    // The changer's stored titles replace the file's track list.
    found.titles.tracks.clear();
    found.source =
        addChangerTitles(ctx, disc, found.titles) ? TitleSource::Changer : TitleSource::None;
    return found;
}

ProgramTrackTitles programTrackTitles(AppContext& ctx, int disc) {
    ProgramTrackTitles tracks;
    if (const auto content =
            discfile::readDiscFile(ctx.config.dataPath(discfile::fileName(disc)))) {
        tracks.titles = content->trackTitles.mid(0, qMax(0, int(content->numbers.maxTno)));
        tracks.highest = int(tracks.titles.size());
        return tracks;
    }
    Link& link = ctx.link;
    MinMaxTno range;
    if (!whileHolding(link, kLinkAudio, [&] { return link.ReadMinMaxTno(quint16(disc), range); }))
        return tracks;
    tracks.highest = range.highest;
    const QString path = ctx.config.programPath(storefiles::kProgramTitles);
    link.Tarminal_Base_check();
    const bool downloaded = whileHolding(link, kLinkAudio, [&] {
        return downloadProgramTitles(link, ctx.config, ctx.ui, disc, range.highest);
    });
    if (const auto records = downloaded ? readRecordTitles(path) : std::nullopt)
        tracks.titles = records->mid(1);
    QFile::remove(path);
    return tracks;
}

bool requestPlay(Link& link, int disc, int track) {
    link.Tarminal_Base_check();
    link.setCommandInProgress(true);
    const LinkHold hold(link, kLinkAudio);
    return link.RequestPlay(quint16(disc), quint8(track), 1);
}

} // namespace tf
