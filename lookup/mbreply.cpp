#include "lookup/mbreply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace tf {

namespace {

// A text field of the answer: a string or nothing, free of control characters, bounded.
QString text(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString())
        return {};
    return sanitizeCddbText(value.toString().left(kMbMaxTextChars)).trimmed();
}

// The credit as MusicBrainz shows it: each credited name followed by its join phrase.
QString credit(const QJsonValue& value) {
    QString joined;
    const QJsonArray parts = value.toArray();
    for (const QJsonValue& part : parts) {
        const QJsonObject o = part.toObject();
        QString name = text(o, "name");
        if (name.isEmpty())
            name = text(o.value(QLatin1String("artist")).toObject(), "name");
        joined += name;
        const QJsonValue join = o.value(QLatin1String("joinphrase"));
        if (join.isString())
            joined += sanitizeCddbText(join.toString().left(kMbMaxTextChars));
    }
    return joined.trimmed().left(kMbMaxTextChars);
}

int number(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    const double n = value.isDouble() ? value.toDouble() : 0;
    return n >= 0 && n <= 10000 ? int(n) : 0;
}

bool carriesId(const QJsonObject& medium, const QString& id) {
    const QJsonArray discs = medium.value(QLatin1String("discs")).toArray();
    return std::any_of(discs.begin(), discs.end(), [&](const QJsonValue& d) {
        return d.toObject().value(QLatin1String("id")).toString() == id;
    });
}

QString firstLabel(const QJsonObject& release) {
    const QJsonArray infos = release.value(QLatin1String("label-info")).toArray();
    for (const QJsonValue& info : infos) {
        const QString name = text(info.toObject().value(QLatin1String("label")).toObject(), "name");
        if (!name.isEmpty())
            return name;
    }
    return {};
}

// The medium's track titles; a track credited to someone other than the release's artist
// makes the whole medium a various-artists one.
void readTracks(const QJsonObject& medium, MbCandidate* c) {
    QStringList titles;
    QStringList artists;
    const QJsonArray tracks = medium.value(QLatin1String("tracks")).toArray();
    for (const QJsonValue& value : tracks) {
        if (titles.size() >= kXmcdMaxTracks)
            break;
        const QJsonObject track = value.toObject();
        const QJsonObject recording = track.value(QLatin1String("recording")).toObject();
        QString title = text(track, "title");
        if (title.isEmpty())
            title = text(recording, "title");
        QString artist = credit(track.value(QLatin1String("artist-credit")));
        if (artist.isEmpty())
            artist = credit(recording.value(QLatin1String("artist-credit")));
        titles.append(title);
        artists.append(artist.isEmpty() ? c->artist : artist);
    }
    c->variousArtists =
        c->artist.compare(QLatin1String("Various Artists"), Qt::CaseInsensitive) == 0 ||
        std::any_of(artists.begin(), artists.end(),
                    [&](const QString& a) { return a != c->artist; });
    if (c->variousArtists) {
        for (int i = 0; i < titles.size(); ++i)
            titles[i] = artists.at(i) + QStringLiteral(" / ") + titles.at(i);
    }
    c->trackTitles = titles;
}

void readRelease(const QJsonObject& release, const MbDiscId& disc, bool exactLookup,
                 QList<MbCandidate>* out) {
    MbCandidate base;
    base.releaseId = text(release, "id");
    base.title = text(release, "title");
    base.artist = credit(release.value(QLatin1String("artist-credit")));
    base.year = text(release, "date").left(4);
    base.country = text(release, "country");
    base.label = firstLabel(release);
    const QJsonArray media = release.value(QLatin1String("media")).toArray();
    base.discCount = int(std::min<qsizetype>(media.size(), 999));

    // The media that carry the disc id; failing those, the ones with as many tracks.
    QList<MbCandidate> byId;
    QList<MbCandidate> byCount;
    for (int i = 0; i < media.size() && i < 999; ++i) {
        const QJsonObject medium = media.at(i).toObject();
        MbCandidate c = base;
        c.discNumber = number(medium, "position");
        if (c.discNumber == 0)
            c.discNumber = i + 1;
        c.trackCount = number(medium, "track-count");
        readTracks(medium, &c);
        if (c.trackCount == 0)
            c.trackCount = int(c.trackTitles.size());
        c.tocMatches = c.trackCount == disc.trackCount;
        if (carriesId(medium, disc.id)) {
            c.exact = exactLookup;
            byId.append(c);
        } else if (c.tocMatches) {
            byCount.append(c);
        }
    }
    out->append(byId.isEmpty() ? byCount : byId);
}

} // namespace

CddbDisc MbCandidate::toDisc() const {
    CddbDisc disc;
    disc.category = QLatin1String(kMbCategory);
    disc.artist = artist;
    disc.title = title;
    disc.year = year;
    disc.trackTitles = trackTitles;
    disc.trackExtendedData = QStringList(trackTitles.size());
    return disc;
}

CddbMatch MbCandidate::toMatch() const {
    CddbMatch match;
    match.category = QLatin1String(kMbCategory);
    match.discId = releaseId;
    match.artist = artist;
    match.title = title;
    match.exact = exact;
    match.source = QStringLiteral("MusicBrainz");
    QStringList parts;
    for (const QString& part : {year, country, label}) {
        if (!part.isEmpty())
            parts.append(part);
    }
    parts.append(QStringLiteral("disc %1 of %2").arg(discNumber).arg(discCount));
    parts.append(QStringLiteral("%1 tracks").arg(trackCount));
    match.details = parts.join(QStringLiteral(", "));
    return match;
}

QList<CddbMatch> mbMatches(const QList<MbCandidate>& candidates) {
    QList<CddbMatch> matches;
    for (const MbCandidate& c : candidates)
        matches.append(c.toMatch());
    return matches;
}

MbReply parseMbReply(const QByteArray& body, const MbDiscId& disc, bool exactLookup) {
    MbReply reply;
    const auto bad = [&reply](const QString& why) {
        reply.outcome = CddbOutcome::failure(CddbResultCode::BadResponse, why);
        return reply;
    };
    if (body.size() > kMbMaxReplyBytes)
        return bad(QStringLiteral("MusicBrainz sent far more data than a disc lookup holds."));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return bad(QStringLiteral("MusicBrainz sent an answer that could not be understood."));
    const QJsonArray releases = doc.object().value(QLatin1String("releases")).toArray();
    for (int i = 0; i < releases.size() && i < kMbMaxReleases; ++i)
        readRelease(releases.at(i).toObject(), disc, exactLookup, &reply.candidates);
    // Exact media first, then those whose track count fits the disc; otherwise the answer's order.
    const auto rank = [](const MbCandidate& c) {
        return (c.exact ? 2 : 0) + (c.tocMatches ? 1 : 0);
    };
    std::stable_sort(reply.candidates.begin(), reply.candidates.end(),
                     [&](const MbCandidate& a, const MbCandidate& b) { return rank(a) > rank(b); });
    return reply;
}

} // namespace tf
