#include "lookup/cddbresult.h"

namespace tf {

namespace {

CddbOutcome serverRefused(const CddbStatusLine& status) {
    return CddbOutcome::failure(CddbResultCode::ServerError,
                                QStringLiteral("The CDDB server reported an error: %1 %2")
                                    .arg(status.code)
                                    .arg(status.text),
                                0, status.code);
}

CddbOutcome notProtocol() {
    return CddbOutcome::failure(CddbResultCode::BadResponse,
                                QStringLiteral("The CDDB server sent an answer that could not "
                                               "be understood."));
}

// "rock 0c01a302 Artist / Title"; nullopt for a line whose category or id is not a plain word.
std::optional<CddbMatch> parseMatch(const QString& line, bool exact) {
    const QString clean = sanitizeCddbText(line);
    const qsizetype first = clean.indexOf(QLatin1Char(' '));
    if (first <= 0)
        return std::nullopt;
    const qsizetype second = clean.indexOf(QLatin1Char(' '), first + 1);
    const QString category = clean.left(first);
    const QString discId =
        (second < 0 ? clean.mid(first + 1) : clean.mid(first + 1, second - first - 1));
    if (!isCddbCategoryWord(category) || !isCddbDiscIdWord(discId))
        return std::nullopt;
    CddbMatch match;
    match.category = category;
    match.discId = discId.toLower();
    match.exact = exact;
    splitCddbTitle(second < 0 ? QString() : clean.mid(second + 1), &match.artist, &match.title);
    return match;
}

} // namespace

int CddbQueryResult::matchCode() const {
    if (!outcome.ok() || matches.isEmpty())
        return kMatchNone;
    if (matches.size() == 1 && matches.first().exact)
        return kMatchExact;
    return kMatchSeveral;
}

CddbQueryResult parseCddbQueryAnswer(const QByteArray& body) {
    CddbQueryResult result;
    const QStringList lines = cddbBodyLines(body);
    const auto status = lines.isEmpty() ? std::nullopt : parseCddbStatusLine(lines.first());
    if (!status) {
        result.outcome = notProtocol();
        return result;
    }
    result.outcome.cddbCode = status->code;
    switch (status->code) {
    case 200: {
        const auto match = parseMatch(status->text, true);
        if (!match) {
            result.outcome = notProtocol();
            result.outcome.cddbCode = status->code;
            return result;
        }
        result.matches.append(*match);
        return result;
    }
    case 210:
    case 211: {
        const bool exact = status->code == 210;
        bool terminated = false;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (lines.at(i) == QLatin1String(".")) {
                terminated = true;
                break;
            }
            if (const auto match = parseMatch(lines.at(i), exact))
                result.matches.append(*match);
        }
        if (!terminated) {
            // A list cut short may miss the very disc the user wants: do not offer a part.
            result.matches.clear();
            result.outcome = notProtocol();
            result.outcome.cddbCode = status->code;
        }
        return result;
    }
    case 202:
        result.outcome = CddbOutcome::failure(CddbResultCode::NoMatch,
                                              QStringLiteral("The CDDB database has no entry "
                                                             "for this disc."),
                                              0, status->code);
        return result;
    default:
        result.outcome = status->code >= 400 ? serverRefused(*status) : notProtocol();
        result.outcome.cddbCode = status->code;
        return result;
    }
}

CddbReadResult parseCddbReadAnswer(const QByteArray& body, const QString& category) {
    CddbReadResult result;
    result.disc.category = category;
    QStringList lines = cddbBodyLines(body);
    const auto status = lines.isEmpty() ? std::nullopt : parseCddbStatusLine(lines.first());
    if (!status) {
        result.outcome = notProtocol();
        return result;
    }
    result.outcome.cddbCode = status->code;
    if (status->code == 401) {
        result.outcome = CddbOutcome::failure(CddbResultCode::NoMatch,
                                              QStringLiteral("The CDDB database has no entry "
                                                             "for this disc."),
                                              0, status->code);
        return result;
    }
    if (status->code != 210) {
        result.outcome = status->code >= 400 ? serverRefused(*status) : notProtocol();
        result.outcome.cddbCode = status->code;
        return result;
    }
    lines.removeFirst();
    if (!lines.contains(QStringLiteral("."))) {
        result.outcome = CddbOutcome::failure(CddbResultCode::BadResponse,
                                              QStringLiteral("The CDDB record arrived "
                                                             "incomplete."),
                                              0, status->code);
        return result;
    }
    QString why;
    if (!parseXmcd(lines, &result.disc, &why)) {
        result.outcome = CddbOutcome::failure(CddbResultCode::BadResponse, why, 0, status->code);
        return result;
    }
    return result;
}

CddbOutcome parseCddbSubmitAnswer(const QByteArray& body) {
    const QStringList lines = cddbBodyLines(body);
    const auto status = lines.isEmpty() ? std::nullopt : parseCddbStatusLine(lines.first());
    if (!status)
        return notProtocol();
    if (status->code == 200)
        return CddbOutcome{CddbResultCode::Ok, status->text, 0, status->code};
    if (status->code >= 400)
        return CddbOutcome::failure(CddbResultCode::ServerError,
                                    QStringLiteral("The CDDB server refused the submission: %1 %2")
                                        .arg(status->code)
                                        .arg(status->text),
                                    0, status->code);
    return notProtocol();
}

} // namespace tf
