#pragma once

// Downloads of text from the changer: disc and track titles and user-file names into raw
// title records (the text download), and one disc's CD TEXT into tempcdt.txt.
//
// The caller holds the link (a busy bracket) for every function here.

#include "model/discid.h"

#include <QString>
#include <QtGlobal>

namespace tf {

class Configuration;
class Link;
class UserInterface;
struct RequestRecord;

// The text download of `request` (RequestDisc, RequestTrack, RequestKind, RequestFieldD,
// RequestLast): the frames go to tmpttl.txt in the program
// folder, which then replaces `destinationPath`. Shows the progress dialog unless SILENT.
// True with LastResult 0 on success; on failure the user has been told (message 313, or 323
// for user-file names), LastResult is 255 and the destination is unchanged.
bool DownloadText(Link& link, const Configuration& config, UserInterface& ui,
                  const RequestRecord& request, const QString& destinationPath);

// The uses of the text download, each with its request fields and destination.

// Disc titles of every slot into alldisc.txt (program folder), for the start-up disc list.
bool downloadAllDiscTitles(Link& link, const Configuration& config, UserInterface& ui);
// The eight user-file names into ufn.txt (data folder).
bool downloadUserFileNames(Link& link, const Configuration& config, UserInterface& ui);
// Titles of one disc for the title editor into texttmp.txt (program folder).
bool downloadEditorTitles(Link& link, const Configuration& config, UserInterface& ui, int disc,
                          int highestTrack, quint8 userFileByte, quint8 musicType);
// Track titles of the playing disc for the audio tab into audiotmp.txt (program folder).
bool downloadAudioTitles(Link& link, const Configuration& config, UserInterface& ui, int disc,
                         int highestTrack);
// Track titles of one disc for the program set-up into pgmtrack.txt (program folder).
bool downloadProgramTitles(Link& link, const Configuration& config, UserInterface& ui, int disc,
                           int highestTrack);

enum class CdTextResult {
    Usable,      // tempcdt.txt holds the disc's titles
    NotStandard, // the changer marked the disc not standard (message 458 shown)
    Failed,      // the download failed (message 357 shown); LastResult 255
};

// Writes the skeleton of tempcdt.txt (program folder) for disc `identity.disc` with tracks
// lowest..highest, downloads the disc's text and fills the titles in: one line for the disc
// title and one per track, lowest first. Text bytes of 127 or more are stored as "?".
CdTextResult DownloadCdText(Link& link, const Configuration& config, const DiscIdentity& identity,
                            int lowest, int highest);

} // namespace tf
