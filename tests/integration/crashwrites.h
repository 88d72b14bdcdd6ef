#pragma once

// The writes the crash-safety test's child process repeats while it is killed, shared by the
// child (crashchild.cpp) and the test, which recomputes every content the child can have
// written. Each version v of each file is a fixed function of v; sizes vary with v so that a
// truncated file can never pass for a whole one.

#include "model/discid.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/storefiles.h"
#include "store/userfiles.h"

#include <QString>
#include <QStringList>

namespace tf::crash {

// The files the child replaces, in the order it replaces them.
enum class Target { TitleFile, MasterBlock, UserFileNames, Count };
inline constexpr int kTargetCount = static_cast<int>(Target::Count);

inline QString targetName(Target target) {
    static const char* const kNames[] = {"DISC5.txt", "discdata.txt", "ufn.txt"};
    return QString::fromLatin1(kNames[int(target)]);
}

inline const DiscIdentity kTitleDisc{5, {0x12, 0x34, 0x56, 0x78}};
inline constexpr int kBlockDisc = 3;

// `big` versions are far larger than the small ones, for the full-disk case.
inline discfile::EditorTitles titlesOf(int v, bool big = false) {
    discfile::EditorTitles titles;
    titles.firstTrack = 1;
    titles.discTitle = QStringLiteral("Disc version %1").arg(v);
    const int tracks = big ? 99 : 3 + v % 25;
    for (int k = 1; k <= tracks; ++k)
        titles.trackTitles.append(QStringLiteral("Track %1 of version %2%3")
                                      .arg(k)
                                      .arg(v)
                                      .arg(big ? QString(200, QLatin1Char('x')) : QString()));
    return titles;
}

inline DiscRecord blockOf(int disc, int v) {
    DiscRecord record;
    record.identity = DiscIdentity{
        static_cast<quint8>(disc),
        {0x0C, static_cast<quint8>(disc), static_cast<quint8>(v >> 8), static_cast<quint8>(v)}};
    record.minTno = 1;
    record.maxTno = static_cast<qint16>(1 + v % 40);
    for (int i = 0; i <= record.maxTno; ++i)
        record.toc.append(TocTime{static_cast<quint8>(2 * i), static_cast<quint8>((v + i) % 60),
                                  static_cast<quint8>(i % 75)});
    record.discInfo = (v % 2) ? kDiscInfoCdText : 0;
    record.userFileByte = static_cast<quint8>(v);
    record.musicType = static_cast<quint8>(v % 29);
    return record;
}

inline QStringList userFileNamesOf(int v) {
    QStringList names;
    for (int k = 1; k <= kUserFileCount; ++k)
        names.append(QStringLiteral("Names %1 file %2").arg(v).arg(k));
    return names;
}

// The master data file before the child runs: block 3 between two others, so that every
// replacement moves it to the end and keeps the others.
inline QStringList initialMasterLines() {
    QStringList lines = discdata::blockLines(blockOf(1, 7), discdata::RangeStyle::Bare);
    lines += discdata::blockLines(blockOf(kBlockDisc, 0), discdata::RangeStyle::Bare);
    lines += discdata::blockLines(blockOf(2, 9), discdata::RangeStyle::Bare);
    return lines;
}

// Writes version v of one target into `dataDir` with the product's writer.
inline bool writeVersion(const QString& dataDir, Target target, int v, QString* error,
                         bool big = false) {
    const QString path = storefiles::inFolder(dataDir, targetName(target));
    switch (target) {
    case Target::TitleFile:
        return discfile::writeFromEditor(path, kTitleDisc, titlesOf(v, big), error);
    case Target::MasterBlock: {
        DiscRecord record = blockOf(kBlockDisc, v);
        if (big) {
            record.maxTno = 99;
            record.toc.resize(100);
        }
        return discdata::replaceBlock(dataDir, record, error);
    }
    case Target::UserFileNames: {
        QStringList names = userFileNamesOf(v);
        if (big)
            names.fill(QString(120, QLatin1Char('n')));
        return userfiles::write(path, names, error);
    }
    case Target::Count:
        break;
    }
    return false;
}

} // namespace tf::crash
