// Fuzz entries of the title store's readers: per-disc files, the master data file, the disc
// list, the raw title records and the 128-byte record files.

#include "fuzz/fuzzentries.h"

#include "base/codepage.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/disclist.h"
#include "store/recordfile.h"
#include "store/textfile.h"
#include "store/titlerecords.h"
#include "store/userfiles.h"
#include "store/workfiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace tf::fuzz {
namespace {

// Every entry starts from an empty folder, so no input sees the files of the one before.
void emptyFolder(const QString& dir) {
    QDir folder(dir);
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
        folder.remove(name);
}

QString in(const QString& dir, const QString& name) {
    return dir + QLatin1Char('/') + name;
}

// What a line holds after it went through a text file once.
QString stored(const QString& line) {
    return codepage::withoutControls(line);
}

QStringList stored(const QStringList& lines) {
    QStringList out;
    out.reserve(lines.size());
    for (const QString& line : lines)
        out.append(stored(line));
    return out;
}

bool sameRecord(const DiscRecord& a, const DiscRecord& b) {
    return a.identity == b.identity && a.minTno == b.minTno && a.maxTno == b.maxTno &&
           a.toc == b.toc && a.discInfo == b.discInfo && a.userFileByte == b.userFileByte &&
           a.musicType == b.musicType;
}

} // namespace

QString fuzzDiscFile(const QByteArray& input, const QString& dir) {
    emptyFolder(dir);
    const QString path = in(dir, QStringLiteral("DISC7.txt"));
    if (!putFile(dir, QStringLiteral("DISC7.txt"), input))
        return QStringLiteral("cannot write the input file");

    const auto content = discfile::readDiscFile(path);
    if (!content)
        return QStringLiteral("an existing file read as missing");
    const auto title = discfile::readDiscTitle(path);
    if (title.has_value() != content->hasDiscTitle || (title && *title != content->discTitle))
        return QStringLiteral("readDiscTitle and readDiscFile disagree");
    const auto numbers = discfile::readNumbers(path);
    if (!numbers || numbers->discNo != content->numbers.discNo ||
        numbers->minTno != content->numbers.minTno || numbers->maxTno != content->numbers.maxTno)
        return QStringLiteral("readNumbers and readDiscFile disagree");

    // What the editor shows, saved by the editor and read again, is what it showed.
    DiscIdentity identity{8, {0xDE, 0xAD, 0xBE, 0xEF}};
    if (const auto id = parseDiscIdText(content->idText); id && *id != DiscIdBytes{})
        identity.id = *id;
    const QString saved = in(dir, QStringLiteral("DISC8.txt"));
    const discfile::EditorTitles titles{1, content->discTitle, content->trackTitles};
    QString error;
    if (!discfile::writeFromEditor(saved, identity, titles, &error))
        return QStringLiteral("writeFromEditor failed: ") + error;
    const auto again = discfile::readDiscFile(saved);
    if (!again)
        return QStringLiteral("a saved file cannot be read");
    if (again->idText != discIdText(identity.id, true) || again->numbers.discNo != 8 ||
        again->numbers.minTno != 1 || again->numbers.maxTno != content->trackTitles.size())
        return QStringLiteral("the saved file's identifier or numbers differ");
    if (again->discTitle != stored(content->discTitle))
        return QStringLiteral("the saved disc title reads back differently");
    if (again->trackTitles != stored(content->trackTitles))
        return QStringLiteral("the saved track titles read back differently");
    if (discfile::checkId(saved, identity) != discfile::IdCheck::Match)
        return QStringLiteral("a saved file does not match its own identifier");

    // The other writers and movers on the same bytes: they may refuse, never damage.
    discfile::checkId(path, identity);
    if (discfile::park(path) == discfile::ParkResult::Parked) {
        if (QFile::exists(path))
            return QStringLiteral("a parked file is still in place");
        if (const auto id = parseDiscIdText(content->idText))
            discfile::restore(dir, DiscIdentity{7, *id});
    }
    putFile(dir, QStringLiteral("DISC9.tmp"), input);
    discfile::refreshIdentifier(in(dir, QStringLiteral("DISC9.tmp")), DiscIdentity{9, identity.id},
                                1, 12);
    return {};
}

QString fuzzDiscData(const QByteArray& input, const QString& dir) {
    emptyFolder(dir);
    const QStringList lines = textfile::splitLines(input);
    const QList<int> discs = workfiles::discNumbersInMasterFile(lines);
    QSet<int> tried;
    putFile(dir, QStringLiteral("discdata.txt"), input);
    const QString path = in(dir, QStringLiteral("discdata.txt"));
    for (int disc : discs) {
        if (tried.size() >= 4 || tried.contains(disc))
            continue;
        tried.insert(disc);
        const auto record = discdata::readBlock(lines, disc);
        if (!record)
            continue;
        // A block read can be written and read back unchanged, in both number styles.
        for (auto style : {discdata::RangeStyle::Bare, discdata::RangeStyle::Printed}) {
            const auto again = discdata::readBlock(discdata::blockLines(*record, style), disc);
            if (!again || !sameRecord(*record, *again))
                return QStringLiteral("a block does not read back from its own lines");
        }
        // Replacing the block in the file keeps it readable with the same values.
        QString error;
        if (!discdata::replaceBlock(dir, *record, &error))
            return QStringLiteral("replaceBlock failed: ") + error;
        const auto replaced = discdata::readBlock(path, disc);
        if (!replaced || !sameRecord(*record, *replaced))
            return QStringLiteral("a replaced block reads back differently");
    }
    return {};
}

QString fuzzDiscList(const QByteArray& input, const QString& dir) {
    emptyFolder(dir);
    putFile(dir, QStringLiteral("tempdisc.txt"), input);
    const auto entries = disclist::read(dir);
    if (!entries)
        return QStringLiteral("an existing disc list read as missing");
    for (const disclist::Entry& entry : *entries) {
        if (entry.slot < 1 || entry.slot > 999)
            return QStringLiteral("a record with a slot no label can carry");
    }
    const auto selection = disclist::Create_cmbDNO_List(dir, QStringLiteral("  7"));
    if (selection.created || selection.items.size() < entries->size())
        return QStringLiteral("the selection list misses records of the disc list");
    disclist::findSlotItem(selection.items, QStringLiteral("7"));

    if (disclist::updateTitle(dir, 7, QStringLiteral("Saved\ttitle")) != disclist::Result::Done)
        return QStringLiteral("updateTitle failed on a readable list");
    // Filled to every slot, the list holds one record per slot, in order, whatever it held.
    constexpr int kSlots = 20;
    if (disclist::fillToAllSlots(dir, kSlots) != disclist::Result::Done)
        return QStringLiteral("fillToAllSlots failed on a readable list");
    const auto filled = disclist::read(dir);
    if (!filled || filled->size() != kSlots)
        return QStringLiteral("a filled list does not hold one record per slot");
    for (int i = 0; i < kSlots; ++i) {
        const disclist::Entry& entry = filled->at(i);
        if (entry.slot != i + 1 || entry.minTno != 1 || entry.maxTno != 99)
            return QStringLiteral("a filled list's record out of place");
    }
    return {};
}

QString fuzzTitleRecords(const QByteArray& input, const QString& dir) {
    emptyFolder(dir);
    // The raw records as the start-up download leaves them, turned into the disc list.
    putFile(dir, QStringLiteral("alldisc.txt"), input);
    const QString allDisc = in(dir, QStringLiteral("alldisc.txt"));
    if (disclist::convertAllDiscs(allDisc, dir, disclist::PlayerRange{3, 2, 9}) !=
        disclist::Result::Done)
        return QStringLiteral("convertAllDiscs failed on a readable file");
    if (QFile::exists(allDisc))
        return QStringLiteral("alldisc.txt kept after the conversion");
    const auto list = disclist::read(dir);
    if (!list)
        return QStringLiteral("the converted list cannot be read");
    const qsizetype records =
        textfile::splitLines(input).filter(QRegularExpression(QStringLiteral("^##"))).size();
    if (list->size() > records)
        return QStringLiteral("the converted list holds more records than its source");

    // The same bytes as tmpttl.txt while a download runs: continuing pieces and the last-item
    // mark keep the file in whole five-line records, or leave it alone.
    putFile(dir, QStringLiteral("tmpttl.txt"), input);
    const bool whole = textfile::splitLines(input).size() % 5 == 0;
    TextFrame piece;
    piece.trackLevel = true;
    piece.disc = 1;
    piece.item = 1;
    piece.kind = kTextKindTrack;
    piece.entryFlag = 0;
    piece.text = QStringLiteral("more");
    TextFrame mark = piece;
    mark.item = 3;
    mark.entryFlag = 2;
    mark.status = 1;
    mark.text.clear();
    for (const TextFrame& frame : {piece, mark}) {
        const TrackTextResult result = TrackTextFrame(frame, 6, dir);
        if (result.ok != whole)
            return QStringLiteral("a continuing piece accepted a damaged record file or refused "
                                  "a whole one");
        const auto lines = textfile::readLines(in(dir, QStringLiteral("tmpttl.txt")));
        if (whole && (!lines || lines->size() % 5 != 0))
            return QStringLiteral("tmpttl.txt no longer holds whole records");
    }
    if (handOverTitleRecords(dir, in(dir, QStringLiteral("texttmp.txt"))) &&
        QFile::exists(in(dir, QStringLiteral("tmpttl.txt"))))
        return QStringLiteral("tmpttl.txt kept after the hand-over");
    return {};
}

QString fuzzRecordFile(const QByteArray& input, const QString& dir) {
    emptyFolder(dir);
    const int records = static_cast<int>(input.size() / recordfile::kRecordSize) + 2;
    QStringList texts;
    for (int i = 1; i <= records; ++i) {
        const auto text = recordfile::recordFromBytes(input, i);
        // A record that reads is whole: putting its text back gives the same text.
        if (text) {
            QByteArray copy = input;
            recordfile::putRecord(copy, i, *text);
            if (recordfile::recordFromBytes(copy, i) != stored(*text))
                return QStringLiteral("a record does not read back after putRecord");
            if (copy.size() < input.size())
                return QStringLiteral("putRecord shortened the file");
        }
        texts.append(text.value_or(QString()));
    }
    recordfile::recordFromBytes(input, 0);

    // ufn.txt: the eight names, written and read back.
    putFile(dir, QStringLiteral("ufn.txt"), input);
    const QString ufn = in(dir, QStringLiteral("ufn.txt"));
    const auto names = userfiles::read(ufn);
    userfiles::loadForNameEditor(ufn);
    userfiles::loadForTitleEditor(ufn);
    const QStringList wanted = names.value_or(defaultUserFileNames());
    QString error;
    if (!userfiles::write(ufn, wanted, &error))
        return QStringLiteral("userfiles::write failed: ") + error;
    const auto back = userfiles::read(ufn);
    if (!back || *back != stored(namesWithDefaults(wanted)))
        return QStringLiteral("user-file names do not read back");
    // Bytes beyond the eight records stay as they were.
    QFile file(ufn);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("ufn.txt cannot be read");
    const QByteArray after = file.readAll();
    constexpr int kNamesEnd = kUserFileCount * recordfile::kRecordSize;
    if (after.mid(kNamesEnd) != input.mid(kNamesEnd))
        return QStringLiteral("writing the names changed bytes after the eighth record");
    return {};
}

} // namespace tf::fuzz
