#include "lookup/xmcd.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace tf {

namespace {

// \n and \t stand for a line break and a tab; neither may reach a title file, so both read
// as a blank. \\ is a backslash; any other backslash is kept as it stands.
QString decodeEscapes(const QString& raw) {
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c == QLatin1Char('\\') && i + 1 < raw.size()) {
            const QChar next = raw.at(i + 1);
            if (next == QLatin1Char('n') || next == QLatin1Char('t')) {
                out += QLatin1Char(' ');
                ++i;
                continue;
            }
            if (next == QLatin1Char('\\')) {
                out += QLatin1Char('\\');
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString cleanValue(const QString& raw) {
    return sanitizeCddbText(decodeEscapes(raw)).trimmed();
}

// The index of "TTITLE12" / "EXTT12" after `prefix`, or -1.
int keyIndex(const QString& key, QLatin1String prefix) {
    if (!key.startsWith(prefix) || key.size() == prefix.size() || key.size() > prefix.size() + 3)
        return -1;
    bool ok = false;
    const int n = key.mid(prefix.size()).toInt(&ok);
    return ok && n >= 0 ? n : -1;
}

QString escapeValue(const QString& value) {
    QString out;
    for (QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            continue;
        else
            out += sanitizeCddbText(QString(c));
    }
    return out;
}

// KEY=value lines of at most kXmcdMaxLineBytes bytes; an escape or a surrogate pair is
// never cut in two.
void appendField(QByteArray* out, const QString& key, const QString& value) {
    const QString escaped = escapeValue(value);
    const QByteArray head = key.toUtf8() + '=';
    QByteArray line = head;
    bool wroteOne = false;
    for (qsizetype i = 0; i < escaped.size();) {
        qsizetype len = 1;
        if (escaped.at(i) == QLatin1Char('\\') && i + 1 < escaped.size())
            len = 2;
        else if (escaped.at(i).isHighSurrogate() && i + 1 < escaped.size())
            len = 2;
        const QByteArray piece = escaped.mid(i, len).toUtf8();
        if (line.size() + piece.size() + 1 > kXmcdMaxLineBytes && line.size() > head.size()) {
            out->append(line + '\n');
            wroteOne = true;
            line = head;
        }
        line += piece;
        i += len;
    }
    if (!wroteOne || line.size() > head.size())
        out->append(line + '\n');
}

} // namespace

QString CddbDisc::dtitle() const {
    // A DTITLE without " / " names artist and title at once; written back as "X / X" a title
    // that itself ends in " /" would split differently when read again.
    if (artist.isEmpty() || artist == title)
        return title;
    return artist + QLatin1String(" / ") + title;
}

CddbDisc CddbDisc::fromToc(const CddbToc& toc) {
    CddbDisc disc;
    disc.discIds = {toc.discId};
    disc.frameOffsets = toc.trackOffsets;
    disc.lengthSeconds = toc.lengthSeconds();
    for (int i = 0; i < toc.trackCount(); ++i) {
        disc.trackTitles.append(QString());
        disc.trackExtendedData.append(QString());
    }
    return disc;
}

bool parseXmcd(const QByteArray& bytes, CddbDisc* disc, QString* error) {
    return parseXmcd(cddbBodyLines(bytes), disc, error);
}

bool parseXmcd(const QStringList& lines, CddbDisc* disc, QString* error) {
    static const QRegularExpression numberComment(QStringLiteral("^#\\s*(\\d{1,7})\\s*$"));
    static const QRegularExpression lengthComment(
        QStringLiteral("^#\\s*Disc length:\\s*(\\d{1,7})"));
    static const QRegularExpression revisionComment(
        QStringLiteral("^#\\s*Revision:\\s*(\\d{1,9})"));

    CddbDisc result;
    result.category = disc->category;
    QHash<QString, QString> raw;
    QList<QString> titles(kXmcdMaxTracks);
    QList<QString> extt(kXmcdMaxTracks);
    int trackCount = 0;
    bool inOffsets = false;

    for (const QString& line : lines) {
        if (line == QLatin1String("."))
            break;
        if (line.startsWith(QLatin1Char('#'))) {
            if (line.contains(QLatin1String("Track frame offsets"))) {
                inOffsets = true;
                continue;
            }
            const auto number = numberComment.match(line);
            if (inOffsets && number.hasMatch()) {
                if (result.frameOffsets.size() < kXmcdMaxTracks)
                    result.frameOffsets.append(number.captured(1).toInt());
                continue;
            }
            inOffsets = false;
            if (const auto m = lengthComment.match(line); m.hasMatch())
                result.lengthSeconds = m.captured(1).toInt();
            else if (const auto r = revisionComment.match(line); r.hasMatch())
                result.revision = r.captured(1).toInt();
            continue;
        }
        inOffsets = false;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1);
        if (int n = keyIndex(key, QLatin1String("TTITLE")); n >= 0) {
            if (n < kXmcdMaxTracks) {
                titles[n] += value;
                trackCount = std::max(trackCount, n + 1);
            }
        } else if (int e = keyIndex(key, QLatin1String("EXTT")); e >= 0) {
            if (e < kXmcdMaxTracks)
                extt[e] += value;
        } else {
            raw[key] += value;
        }
    }

    if (!raw.contains(QStringLiteral("DISCID"))) {
        if (error)
            *error = QStringLiteral("The CDDB record has no DISCID line.");
        return false;
    }
    if (!raw.contains(QStringLiteral("DTITLE"))) {
        if (error)
            *error = QStringLiteral("The CDDB record has no DTITLE line.");
        return false;
    }
    for (const QString& id : raw.value(QStringLiteral("DISCID")).split(QLatin1Char(','))) {
        const QString word = id.trimmed().toLower();
        if (isCddbDiscIdWord(word) && !result.discIds.contains(word))
            result.discIds.append(word);
    }
    splitCddbTitle(cleanValue(raw.value(QStringLiteral("DTITLE"))), &result.artist, &result.title);
    result.year = cleanValue(raw.value(QStringLiteral("DYEAR")));
    result.genre = cleanValue(raw.value(QStringLiteral("DGENRE")));
    result.extendedData = cleanValue(raw.value(QStringLiteral("EXTD")));
    result.playOrder = cleanValue(raw.value(QStringLiteral("PLAYORDER")));
    trackCount = std::max(trackCount, static_cast<int>(result.frameOffsets.size()));
    for (int i = 0; i < trackCount; ++i) {
        result.trackTitles.append(cleanValue(titles.at(i)));
        result.trackExtendedData.append(cleanValue(extt.at(i)));
    }
    *disc = result;
    return true;
}

QByteArray buildXmcd(const CddbDisc& disc, const CddbToc& toc, int revision) {
    QByteArray out = "# xmcd\n#\n# Track frame offsets:\n";
    for (int offset : toc.trackOffsets)
        out += "#\t" + QByteArray::number(offset) + '\n';
    out += "#\n# Disc length: " + QByteArray::number(toc.lengthSeconds()) + " seconds\n#\n";
    out += "# Revision: " + QByteArray::number(revision) + '\n';
    out += QByteArray("# Submitted via: ") + kCddbClientName + ' ' + kCddbClientVersion + '\n';
    out += "#\n";

    QStringList ids{toc.discId};
    for (const QString& id : disc.discIds) {
        if (isCddbDiscIdWord(id) && !ids.contains(id.toLower()))
            ids.append(id.toLower());
    }
    appendField(&out, QStringLiteral("DISCID"), ids.join(QLatin1Char(',')));
    appendField(&out, QStringLiteral("DTITLE"), disc.dtitle());
    appendField(&out, QStringLiteral("DYEAR"), disc.year);
    appendField(&out, QStringLiteral("DGENRE"), disc.genre);
    for (int i = 0; i < toc.trackCount(); ++i)
        appendField(&out, QStringLiteral("TTITLE%1").arg(i), disc.trackTitles.value(i));
    appendField(&out, QStringLiteral("EXTD"), disc.extendedData);
    for (int i = 0; i < toc.trackCount(); ++i)
        appendField(&out, QStringLiteral("EXTT%1").arg(i), disc.trackExtendedData.value(i));
    appendField(&out, QStringLiteral("PLAYORDER"), disc.playOrder);
    return out;
}

QString xmcdSubmissionProblem(const CddbDisc& disc) {
    if (disc.artist.trimmed().isEmpty())
        return QStringLiteral("The disc has no artist. Enter one before submitting.");
    if (disc.title.trimmed().isEmpty())
        return QStringLiteral("The disc has no title. Enter one before submitting.");
    static const QRegularExpression defaultTitle(QStringLiteral("^\\s*(track\\s*0*\\d+)?\\s*$"),
                                                 QRegularExpression::CaseInsensitiveOption);
    const bool onlyDefaults =
        std::all_of(disc.trackTitles.cbegin(), disc.trackTitles.cend(),
                    [](const QString& t) { return defaultTitle.match(t).hasMatch(); });
    if (onlyDefaults)
        return QStringLiteral("The tracks have no titles of their own. Enter them before "
                              "submitting.");
    return {};
}

} // namespace tf
