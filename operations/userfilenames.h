#pragma once

// Writing the eight user-file names into the changer, and the PC's copy in ufn.txt.

#include <QString>
#include <QStringList>

namespace tf {

class Configuration;
class Link;
class UserInterface;

enum class UserFileNamesResult {
    Sent,     // the changer took the names; ufn.txt rewritten
    Rejected, // the changer does not take names now (message 414/415 shown)
    Failed,   // the exchange failed (its message shown) or ufn.txt could not be written
    Offline,  // no changer: nothing sent
};

// The panel's update step: asks the changer whether it takes user-file names (group 0x40)
// and uploads them, all inside the store bracket. Waits until the link is free first.
// `names` are boxes 1 to 8 as typed.
UserFileNamesResult sendUserFileNames(Link& link, const Configuration& config, UserInterface& ui,
                                      const QStringList& names);

// The upload itself (the link held by the caller): one title frame of kind 7 per name, the
// name's bit as the track (1, 2, 4 ... 128), an empty name as "no title". On success ufn.txt
// (data folder) holds the eight names, empty ones as "USER FILE k"; on failure message 418/417
// and ufn.txt is untouched.
bool UploadUserFileNames(Link& link, const Configuration& config, UserInterface& ui,
                         const QStringList& names);

} // namespace tf
