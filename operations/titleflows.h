#pragma once

// The title editor's work on one disc, headless: loading what the PC and the changer know
// about it, reloading it from the changer, and saving edited titles to both. The editor shows
// the values these return; what the user is told or asked on the way goes through the
// UserInterface of the context, at the moments the editor has always asked.

#include "model/discid.h"
#include "model/toc.h"
#include "operations/memorytitles.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace tf {

class Link;
struct AppContext;

// The link is open, up and not switched offline.
bool changerConnected(const Link& link);

// One disc as a load or reload leaves it for the editor.
struct LoadedDisc {
    enum class Status {
        Loaded,  // shown and done (the memory titles were fetched if the changer was there)
        Stopped, // the load ended early; the user has been told why
    };
    Status status = Status::Stopped;
    int disc = 0;
    DiscIdentity identity;
    // What the changer or the master file reported.
    qint16 minTno = 1;
    qint16 maxTno = 1;
    QList<TocTime> toc;
    qint16 discInfo = 0;
    // The changer's user-file byte and music type (0 without a changer); valuesRead tells
    // whether they were asked for at all.
    bool valuesRead = false;
    quint8 userFileByte = 0;
    quint8 musicType = 0;
    // The track rows to show: the per-disc file's range when it has a sound one.
    int firstTrack = 1;
    int lastTrack = 1;
    // The per-disc file DISC<n>.txt, when one was read (the PC titles).
    QString pcFileName;
    std::optional<QString> pcDiscTitle;
    QStringList pcTrackTitles;
    // The titles in the changer's memory, when they were downloaded.
    std::optional<memorytitles::MemoryTitles> memory;

    bool fromPcFile() const { return !pcFileName.isEmpty(); }
};

// The load of `disc` (1..200): the values from the changer, the PC's master block and
// per-disc file (or the changer's table when there is no master file yet, with the CD TEXT or
// web lookup), then the memory titles.
LoadedDisc loadDisc(AppContext& ctx, int disc);

// The reload of `disc` from the changer: puts the disc into the player when another one is
// playing, reads its table and values, rewrites its master block, looks it up when the PC has
// no titles waiting, and fetches the memory titles.
LoadedDisc reloadDisc(AppContext& ctx, int disc);

// What the editor holds for a save.
struct TitlesToSave {
    int disc = 0;
    DiscIdentity identity;
    int minTno = 1;
    int maxTno = 1;
    quint8 userFileByte = 0;
    quint8 musicType = 0;
    QString fullTitle;        // the PC disc title
    QStringList fullTitles;   // the PC title column, track minTno first
    QString memoryTitle;      // the changer disc title
    QStringList memoryTitles; // the changer title column, track minTno first
};

// The save: DISC<n>.txt with the master and list entries (asking first when the file is
// there already), then the changer's memory. True when all that was to be saved was saved.
bool saveTitles(AppContext& ctx, const TitlesToSave& titles);

} // namespace tf
