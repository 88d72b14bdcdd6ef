#pragma once

// Reading the changer at start-up: the disc titles of every slot become the disc list
// tempdisc.txt, and the user-file names are refreshed into ufn.txt.

#include <QString>

namespace tf {

class Configuration;
class Link;
class UserInterface;

struct StartUpReadResult {
    bool discListBuilt = false;     // tempdisc.txt was built from the changer's titles
    bool userFileNamesRead = false; // ufn.txt holds the changer's names
    QString error;                  // a file problem, for the caller to show
};

// The start-up read, for the main window's reaction to the changer's mode (link up, not
// offline): downloads the titles of all slots into alldisc.txt, converts them into the disc
// list (the playing disc gets its track range from the changer; with no disc in the player
// every record gets 1 and 1), then downloads the user-file names. When the titles cannot be
// downloaded the existing disc list is filled to all slots instead. Each exchange holds the
// link with the push bracket; waits until the link is free first.
StartUpReadResult startUpRead(Link& link, const Configuration& config, UserInterface& ui);

// Fill to all slots: rewrites tempdisc.txt with one record for every slot (the start-up mode
// that does not read the changer, and a failed start-up read). False with *error on a file
// problem; true also when there is no disc list yet (nothing to fill).
bool fillDiscListToAllSlots(const Configuration& config, QString* error = nullptr);

} // namespace tf
