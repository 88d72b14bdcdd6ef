#pragma once

// The title index: every disc and track title the library knows, searchable as the user types.
//
// Matching folds case, accents and punctuation away ("beyonce" finds "Beyoncé", "ac dc" finds
// "AC/DC"); a result must contain every typed word. A disc result needs every word in one of
// its disc titles. A track result needs at least one word in the track's title; the other
// words may sit in the disc's titles ("beyonce halo" finds the track "Halo" on a Beyoncé
// disc), so that a disc-wide word alone does not list every track of that disc.
//
// Ranking: the more words that match a whole word or the start of a word, the earlier;
// then disc results before track results; then slot and track order.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace tf::search {

// Lower case, accents stripped, ß/æ/œ/ø and the like spelled out in plain letters,
// apostrophes dropped, every other non-letter non-digit a word break; words joined by one
// blank, no blank at either end.
QString fold(const QString& text);

// The titles one disc contributes. Several copies of a title (the full-length title and the
// changer's 25-character memory title) are all searched; the first non-empty one is shown.
struct DiscTexts {
    struct Track {
        int number = 0;
        QStringList titles;
    };
    int slot = 0;
    QStringList discTitles;
    QList<Track> tracks;
};

struct Hit {
    int slot = 0;
    int track = 0; // 0: the disc itself
    QString discTitle;
    QString trackTitle;
    int quality = 0; // 2 per whole-word match, 1 per word-start match

    bool isDisc() const { return track == 0; }
};

class TitleIndex {
public:
    // Replaces everything known about texts.slot; a disc without any title is removed.
    void setDisc(const DiscTexts& texts);
    void removeDisc(int slot);
    void clear() { m_discs.clear(); }

    int discCount() const { return int(m_discs.size()); }
    int trackCount() const;

    // The results for the typed text, best first, at most `limit`. No words: no results.
    QList<Hit> query(const QString& typed, int limit = 500) const;

private:
    struct Text {
        QString shown;
        QString folded; // " w1 w2 ... " with a blank at both ends
    };
    struct TrackEntry {
        int number = 0;
        QList<Text> titles;
    };
    struct DiscEntry {
        QString all; // every folded text of the disc, for a quick "not here at all"
        QList<Text> titles;
        QList<TrackEntry> tracks;
    };
    QMap<int, DiscEntry> m_discs;
};

// What the data folder holds for one disc: the per-disc file DISC<n>.txt (or the DISC<n>.tmp
// saved while the disc's identifier was unknown; CD TEXT and lookups land in the same file)
// and the disc title of the disc list tempdisc.txt (the changer's memory title when the disc
// has no file). `listTitle` is that title, empty when there is none.
DiscTexts readDiscTexts(const QString& dataDir, int slot, const QString& listTitle);

// Every disc of the data folder, ascending slot.
QList<DiscTexts> readLibraryTexts(const QString& dataDir);

// The disc list's title of one slot ("" when the list or the slot's record is missing or the
// slot is listed as unknown).
QString discListTitle(const QString& dataDir, int slot);

} // namespace tf::search
