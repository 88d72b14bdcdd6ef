#include "store/titlerecords.h"

#include "store/recordfile.h"
#include "store/storefiles.h"
#include "store/storeio.h"
#include "store/textfile.h"
#include "store/userfiles.h"

#include <QFile>

namespace tf {

namespace {

constexpr int kRecordLines = 5;
constexpr int kMaxTrackNumber = 99;

QString recordsPath(const QString& programDir) {
    return storefiles::inFolder(programDir, storefiles::kTitleRecords);
}

QString scratchPath(const QString& programDir) {
    return storefiles::inFolder(programDir, storefiles::kTitleRecordsScratch);
}

bool storeUserFileName(const TextFrame& frame, const QString& programDir, QString* error) {
    const int k = userFileFromMask(frame.item);
    if (k == 0)
        return storeio::fail(error, QStringLiteral("A user-file name frame names no single user "
                                                   "file (item 0x%1); it was not stored.")
                                        .arg(frame.item, 2, 16, QLatin1Char('0')));
    return recordfile::writeRecords(recordsPath(programDir), scratchPath(programDir), k,
                                    {titleRecordText(frame)}, error);
}

bool isTitleKind(const TextFrame& frame) {
    return frame.kind == kTextKindDisc || frame.kind == kTextKindTrack;
}

TrackTextResult failed(const QString& error) {
    return TrackTextResult{false, 0, error};
}

// The continuing piece of an entry: joined to the latest record of the same disc and track,
// or, as the last-item mark, the end of the list filled with "no title" records.
TrackTextResult continueEntry(const TextFrame& frame, int requestLast, bool last,
                              const QString& programDir) {
    const QString path = recordsPath(programDir);
    const storeio::Lines read = storeio::readText(path);
    if (!read.ok() && !read.missing())
        return failed(read.error);
    QStringList lines = read.lines;
    if (lines.size() % kRecordLines != 0)
        return failed(QStringLiteral("%1 does not hold whole title records; it was left unchanged.")
                          .arg(path));

    const QString title = titleRecordText(frame);
    const QString discLine = QStringLiteral("##") + QString::number(frame.disc);
    const QString trackLine = QStringLiteral("#") + QString::number(frame.item);
    int found = -1;
    for (int r = static_cast<int>(lines.size()) - kRecordLines; r >= 0; r -= kRecordLines) {
        if (lines.at(r) == discLine && lines.at(r + 1) == trackLine) {
            found = r;
            break;
        }
    }

    // The last-item mark: this track (when it has no record yet) and every later one up to
    // the last item get the mark's text.
    QStringList fill;
    if (last) {
        const int first = found < 0 ? frame.item : frame.item + 1;
        int end = std::min(requestLast, kMaxTrackNumber);
        if (found < 0)
            end = std::max(end, first); // the mark's own track always gets its record
        for (int k = first; k <= end; ++k)
            fill += titleRecord(frame.disc, k, title, frame.userFileByte, frame.musicType);
    }

    if (found < 0) {
        if (fill.isEmpty())
            return {}; // nothing to continue: the piece is dropped, the records stay whole
        lines += fill;
    } else {
        lines[found + 2] = last ? title : lines.at(found + 2) + title;
        lines[found + 3] = QString::number(frame.userFileByte);
        lines[found + 4] = QString::number(frame.musicType);
        for (int i = 0; i < fill.size(); ++i)
            lines.insert(found + kRecordLines + i, fill.at(i));
    }
    QString error;
    if (!textfile::replaceLines(path, scratchPath(programDir), lines, &error))
        return failed(error);
    return {true, last ? kLastItemReached : quint8(0), {}};
}

} // namespace

QString titleRecordText(const TextFrame& frame) {
    if (frame.status && *frame.status < 2) {
        if (frame.kind == kTextKindUserFileName)
            return defaultUserFileName(userFileFromMask(frame.item));
        return QLatin1String(frame.noDisc() ? kNoDiscText : kNoTitleText);
    }
    return frame.text;
}

QStringList titleRecord(int disc, int track, const QString& title, int userFileByte,
                        int musicType) {
    return {QStringLiteral("##") + QString::number(disc),
            QStringLiteral("#") + QString::number(track), title, QString::number(userFileByte),
            QString::number(musicType)};
}

bool DiscTextFrame(const TextFrame& frame, const QString& programDir, QString* error) {
    if (frame.kind == kTextKindUserFileName)
        return storeUserFileName(frame, programDir, error);
    if (!isTitleKind(frame))
        return true;
    return storeio::appendLines(recordsPath(programDir),
                                titleRecord(frame.disc, frame.item, titleRecordText(frame),
                                            frame.userFileByte, frame.musicType),
                                error);
}

TrackTextResult TrackTextFrame(const TextFrame& frame, int requestLast, const QString& programDir) {
    TrackTextResult result;
    if (frame.kind == kTextKindUserFileName) {
        result.ok = storeUserFileName(frame, programDir, &result.error);
        return result;
    }
    if (!isTitleKind(frame))
        return result;
    if (frame.beginsEntry()) {
        result.ok = storeio::appendLines(recordsPath(programDir),
                                         titleRecord(frame.disc, frame.item, titleRecordText(frame),
                                                     frame.userFileByte, frame.musicType),
                                         &result.error);
        return result;
    }
    const bool last = frame.status == 1 && frame.entryFlag >= 2;
    return continueEntry(frame, requestLast, last, programDir);
}

void clearTitleRecords(const QString& programDir) {
    QFile::remove(recordsPath(programDir));
    QFile::remove(scratchPath(programDir));
}

bool handOverTitleRecords(const QString& programDir, const QString& destinationPath,
                          QString* error) {
    const QString source = recordsPath(programDir);
    QFile file(source);
    if (!file.exists())
        return storeio::fail(error, QStringLiteral("No title records were received."));
    if (!file.open(QIODevice::ReadOnly))
        return storeio::fail(error,
                             QStringLiteral("Cannot read %1: %2").arg(source, file.errorString()));
    const QByteArray bytes = file.readAll();
    file.close();
    if (!textfile::replaceFile(destinationPath, textfile::defaultScratch(destinationPath), bytes,
                               error))
        return false;
    QFile::remove(source);
    return true;
}

std::optional<QStringList> readRecordTitles(const QString& path) {
    const auto lines = textfile::readLines(path);
    if (!lines)
        return std::nullopt;
    QStringList titles;
    for (int i = 0; i + 1 < lines->size(); ++i) {
        if (lines->at(i) == QStringLiteral("#%1").arg(titles.size()))
            titles.append(lines->at(++i));
    }
    return titles;
}

} // namespace tf
