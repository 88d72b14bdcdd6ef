#pragma once

// The program panel's list items for the steps of the program working file temppgm.txt.
//
//   step record:  "[ 12][  3]"  or  "[  7][ALL]"   (disc part = characters 1-5, track part 6-10)
//   list item:    "P-03 : DISC [ 12], TRACK [  3]" (disc part at character 13, track at 26)

#include <QString>

namespace tf::program {

inline constexpr char kAllTracks[] = "[ALL]";

// "[" + number right-aligned in three characters + "]".
QString bracketNumber(int n);
// "P-0" + n for steps 1 to 9, "P-" + n from 10 on.
QString stepPrefix(int step);
QString listItem(int step, const QString& discPart, const QString& trackPart);
// The item renumbered as step `step`, keeping its text from character 5 on.
QString renumbered(const QString& item, int step);
// The step record an item stands for: its disc part and its track part.
QString recordOfItem(const QString& item);

} // namespace tf::program
