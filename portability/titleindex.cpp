#include "portability/titleindex.h"

#include "store/discfile.h"
#include "store/disclist.h"
#include "store/storefiles.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace tf::search {

namespace {

// Letters that no decomposition takes apart: spelled as the letters they are read as.
QString specialLetter(char16_t c) {
    switch (c) {
    case u'ß':
        return QStringLiteral("ss");
    case u'æ':
    case u'Æ':
        return QStringLiteral("ae");
    case u'œ':
    case u'Œ':
        return QStringLiteral("oe");
    case u'ø':
    case u'Ø':
        return QStringLiteral("o");
    case u'ð':
    case u'Ð':
    case u'đ':
    case u'Đ':
        return QStringLiteral("d");
    case u'þ':
    case u'Þ':
        return QStringLiteral("th");
    case u'ł':
    case u'Ł':
        return QStringLiteral("l");
    case u'ı':
        return QStringLiteral("i");
    default:
        return {};
    }
}

bool isApostrophe(char16_t c) {
    return c == u'\'' || c == u'`' || c == u'\u2019' || c == u'\u2018' || c == u'\u00B4';
}

// Appends the folded form of one character; `gap` asks for a word break before the next
// letter. Decompositions are folded again, so "ǖ" loses both of its marks.
void foldChar(QChar c, QString& out, bool& gap, int depth = 0) {
    const char16_t u = c.unicode();
    const auto letter = [&](QChar l) {
        if (gap && !out.isEmpty())
            out += QLatin1Char(' ');
        gap = false;
        out += l;
    };
    if (u < 128) {
        if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9'))
            letter(c);
        else if (u >= 'A' && u <= 'Z')
            letter(QChar(u + 32));
        else if (!isApostrophe(u))
            gap = true;
        return;
    }
    if (isApostrophe(u))
        return;
    if (c.category() == QChar::Mark_NonSpacing || c.category() == QChar::Mark_SpacingCombining ||
        c.category() == QChar::Mark_Enclosing)
        return;
    if (const QString special = specialLetter(u); !special.isEmpty()) {
        for (const QChar s : special)
            letter(s);
        return;
    }
    const QString decomposed = c.decomposition();
    if (!decomposed.isEmpty() && depth < 3) {
        for (const QChar d : decomposed)
            foldChar(d, out, gap, depth + 1);
        return;
    }
    if (c.isLetterOrNumber())
        letter(c.toLower());
    else
        gap = true;
}

QStringList words(const QString& folded) {
    return folded.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// 2: the word stands whole in the text; 1: a word of the text starts with it; 0: inside a
// word; -1: absent. `text` is folded with a blank at both ends, so the characters around an
// occurrence always exist.
int wordQuality(const QString& text, const QString& word) {
    int best = -1;
    for (qsizetype at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + 1)) {
        if (text.at(at - 1) != QLatin1Char(' ')) {
            best = std::max(best, 0);
            continue;
        }
        if (text.at(at + word.size()) == QLatin1Char(' '))
            return 2;
        best = 1;
    }
    return best;
}

// The best quality of `word` over several texts, -1 when none holds it.
template <typename Texts> int bestQuality(const Texts& texts, const QString& word) {
    int best = -1;
    for (const auto& t : texts) {
        best = std::max(best, wordQuality(t.folded, word));
        if (best == 2)
            break;
    }
    return best;
}

template <typename Texts> QString firstShown(const Texts& texts) {
    for (const auto& t : texts)
        if (!t.shown.isEmpty())
            return t.shown;
    return {};
}

bool isPlaceholder(const QString& title) {
    const QString t = title.trimmed();
    return t.isEmpty() || t == QLatin1String(disclist::kUnknownDisc) ||
           t == QLatin1String("* NO DISC *") || t == QLatin1String("* NO TITLE *");
}

} // namespace

QString fold(const QString& text) {
    const bool ascii =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 128; });
    if (ascii) {
        // Most titles: a straight copy into a buffer that can only shrink.
        QString out(text.size(), Qt::Uninitialized);
        char16_t* d = reinterpret_cast<char16_t*>(out.data());
        qsizetype n = 0;
        bool gap = false;
        for (const QChar c : text) {
            char16_t u = c.unicode();
            if (u >= 'A' && u <= 'Z')
                u = char16_t(u + 32);
            if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')) {
                if (gap && n > 0)
                    d[n++] = u' ';
                gap = false;
                d[n++] = u;
            } else if (!isApostrophe(u)) {
                gap = true;
            }
        }
        out.truncate(n);
        return out;
    }
    QString out;
    out.reserve(text.size());
    bool gap = false;
    for (const QChar c : text)
        foldChar(c, out, gap);
    return out;
}

void TitleIndex::setDisc(const DiscTexts& texts) {
    qsizetype allSize = 0;
    const auto makeTexts = [&allSize](const QStringList& titles) {
        QList<Text> result;
        result.reserve(titles.size());
        for (const QString& title : titles) {
            const QString folded = fold(title);
            if (folded.isEmpty())
                continue;
            QString spaced;
            spaced.reserve(folded.size() + 2);
            spaced.append(QLatin1Char(' ')).append(folded).append(QLatin1Char(' '));
            const bool seen = std::any_of(result.cbegin(), result.cend(),
                                          [&](const Text& t) { return t.folded == spaced; });
            if (!seen) {
                allSize += spaced.size();
                result.append(Text{title, std::move(spaced)});
            }
        }
        return result;
    };
    DiscEntry entry;
    entry.titles = makeTexts(texts.discTitles);
    entry.tracks.reserve(texts.tracks.size());
    for (const DiscTexts::Track& track : texts.tracks) {
        TrackEntry t{track.number, makeTexts(track.titles)};
        if (!t.titles.isEmpty())
            entry.tracks.append(std::move(t));
    }
    if (entry.titles.isEmpty() && entry.tracks.isEmpty()) {
        m_discs.remove(texts.slot);
        return;
    }
    entry.all.reserve(allSize);
    for (const Text& t : std::as_const(entry.titles))
        entry.all += t.folded;
    for (const TrackEntry& t : std::as_const(entry.tracks))
        for (const Text& title : t.titles)
            entry.all += title.folded;
    m_discs.insert(texts.slot, std::move(entry));
}

void TitleIndex::removeDisc(int slot) {
    m_discs.remove(slot);
}

int TitleIndex::trackCount() const {
    int n = 0;
    for (const DiscEntry& d : m_discs)
        n += int(d.tracks.size());
    return n;
}

QList<Hit> TitleIndex::query(const QString& typed, int limit) const {
    QStringList query = words(fold(typed));
    query.removeDuplicates();
    if (query.isEmpty())
        return {};
    // Found first, materialised last: only the results that survive the limit are copied.
    struct Found {
        int quality;
        int slot;
        const DiscEntry* disc;
        const TrackEntry* track;
    };
    QList<Found> found;
    QList<int> discQuality(query.size());
    for (auto it = m_discs.cbegin(); it != m_discs.cend(); ++it) {
        const DiscEntry& disc = it.value();
        // Most discs lack one of the words altogether: one scan of all their text says so.
        if (std::any_of(query.cbegin(), query.cend(),
                        [&](const QString& w) { return !disc.all.contains(w); }))
            continue;
        bool discMatches = true;
        int discSum = 0;
        for (qsizetype i = 0; i < query.size(); ++i) {
            discQuality[i] = bestQuality(disc.titles, query.at(i));
            discMatches = discMatches && discQuality[i] >= 0;
            discSum += std::max(discQuality[i], 0);
        }
        if (discMatches)
            found.append(Found{discSum, it.key(), &disc, nullptr});
        for (const TrackEntry& track : disc.tracks) {
            bool all = true;
            bool ownWord = false;
            int sum = 0;
            for (qsizetype i = 0; i < query.size() && all; ++i) {
                // A word of the track's own title counts as it stands there.
                const int own = bestQuality(track.titles, query.at(i));
                const int q = own >= 0 ? own : discQuality[i];
                ownWord = ownWord || own >= 0;
                all = q >= 0;
                sum += std::max(q, 0);
            }
            if (all && ownWord)
                found.append(Found{sum, it.key(), &disc, &track});
        }
    }
    const auto better = [](const Found& a, const Found& b) {
        if (a.quality != b.quality)
            return a.quality > b.quality;
        return !a.track && b.track;
    };
    const qsizetype kept = std::min<qsizetype>(found.size(), limit);
    std::stable_sort(found.begin(), found.end(), better);
    QList<Hit> hits;
    hits.reserve(kept);
    for (qsizetype i = 0; i < kept; ++i) {
        const Found& f = found.at(i);
        hits.append(Hit{f.slot, f.track ? f.track->number : 0, firstShown(f.disc->titles),
                        f.track ? firstShown(f.track->titles) : QString(), f.quality});
    }
    return hits;
}

DiscTexts readDiscTexts(const QString& dataDir, int slot, const QString& listTitle) {
    DiscTexts texts;
    texts.slot = slot;
    auto content = discfile::readDiscFile(storefiles::inFolder(dataDir, discfile::fileName(slot)));
    if (!content)
        content =
            discfile::readDiscFile(storefiles::inFolder(dataDir, discfile::scratchFileName(slot)));
    if (content) {
        if (content->hasDiscTitle)
            texts.discTitles.append(content->discTitle);
        const int first = content->numbers.minTno > 0 ? content->numbers.minTno : 1;
        for (int i = 0; i < content->trackTitles.size() && first + i <= 99; ++i)
            texts.tracks.append(DiscTexts::Track{first + i, {content->trackTitles.at(i)}});
    }
    if (!isPlaceholder(listTitle))
        texts.discTitles.append(listTitle);
    return texts;
}

QList<DiscTexts> readLibraryTexts(const QString& dataDir) {
    QMap<int, QString> listTitles;
    if (const auto entries = disclist::read(dataDir)) {
        for (const disclist::Entry& e : *entries)
            if (!listTitles.contains(e.slot))
                listTitles.insert(e.slot, e.title);
    }
    QList<int> slotNumbers = listTitles.keys();
    static const QRegularExpression name(QStringLiteral("^DISC([1-9][0-9]{0,2})\\.(txt|tmp)$"));
    const QStringList files = QDir(dataDir).entryList({QStringLiteral("DISC*")}, QDir::Files);
    for (const QString& file : files) {
        const auto m = name.match(file);
        if (m.hasMatch() && !slotNumbers.contains(m.captured(1).toInt()))
            slotNumbers.append(m.captured(1).toInt());
    }
    std::sort(slotNumbers.begin(), slotNumbers.end());
    QList<DiscTexts> result;
    for (const int slot : slotNumbers) {
        if (slot < 1 || slot > disclist::kSlotCount)
            continue;
        DiscTexts texts = readDiscTexts(dataDir, slot, listTitles.value(slot));
        if (!texts.discTitles.isEmpty() || !texts.tracks.isEmpty())
            result.append(texts);
    }
    return result;
}

QString discListTitle(const QString& dataDir, int slot) {
    if (const auto entries = disclist::read(dataDir)) {
        for (const disclist::Entry& e : *entries)
            if (e.slot == slot)
                return isPlaceholder(e.title) ? QString() : e.title;
    }
    return {};
}

} // namespace tf::search
