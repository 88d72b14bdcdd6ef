#pragma once

// The writes the crash-safety test's child process repeats while it is killed, shared by the
// child (crashchild.cpp) and the test, which recomputes every content the child can have
// written. Each version v of each file is a fixed function of v; sizes vary with v so that a
// truncated file can never pass for a whole one. The master data file also holds blocks 1 and 2,
// which the test writes on either side of the replaced block, so every replacement must keep them.

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

inline discfile::EditorTitles titlesOf(int v) {
    discfile::EditorTitles titles;
    titles.firstTrack = 1;
    titles.discTitle = QStringLiteral("Disc version %1").arg(v);
    for (int k = 1; k <= 3 + v % 25; ++k)
        titles.trackTitles.append(QStringLiteral("Track %1 of version %2").arg(k).arg(v));
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

// Writes version v of one target into `dataDir` with the product's writer.
inline bool writeVersion(const QString& dataDir, Target target, int v, QString* error) {
    const QString path = storefiles::inFolder(dataDir, targetName(target));
    switch (target) {
    case Target::TitleFile:
        return discfile::writeFromEditor(path, kTitleDisc, titlesOf(v), error);
    case Target::MasterBlock:
        return discdata::replaceBlock(dataDir, blockOf(kBlockDisc, v), error);
    case Target::UserFileNames: {
        QStringList names;
        for (int k = 1; k <= kUserFileCount; ++k)
            names.append(QStringLiteral("Names %1 file %2").arg(v).arg(k));
        return userfiles::write(path, names, error);
    }
    case Target::Count:
        break;
    }
    return false;
}

} // namespace tf::crash
