#include "lookup/offlinedb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tf {

namespace {

CddbOutcome failed(CddbResultCode code, const QString& message) {
    return CddbOutcome::failure(code, message);
}

} // namespace

bool OfflineCddb::isUsable() const {
    const QFileInfo info(m_folder);
    return !m_folder.isEmpty() && info.isDir() && info.isReadable();
}

CddbOutcome OfflineCddb::load(const QString& category, const QString& discId,
                              CddbDisc* disc) const {
    if (!isCddbCategoryWord(category) || !isCddbDiscIdWord(discId))
        return failed(CddbResultCode::BadRequest,
                      QStringLiteral("The CDDB entry to read is not valid."));
    // Both names are plain words, so the path cannot leave the folder.
    const QString path =
        m_folder + QLatin1Char('/') + category + QLatin1Char('/') + discId.toLower();
    const QFileInfo info(path);
    if (!info.isFile())
        return failed(CddbResultCode::NoMatch,
                      QStringLiteral("The offline CDDB database has no entry %1/%2.")
                          .arg(category, discId.toLower()));
    QFile file(path);
    if (info.size() > kCddbMaxResponseBytes || !file.open(QIODevice::ReadOnly))
        return failed(CddbResultCode::BadResponse,
                      QStringLiteral("The offline CDDB entry %1 cannot be read.").arg(path));
    const QByteArray bytes = file.read(kCddbMaxResponseBytes + 1);
    if (bytes.size() > kCddbMaxResponseBytes)
        return failed(
            CddbResultCode::BadResponse,
            QStringLiteral("The offline CDDB entry %1 is far larger than a disc entry.").arg(path));
    QString error;
    CddbDisc parsed;
    if (!parseXmcd(bytes, &parsed, &error))
        return failed(CddbResultCode::BadResponse,
                      QStringLiteral("The offline CDDB entry %1 is damaged: %2").arg(path, error));
    // A record filed under an id it does not carry is misfiled: not this disc's.
    if (!parsed.discIds.contains(discId.toLower(), Qt::CaseInsensitive))
        return failed(CddbResultCode::BadResponse,
                      QStringLiteral("The offline CDDB entry %1 is for another disc.").arg(path));
    parsed.category = category;
    *disc = parsed;
    return {};
}

CddbQueryResult OfflineCddb::query(const CddbToc& toc) const {
    CddbQueryResult result;
    result.outcome = failed(CddbResultCode::NoMatch,
                            QStringLiteral("The offline CDDB database does not know this disc."));
    if (!toc.isValid() || !isCddbDiscIdWord(toc.discId) || !isUsable())
        return result;

    const QStringList categories =
        QDir(m_folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable, QDir::Name);
    for (const QString& category : categories) {
        if (!isCddbCategoryWord(category))
            continue; // not a category folder: never looked into
        CddbDisc disc;
        if (!load(category, toc.discId, &disc).ok())
            continue;
        const bool hasOffsets = !disc.frameOffsets.isEmpty();
        const int tracks =
            hasOffsets ? int(disc.frameOffsets.size()) : int(disc.trackTitles.size());
        if (tracks != toc.trackCount())
            continue;
        CddbMatch match;
        match.category = category;
        match.discId = toc.discId.toLower();
        match.artist = disc.artist;
        match.title = disc.title;
        match.exact = !hasOffsets || disc.frameOffsets == toc.trackOffsets;
        result.matches.append(match);
    }
    if (!result.matches.isEmpty())
        result.outcome = {};
    return result;
}

CddbReadResult OfflineCddb::read(const QString& category, const QString& discId) const {
    CddbReadResult result;
    result.outcome = load(category, discId, &result.disc);
    if (!result.outcome.ok())
        result.disc.category = category;
    return result;
}

} // namespace tf
