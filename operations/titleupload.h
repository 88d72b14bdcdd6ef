#pragma once

// Writing titles into the changer's title memory: a disc title and up to twenty track titles,
// each cut to 25 characters, every frame carrying back the disc's user-file byte and music
// type as the changer reported them.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tf {

class Configuration;
class Link;
class UserInterface;
struct RequestRecord;

// The whole sequence for a per-disc title file (DISC<n>.txt or tempcdt.txt): the title status
// check, the title-input check and the upload, each step holding the link with the push
// bracket. Waits until the link is free first. Offline: message 362/363 and nothing is sent.
// A refused title input ends the sequence silently (false, LastResult 0).
bool UploadTitles(Link& link, const QString& titleFilePath);

// Asks the changer for the text of `request` (RequestDisc, RequestKind, RequestLast) and keeps only
// the disc's user-file byte and music type. Returns 1 when the disc can take titles, 0 when not or
// on failure (message 313/314 shown, LastResult 255). The caller holds the link.
int ReadTitleStatus(Link& link, const RequestRecord& request, quint8& userFileByte,
                    quint8& musicType);

// The upload from a title file for `request` (RequestDisc, RequestFieldB, RequestFieldD and
// RequestLast), title input confirmed, the link held by the caller. Track titles go to the
// file's tracks from its MIN TNO on, never beyond track 20 or RequestLast. On failure message
// 364/365 and LastResult 255.
bool Execute_send_text_to_changer(Link& link, const RequestRecord& request,
                                  const QString& titleFilePath);

// What the title editor sends: its changer-memory column and changer disc title.
struct EditorTitlesUpload {
    int disc = 0;
    int minTno = 1;
    int maxTno = 1;
    quint8 musicType = 0;
    quint8 userFileByte = 0;
    QString discTitle;       // the changer disc-title box
    QStringList trackTitles; // the changer-title column, track minTno first
};

// The same exchange from the editor's values, with a progress dialog unless SILENT. Title
// input confirmed and the link held by the caller.
bool UploadEditorTitles(Link& link, const Configuration& config, UserInterface& ui,
                        const EditorTitlesUpload& titles);

} // namespace tf
