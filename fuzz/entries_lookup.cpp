// Fuzz entries of the CDDB answers and xmcd records: everything the network hands us.

#include "fuzz/fuzzentries.h"

#include "lookup/cddbresult.h"
#include "lookup/mbreply.h"
#include "lookup/xmcd.h"

namespace tf::fuzz {
namespace {

bool hasControl(const QString& text) {
    return sanitizeCddbText(text) != text;
}

bool anyControl(const QStringList& texts) {
    for (const QString& text : texts) {
        if (hasControl(text))
            return true;
    }
    return false;
}

// Every field of a parsed record is free of control characters and the lists agree in size.
QString checkDisc(const CddbDisc& disc) {
    if (anyControl(
            {disc.artist, disc.title, disc.year, disc.genre, disc.extendedData, disc.playOrder}) ||
        anyControl(disc.trackTitles) || anyControl(disc.trackExtendedData))
        return QStringLiteral("a record field carries a control character");
    if (disc.trackTitles.size() != disc.trackExtendedData.size() ||
        disc.trackTitles.size() > kXmcdMaxTracks)
        return QStringLiteral("track titles and extended data out of step");
    for (const QString& id : disc.discIds) {
        if (!isCddbDiscIdWord(id))
            return QStringLiteral("a disc id that is not a plain word");
    }
    return {};
}

} // namespace

QString fuzzCddb(const QByteArray& input, const QString&) {
    const CddbQueryResult query = parseCddbQueryAnswer(input);
    for (const CddbMatch& match : query.matches) {
        // Category and id go into the next URL.
        if (!isCddbCategoryWord(match.category) || !isCddbDiscIdWord(match.discId))
            return QStringLiteral("a match whose category or id is not a plain word");
        if (hasControl(match.artist) || hasControl(match.title))
            return QStringLiteral("a match carries a control character");
    }
    if (!query.outcome.ok() && !query.matches.isEmpty())
        return QStringLiteral("matches offered from a failed query");
    const int code = query.matchCode();
    if (code == kMatchExact && (query.matches.size() != 1 || !query.matches.first().exact))
        return QStringLiteral("an exact match code without one exact match");

    const CddbReadResult read = parseCddbReadAnswer(input, QStringLiteral("rock"));
    if (read.outcome.ok()) {
        if (QString problem = checkDisc(read.disc); !problem.isEmpty())
            return problem;
        if (read.disc.category != QLatin1String("rock"))
            return QStringLiteral("a read answer changed the category");
    }
    parseCddbSubmitAnswer(input);

    // The first line as a table-of-contents text.
    const QStringList lines = cddbBodyLines(input);
    if (!lines.isEmpty()) {
        parseCddbStatusLine(lines.first());
        if (const auto toc = CddbToc::fromTocText(lines.first())) {
            if (!toc->isValid())
                return QStringLiteral("an invalid table of contents accepted");
            QStringList words;
            for (int offset : toc->trackOffsets)
                words.append(QString::number(offset));
            words.append(QString::number(toc->leadOut));
            QList<int> typed;
            for (const QString& w : lines.first().split(QLatin1Char(' '), Qt::SkipEmptyParts))
                typed.append(w.toInt());
            QList<int> kept = toc->trackOffsets;
            kept.append(toc->leadOut);
            if (kept != typed)
                return QStringLiteral("the table of contents lost or changed offsets");
            // The query command carries only plain words.
            for (const QString& w : cddbQueryCommand(*toc).split(QLatin1Char(' '))) {
                if (w.isEmpty() || hasControl(w))
                    return QStringLiteral("a query command with an empty or odd word");
            }
        }
    }
    return {};
}

QString fuzzXmcd(const QByteArray& input, const QString&) {
    CddbDisc disc;
    disc.category = QStringLiteral("misc");
    if (!parseXmcd(input, &disc))
        return {};
    if (QString problem = checkDisc(disc); !problem.isEmpty())
        return problem;

    // Submitted and read back, the record says the same.
    CddbToc toc;
    for (int i = 0; i < disc.trackTitles.size(); ++i)
        toc.trackOffsets.append(disc.frameOffsets.value(i, 150 + 1000 * i));
    toc.leadOut = disc.lengthSeconds * 75;
    toc.discId = disc.discIds.isEmpty() ? QStringLiteral("0a0b0c0d") : disc.discIds.first();
    const QByteArray built = buildXmcd(disc, toc, nextXmcdRevision(disc));
    CddbDisc again;
    QString error;
    if (!parseXmcd(built, &again, &error))
        return QStringLiteral("a built record does not parse: ") + error;
    QStringList ids = disc.discIds;
    if (ids.isEmpty())
        ids.append(toc.discId);
    if (again.discIds != ids)
        return QStringLiteral("disc ids differ after a round trip");
    if (again.dtitle() != disc.dtitle())
        return QStringLiteral("the disc title differs after a round trip");
    if (again.year != disc.year || again.genre != disc.genre ||
        again.extendedData != disc.extendedData || again.playOrder != disc.playOrder)
        return QStringLiteral("a disc field differs after a round trip");
    if (again.trackTitles != disc.trackTitles || again.trackExtendedData != disc.trackExtendedData)
        return QStringLiteral("track fields differ after a round trip");
    if (again.revision != nextXmcdRevision(disc) || again.frameOffsets != toc.trackOffsets)
        return QStringLiteral("the comment block differs after a round trip");
    for (const QByteArray& line : built.split('\n')) {
        if (line.size() > kXmcdMaxLineBytes)
            return QStringLiteral("a built record line is longer than the protocol allows");
    }
    return {};
}

QString fuzzMusicBrainz(const QByteArray& input, const QString&) {
    static const MbDiscId disc =
        *mbDiscId(*CddbToc::fromTocText(QStringLiteral("150 14287 31587")));
    for (const bool exact : {true, false}) {
        const MbReply reply = parseMbReply(input, disc, exact);
        if (!reply.outcome.ok() && !reply.candidates.isEmpty())
            return QStringLiteral("candidates offered from a reply that was refused");
        bool inexactSeen = false;
        for (const MbCandidate& c : reply.candidates) {
            if (c.exact && !exact)
                return QStringLiteral("an exact candidate from the fuzzy lookup");
            if (c.exact && inexactSeen)
                return QStringLiteral("an exact candidate after an inexact one");
            inexactSeen = inexactSeen || !c.exact;
            const CddbDisc d = c.toDisc();
            const CddbMatch m = c.toMatch();
            if (anyControl({d.artist, d.title, d.year, m.details, m.discId}) ||
                anyControl(d.trackTitles))
                return QStringLiteral("a candidate carries a control character");
            if (d.trackTitles.size() > kXmcdMaxTracks)
                return QStringLiteral("more track titles than a disc holds");
        }
    }
    return {};
}

} // namespace tf::fuzz
