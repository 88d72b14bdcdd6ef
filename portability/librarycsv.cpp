#include "portability/librarycsv.h"

namespace tf::library {

namespace {

const QStringList kColumns{QStringLiteral("record"),
                           QStringLiteral("slot"),
                           QStringLiteral("disc_id"),
                           QStringLiteral("min_tno"),
                           QStringLiteral("max_tno"),
                           QStringLiteral("info"),
                           QStringLiteral("user_file_byte"),
                           QStringLiteral("music_type"),
                           QStringLiteral("toc"),
                           QStringLiteral("title_disc_id"),
                           QStringLiteral("title_min_tno"),
                           QStringLiteral("title_max_tno"),
                           QStringLiteral("track_count"),
                           QStringLiteral("disc_title"),
                           QStringLiteral("track_titles")};
enum Column {
    kRecord,
    kSlot,
    kDiscId,
    kMinTno,
    kMaxTno,
    kInfo,
    kUserFileByte,
    kMusicType,
    kToc,
    kTitleDiscId,
    kTitleMinTno,
    kTitleMaxTno,
    kTrackCount,
    kDiscTitle,
    kTrackTitles,
    kColumnCount
};

QString field(const QString& text) {
    static const QString special = QStringLiteral(",\"\r\n");
    bool quote = text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' '));
    for (const QChar c : text)
        quote = quote || special.contains(c);
    if (!quote)
        return text;
    QString out = text;
    out.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QString row(const QStringList& values) {
    QStringList fields;
    for (const QString& v : values)
        fields.append(field(v));
    return fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

struct Row {
    int line = 0; // where the row starts
    QStringList fields;
};

// Splits RFC 4180 text into rows; nullopt with *error for a quote left open or text after a
// closing quote.
std::optional<QList<Row>> splitRows(const QString& text, QString* error) {
    QList<Row> rows;
    Row current{1, {}};
    QString value;
    int line = 1;
    bool inQuotes = false;
    bool quoted = false; // the field was quoted and its closing quote has been read
    const auto endField = [&] {
        current.fields.append(value);
        value.clear();
        quoted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    value += c;
                    ++i;
                } else {
                    inQuotes = false;
                    quoted = true;
                }
            } else {
                if (c == QLatin1Char('\n'))
                    ++line;
                value += c;
            }
            continue;
        }
        if (c == QLatin1Char(',')) {
            endField();
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() &&
                text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            endField();
            rows.append(current);
            ++line;
            current = Row{line, {}};
        } else if (c == QLatin1Char('"') && value.isEmpty() && !quoted) {
            inQuotes = true;
        } else if (quoted) {
            if (error)
                *error = QStringLiteral("line %1: text after a closing quote").arg(line);
            return std::nullopt;
        } else {
            value += c;
        }
    }
    if (inQuotes) {
        if (error)
            *error = QStringLiteral("line %1: a quoted field is never closed").arg(current.line);
        return std::nullopt;
    }
    if (!value.isEmpty() || quoted || !current.fields.isEmpty()) {
        endField();
        rows.append(current);
    }
    return rows;
}

struct RowError {
    QString text;
};

class RowReader {
public:
    explicit RowReader(const Row& row) : m_row(row) {}

    [[noreturn]] void fail(int column, const QString& what) const {
        throw RowError{QStringLiteral("line %1, column %2: %3")
                           .arg(m_row.line)
                           .arg(kColumns.at(column), what)};
    }
    const QString& text(int column) const { return m_row.fields.at(column); }
    bool empty(int column) const { return text(column).isEmpty(); }
    // Fields that only count together with `key` must be empty when it is.
    void requireEmpty(int first, int last, int key) const {
        for (int c = first; c <= last; ++c) {
            if (c != key && !empty(c))
                fail(c, QStringLiteral("a value where %1 is empty").arg(kColumns.at(key)));
        }
    }
    int number(int column) const {
        bool ok = false;
        const int v = text(column).toInt(&ok);
        if (!ok)
            fail(column, QStringLiteral("\"%1\" is not a whole number").arg(text(column)));
        return v;
    }

private:
    const Row& m_row;
};

MasterPart readMaster(const RowReader& r) {
    MasterPart m;
    const auto id = parseDiscIdText(r.text(kDiscId));
    if (!id || r.text(kDiscId).trimmed() != r.text(kDiscId))
        r.fail(kDiscId, QStringLiteral("not 8 hexadecimal digits"));
    m.id = *id;
    m.minTno = r.number(kMinTno);
    m.maxTno = r.number(kMaxTno);
    m.info = r.number(kInfo);
    m.userFileByte = r.number(kUserFileByte);
    m.musicType = r.number(kMusicType);
    const QStringList entries = r.text(kToc).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& e : entries) {
        const auto entry = parseTocEntry(e);
        if (!entry)
            r.fail(kToc, QStringLiteral("\"%1\" is not MM:SS:FF").arg(e));
        m.toc.append(*entry);
    }
    return m;
}

TitlePart readTitles(const RowReader& r) {
    TitlePart t;
    t.idText = r.text(kTitleDiscId).toLower();
    t.minTno = r.number(kTitleMinTno);
    t.maxTno = r.number(kTitleMaxTno);
    const int count = r.number(kTrackCount);
    t.discTitle = r.text(kDiscTitle);
    if (count > 0)
        t.trackTitles = r.text(kTrackTitles).split(QLatin1Char('\n'));
    else if (!r.empty(kTrackTitles))
        r.fail(kTrackTitles, QStringLiteral("titles where track_count is 0"));
    if (t.trackTitles.size() != count)
        r.fail(kTrackTitles, QStringLiteral("%1 titles where track_count is %2")
                                 .arg(t.trackTitles.size())
                                 .arg(count));
    return t;
}

} // namespace

QByteArray toCsv(const Library& library) {
    QString out = row(kColumns);
    if (library.userFileNames) {
        for (int k = 0; k < library.userFileNames->size(); ++k) {
            QStringList values(kColumnCount);
            values[kRecord] = QStringLiteral("userfile");
            values[kSlot] = QString::number(k + 1);
            values[kDiscTitle] = library.userFileNames->at(k);
            out += row(values);
        }
    }
    for (const Disc& disc : library.discs) {
        QStringList values(kColumnCount);
        values[kRecord] = QStringLiteral("disc");
        values[kSlot] = QString::number(disc.slot);
        if (const auto& m = disc.master) {
            values[kDiscId] = discIdText(m->id);
            values[kMinTno] = QString::number(m->minTno);
            values[kMaxTno] = QString::number(m->maxTno);
            values[kInfo] = QString::number(m->info);
            values[kUserFileByte] = QString::number(m->userFileByte);
            values[kMusicType] = QString::number(m->musicType);
            QStringList toc;
            for (const TocTime& t : m->toc)
                toc.append(tocEntryText(t));
            values[kToc] = toc.join(QLatin1Char(' '));
        }
        if (const auto& t = disc.titles) {
            values[kTitleDiscId] = t->idText;
            values[kTitleMinTno] = QString::number(t->minTno);
            values[kTitleMaxTno] = QString::number(t->maxTno);
            values[kTrackCount] = QString::number(t->trackTitles.size());
            values[kDiscTitle] = t->discTitle;
            values[kTrackTitles] = t->trackTitles.join(QLatin1Char('\n'));
        }
        out += row(values);
    }
    return out.toUtf8();
}

std::optional<Library> fromCsv(const QByteArray& bytes, QString* error) {
    const auto rows = splitRows(QString::fromUtf8(bytes), error);
    if (!rows)
        return std::nullopt;
    if (rows->isEmpty() || rows->first().fields != kColumns) {
        if (error)
            *error = QStringLiteral("line 1: the header is not \"%1\"").arg(kColumns.join(','));
        return std::nullopt;
    }
    Library library;
    QStringList names;
    try {
        for (qsizetype i = 1; i < rows->size(); ++i) {
            const Row& row = rows->at(i);
            if (row.fields.size() == 1 && row.fields.first().isEmpty())
                continue; // an empty line
            if (row.fields.size() != kColumnCount) {
                if (error)
                    *error = QStringLiteral("line %1: %2 fields where there must be %3")
                                 .arg(row.line)
                                 .arg(row.fields.size())
                                 .arg(kColumnCount);
                return std::nullopt;
            }
            const RowReader r(row);
            const int slot = r.number(kSlot);
            if (r.text(kRecord) == QLatin1String("userfile")) {
                if (slot != names.size() + 1)
                    r.fail(kSlot, QStringLiteral("user file %1 where %2 comes next")
                                      .arg(slot)
                                      .arg(names.size() + 1));
                names.append(r.text(kDiscTitle));
                continue;
            }
            if (r.text(kRecord) != QLatin1String("disc"))
                r.fail(kRecord,
                       QStringLiteral("\"%1\" is neither disc nor userfile").arg(r.text(kRecord)));
            Disc disc;
            disc.slot = slot;
            if (!r.empty(kDiscId))
                disc.master = readMaster(r);
            else
                r.requireEmpty(kMinTno, kToc, kDiscId);
            if (!r.empty(kTitleMinTno))
                disc.titles = readTitles(r);
            else
                r.requireEmpty(kTitleDiscId, kTrackTitles, kTitleMinTno);
            library.discs.append(disc);
        }
    } catch (const RowError& e) {
        if (error)
            *error = e.text;
        return std::nullopt;
    }
    if (!names.isEmpty())
        library.userFileNames = names;
    return library;
}

} // namespace tf::library
