#pragma once

// Working files of the changer operations that the title store does not name.

#include <QLatin1String>

namespace tf::opsfiles {

// Program folder.
inline constexpr QLatin1String kAudioTitles{"audiotmp.txt"};   // playing disc, audio tab
inline constexpr QLatin1String kProgramTitles{"pgmtrack.txt"}; // one disc, program set-up
inline constexpr QLatin1String kCdText{"tempcdt.txt"};         // CD TEXT of one disc
inline constexpr QLatin1String kCdTextScratch{"tempcdt.tmp"};

// Data folder.
inline constexpr QLatin1String kUserFileNames{"ufn.txt"};
inline constexpr QLatin1String kProgram{"temppgm.txt"}; // the program working file
inline constexpr QLatin1String kProgramScratch{"temppgm.tmp"};

} // namespace tf::opsfiles
