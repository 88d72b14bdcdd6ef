#pragma once

// READ ALL DISCS: the changer loads every disc of the disc list in turn, the PC reads its
// table of contents, track range, disc information, user-file byte and music type, and the
// master data file discdata.txt is rebuilt from them. Discs that carry CD TEXT get their
// titles from it on the way. The online pass for the other discs follows.

#include <QString>

#include <functional>

namespace tf {

struct AppContext;
struct DiscIdentity;
class UserInterface;

enum class ReadAllOutcome {
    NotStarted, // the disc list is not built yet, or the user said No
    Completed,  // every disc was walked; discdata.txt replaced, online pass run
    Cancelled,  // Cancel or a change of the changer's mode: the blocks read so far are kept
    Failed,     // a changer or file error: discdata.txt unchanged (message 355/356 shown)
    Offline,    // no changer: only the online pass over the existing discdata.txt ran
};

struct ReadAllResult {
    ReadAllOutcome outcome = ReadAllOutcome::NotStarted;
    int discsRead = 0;    // blocks written
    int discsSkipped = 0; // tables of contents that never arrived, and empty slots
};

// The question before the pass (messages 350, 351, 352 under 449); true on Yes.
bool askReadAllDiscs(UserInterface& ui);

// The menu command: nothing while the link is up but the disc list is not built; otherwise
// the question, then the pass. `setRunning(true)` runs just before the pass (the window
// disables the menu command, the options menu and the tabs), `setRunning(false)` after it.
ReadAllResult readAllDiscs(AppContext& ctx, bool discListReady,
                           const std::function<void(bool running)>& setRunning = {});

// The pass itself, without the question.
ReadAllResult readAllDiscsPass(AppContext& ctx);

// The CD TEXT load of one disc during the pass: waits for the link and runs only while the
// pass runs; downloads the CD TEXT into tempcdt.txt, makes it the disc's DISC<n>.txt and sends
// the titles to the changer. True when the disc file was written; a changer failure leaves
// LastResult 255, a file problem is put in *error (LastResult 255 as well).
bool loadCdTextForReadAll(AppContext& ctx, const DiscIdentity& identity, int lowest, int highest,
                          QString* error = nullptr);

} // namespace tf
