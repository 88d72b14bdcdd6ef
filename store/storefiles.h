#pragma once

// Names of every file the program keeps in its two folders. Data-folder files hold the library;
// program-folder files are the settings file, the help page and the hand-over and working files of
// the downloads. The title store names them all; the floors above take the names from here.

#include <QLatin1String>
#include <QString>

namespace tf::storefiles {

// Data folder.
inline constexpr QLatin1String kDiscData{"discdata.txt"};        // the master data file
inline constexpr QLatin1String kDiscDataScratch{"discdata.tmp"}; // rebuild / value update
inline constexpr QLatin1String kBlockScratch{"dest.tmp"};        // while one block is replaced
inline constexpr QLatin1String kDiscProgram{"discprog.tmp"};     // discs the read-all pass walks
inline constexpr QLatin1String kLookupLoop{"loopfl.tmp"};        // discs the online pass looks up
inline constexpr QLatin1String kDiscList{"tempdisc.txt"};        // the disc list
inline constexpr QLatin1String kDiscListScratch{"tempd.tmp"};
inline constexpr QLatin1String kDiscListTitleScratch{"tmpd.dsc"}; // title update on save
inline constexpr QLatin1String kUserFileNames{"ufn.txt"};
inline constexpr QLatin1String kProgram{"temppgm.txt"}; // the program working file
inline constexpr QLatin1String kProgramScratch{"temppgm.tmp"};

// Program folder.
inline constexpr QLatin1String kAllDiscs{"alldisc.txt"};    // titles of every slot, at start-up
inline constexpr QLatin1String kOneDisc{"texttmp.txt"};     // titles of one disc for the editor
inline constexpr QLatin1String kTitleRecords{"tmpttl.txt"}; // filled while titles arrive
inline constexpr QLatin1String kTitleRecordsScratch{"tmpttl1.txt"};
inline constexpr QLatin1String kAudioTitles{"audiotmp.txt"};   // playing disc, audio tab
inline constexpr QLatin1String kProgramTitles{"pgmtrack.txt"}; // one disc, program set-up
inline constexpr QLatin1String kCdText{"tempcdt.txt"};         // CD TEXT of one disc
inline constexpr QLatin1String kCdTextScratch{"tempcdt.tmp"};
inline constexpr QLatin1String kConfig{"config.KWD"}; // the settings file
inline constexpr QLatin1String kConfigScratch{"config.tmp"};
inline constexpr QLatin1String kProxyHandOver{"proxy.dt"};     // proxy settings, handed over once
inline constexpr QLatin1String kInstanceLock{"trackfen.lock"}; // held by the running instance
inline constexpr QLatin1String kHelpPage{"trackfen help contents.htm"};

// `name` inside `folder`; the folder may or may not end in a separator.
inline QString inFolder(const QString& folder, const QString& name) {
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

} // namespace tf::storefiles
