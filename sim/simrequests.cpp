#include "sim/simrequests.h"

#include "sim/simframe.h"

namespace tf::sim {

namespace {

constexpr quint8 kGroupData = 0x00;
constexpr quint8 kGroupTitleInput = 0x80;
constexpr quint8 kGroupUserFileNames = 0x40;
constexpr quint8 kGroupProgram = 0x20;
constexpr quint8 kGroupPlaySetUp = 0x10;

constexpr quint8 kCodeText = 0x01;
constexpr quint8 kCodeMinMax = 0x02;
constexpr quint8 kCodeDiscId = 0x04;
constexpr quint8 kCodeUserFile = 0x08;
constexpr quint8 kCodeMusicType = 0x10;
constexpr quint8 kCodeProgram = 0x20;

// Permission bits of the 0x09 answer.
constexpr quint8 kAllowTitles = 0x01;
constexpr quint8 kAllowUserFileNames = 0x02;
constexpr quint8 kAllowProgram = 0x04;
constexpr quint8 kAllowPlaySetUp = 0x08;

constexpr quint8 kEntryBegins = 1;
constexpr quint8 kEntryContinues = 0;
constexpr quint8 kSingleByteText = 0;

// Entries of a disc-identifier frame: the first block carries 3 header bytes more.
constexpr int kFirstBlockEntries = (kMaxFrameData - 6) / 3;
constexpr int kNextBlockEntries = (kMaxFrameData - 3) / 3;

QByteArray discBytes(int disc) {
    QByteArray bytes;
    bytes.append(static_cast<char>(disc & 0xFF));
    bytes.append(static_cast<char>((disc >> 8) & 0xFF));
    return bytes;
}

// Disc number, item, user-file byte, kind, music type, character-code flag.
QByteArray textHeader(int disc, quint8 item, const SimDisc* d, quint8 kind) {
    QByteArray data = discBytes(disc);
    data.append(static_cast<char>(item));
    data.append(static_cast<char>(d ? d->userFileByte : 0));
    data.append(static_cast<char>(kind));
    data.append(static_cast<char>(d ? d->musicType : 0));
    data.append(static_cast<char>(kSingleByteText));
    return data;
}

// A one-character text must not look like a status byte.
QByteArray safeText(QByteArray text) {
    if (text.size() == 1 && static_cast<quint8>(text.at(0)) < 2)
        text[0] = '?';
    return text;
}

OutFrame discText(int disc, quint8 item, const SimDisc* d, quint8 kind, const QByteArray& text,
                  quint8 status) {
    QByteArray data = textHeader(disc, item, d, kind);
    data.append(text.isEmpty() ? QByteArray(1, static_cast<char>(status)) : safeText(text));
    return {kReplyDiscText, data};
}

OutFrame trackText(int disc, quint8 track, const SimDisc* d, quint8 entry, const QByteArray& text,
                   quint8 status) {
    QByteArray data = textHeader(disc, track, d, kKindTrackTitles);
    data.append(static_cast<char>(entry));
    data.append(text.isEmpty() ? QByteArray(1, static_cast<char>(status)) : safeText(text));
    return {kReplyTrackText, data};
}

// Track-level text in pieces: the first piece begins the entry, the others continue it.
void appendTrackPieces(QList<OutFrame>* frames, int disc, quint8 track, const SimDisc& d,
                       const QByteArray& text, int pieceLength) {
    if (text.isEmpty()) {
        frames->append(trackText(disc, track, &d, kEntryBegins, {}, kStatusNoTitle));
        return;
    }
    const QList<QByteArray> pieces = splitPieces(text, pieceLength);
    for (int i = 0; i < pieces.size(); ++i)
        frames->append(trackText(disc, track, &d, i == 0 ? kEntryBegins : kEntryContinues,
                                 pieces.at(i), kStatusNoTitle));
}

// What a slot answers for its disc title: memory title, else the CD TEXT title of a disc that
// has no memory titles, else nothing.
QByteArray discTitleOf(const SimDisc& d) {
    if (d.hasMemoryTitles() || !d.hasCdText())
        return d.memoryTitle;
    return d.cdTextTitle.left(kMaxFrameData - 7);
}

OutFrame discTitleFrame(const ChangerLibrary& library, int slot) {
    const SimDisc& d = library.disc(slot);
    if (!d.present)
        return discText(slot, 0, &d, kKindDiscTitle, {}, kStatusNoDisc);
    return discText(slot, 0, &d, kKindDiscTitle, discTitleOf(d), kStatusNoTitle);
}

void answerText(const ChangerLibrary& library, const DataRequest& request, int pieceLength,
                ReplyPlan* plan) {
    if (request.kind == kKindUserFileNames) {
        for (int i = 0; i < kUserFileCount; ++i)
            plan->frames.append(discText(0, static_cast<quint8>(1u << i), nullptr,
                                         kKindUserFileNames, library.userFileNames.at(i),
                                         kStatusNoTitle));
        plan->refused = false;
        return;
    }
    if (request.kind == kKindDiscTitle) {
        if (request.disc == 0) {
            // Every slot in slot order: the PC's disc list at start-up.
            for (int slot = 1; slot <= kSlotCount; ++slot)
                plan->frames.append(discTitleFrame(library, slot));
        } else if (ChangerLibrary::validSlot(request.disc)) {
            plan->frames.append(discTitleFrame(library, request.disc));
        } else {
            return;
        }
        plan->refused = false;
        return;
    }
    if (request.kind != kKindTrackTitles || !ChangerLibrary::validSlot(request.disc))
        return;
    plan->refused = false;
    const int slot = request.disc;
    const SimDisc& d = library.disc(slot);
    if (!d.present) {
        plan->frames.append(discText(slot, 0, &d, kKindTrackTitles, {}, kStatusNoDisc));
        return;
    }
    if (d.hasCdText() && !d.hasMemoryTitles()) {
        // CD TEXT read from the disc, full length: the disc title as track 0, then every track.
        appendTrackPieces(&plan->frames, slot, 0, d, d.cdTextTitle, pieceLength);
        for (int track = d.lowest; track <= d.highest; ++track)
            appendTrackPieces(&plan->frames, slot, static_cast<quint8>(track), d,
                              d.cdTextTrack(track), pieceLength);
        return;
    }
    plan->frames.append(discText(slot, 0, &d, kKindTrackTitles, d.memoryTitle, kStatusNoTitle));
    for (int track = d.lowest; track <= qMin(d.highest, kMemoryTrackLimit); ++track)
        plan->frames.append(trackText(slot, static_cast<quint8>(track), &d, kEntryBegins,
                                      d.memoryTracks.value(track), kStatusNoTitle));
}

QList<OutFrame> discIdFrames(int slot, const SimDisc& d) {
    QList<OutFrame> frames;
    QByteArray first = discBytes(slot);
    first.append(char(1));
    first.append(static_cast<char>(d.present ? d.info : 0));
    first.append(static_cast<char>(d.present ? d.lowest : 0));
    first.append(static_cast<char>(d.present ? d.highest : 0));
    const QList<Msf> toc = d.present ? d.toc : QList<Msf>();
    int index = 0;
    QByteArray* current = &first;
    int room = kFirstBlockEntries;
    QByteArray next;
    int block = 1;
    while (true) {
        while (room > 0 && index < toc.size()) {
            const Msf& msf = toc.at(index++);
            current->append(static_cast<char>(toBcd(msf.minutes)));
            current->append(static_cast<char>(toBcd(msf.seconds)));
            current->append(static_cast<char>(toBcd(msf.frames)));
            --room;
        }
        frames.append({kReplyDiscId, *current});
        if (index >= toc.size())
            break;
        next = discBytes(slot);
        next.append(static_cast<char>(++block));
        current = &next;
        room = kNextBlockEntries;
    }
    return frames;
}

OutFrame discValue(quint8 cmd, int slot, QByteArray values) {
    return {cmd, discBytes(slot) + values};
}

OutFrame permission(const ChangerLibrary& library, const DataRequest& request) {
    quint8 answer = 0;
    switch (request.group) {
    case kGroupTitleInput:
        if (ChangerLibrary::validSlot(request.disc)) {
            const SimDisc& d = library.disc(request.disc);
            answer = d.present && !d.titleLocked ? kAllowTitles : 0;
        }
        break;
    case kGroupUserFileNames:
        answer = kAllowUserFileNames;
        break;
    case kGroupProgram:
        answer = library.changerMode == 0 ? kAllowProgram : 0;
        break;
    default:
        answer = library.changerMode == 0 ? kAllowPlaySetUp : 0;
        break;
    }
    return {kReplyPermission, QByteArray(1, static_cast<char>(answer))};
}

} // namespace

std::optional<DataRequest> DataRequest::fromData(const QByteArray& data) {
    if (data.size() != 7)
        return std::nullopt;
    DataRequest request;
    request.group = static_cast<quint8>(data.at(0));
    request.code = static_cast<quint8>(data.at(1));
    request.disc = static_cast<quint8>(data.at(2)) | (static_cast<quint8>(data.at(3)) << 8);
    request.track = static_cast<quint8>(data.at(4));
    request.kind = static_cast<quint8>(data.at(5));
    request.fieldD = static_cast<quint8>(data.at(6));
    return request;
}

QList<QByteArray> splitPieces(const QByteArray& text, int length) {
    length = qMax(2, length);
    QList<QByteArray> pieces;
    for (int at = 0; at < text.size(); at += length)
        pieces.append(text.mid(at, length));
    if (pieces.size() > 1 && pieces.last().size() == 1) {
        QByteArray& before = pieces[pieces.size() - 2];
        pieces.last().prepend(before.back());
        before.chop(1);
    }
    return pieces;
}

OutFrame handshakeReply() {
    return {kCmdHandshake, QByteArray(kChangerGreeting)};
}

ReplyPlan answerDataRequest(const ChangerLibrary& library, const DataRequest& request,
                            int pieceLength) {
    ReplyPlan plan;
    if (request.group == kGroupTitleInput || request.group == kGroupUserFileNames ||
        request.group == kGroupProgram || request.group == kGroupPlaySetUp) {
        plan.frames.append(permission(library, request));
        plan.refused = false;
        return plan;
    }
    if (request.group != kGroupData)
        return plan;
    if (request.code == kCodeText) {
        answerText(library, request, pieceLength, &plan);
        return plan;
    }
    if (request.code == kCodeProgram) {
        QByteArray data(1, static_cast<char>(library.program.size()));
        for (const ProgramStep& step : library.program) {
            data.append(discBytes(step.disc));
            data.append(static_cast<char>(step.track));
        }
        plan.frames.append({kReplyProgram, data});
        plan.refused = false;
        return plan;
    }
    if (!ChangerLibrary::validSlot(request.disc))
        return plan;
    const SimDisc& d = library.disc(request.disc);
    switch (request.code) {
    case kCodeMinMax: {
        QByteArray values;
        values.append(static_cast<char>(d.present ? d.lowest : 0));
        values.append(static_cast<char>(d.present ? d.highest : 0));
        values.append(static_cast<char>(d.present ? d.info : 0)); // third value: the info byte
        plan.frames.append(discValue(kReplyMinMax, request.disc, values));
        break;
    }
    case kCodeDiscId:
        plan.frames = discIdFrames(request.disc, d);
        break;
    case kCodeUserFile:
        plan.frames.append(discValue(kReplyUserFile, request.disc,
                                     QByteArray(1, static_cast<char>(d.userFileByte))));
        break;
    case kCodeMusicType:
        plan.frames.append(discValue(kReplyMusicType, request.disc,
                                     QByteArray(1, static_cast<char>(d.musicType))));
        break;
    default:
        return plan;
    }
    plan.refused = false;
    return plan;
}

bool storeTitleFrame(ChangerLibrary& library, const QByteArray& data) {
    if (data.size() < 8)
        return false;
    const int disc = static_cast<quint8>(data.at(0)) | (static_cast<quint8>(data.at(1)) << 8);
    const quint8 track = static_cast<quint8>(data.at(2));
    const quint8 userFileByte = static_cast<quint8>(data.at(3));
    const quint8 kind = static_cast<quint8>(data.at(4));
    const quint8 musicType = static_cast<quint8>(data.at(5));
    QByteArray text = data.mid(7);
    if (text == QByteArray(1, '\x01'))
        text.clear(); // empty title or "* NO TITLE *"
    text = text.left(kMemoryTitleLength);

    if (kind == kKindUserFileNames) {
        if (track == 0 || (track & (track - 1)) != 0)
            return false;
        int index = 0;
        while ((1u << index) != track)
            ++index;
        library.userFileNames.at(index) = text;
        return true;
    }
    if ((kind != kKindDiscTitle && kind != kKindTrackTitles) || !ChangerLibrary::validSlot(disc))
        return false;
    SimDisc& d = library.disc(disc);
    if (!d.present || d.titleLocked)
        return false;
    // Every title frame carries the disc's user-file byte and music type; the changer takes
    // them over, which is how the PC changes them.
    d.userFileByte = userFileByte;
    if (musicType <= kMusicTypeMax)
        d.musicType = musicType;
    if (kind == kKindDiscTitle || track == 0) {
        d.memoryTitle = text;
        return true;
    }
    // Titles beyond the memory's twenty tracks (or beyond the disc) are acknowledged and dropped.
    if (track <= kMemoryTrackLimit && track >= d.lowest && track <= d.highest) {
        if (text.isEmpty())
            d.memoryTracks.remove(track);
        else
            d.memoryTracks.insert(track, text);
    }
    return true;
}

bool storeProgramList(ChangerLibrary& library, const QByteArray& data) {
    if (data.isEmpty())
        return false;
    const int count = static_cast<quint8>(data.at(0));
    if (count > kMaxProgramSteps || data.size() != 1 + 3 * count)
        return false;
    QList<ProgramStep> program;
    for (int i = 0; i < count; ++i) {
        const char* step = data.constData() + 1 + 3 * i;
        ProgramStep s;
        s.disc = static_cast<quint8>(step[0]) | (static_cast<quint8>(step[1]) << 8);
        const quint8 track = static_cast<quint8>(step[2]);
        if (!ChangerLibrary::validSlot(s.disc) || track == 0)
            return false;
        s.track = track >= 100 ? kAllTracks : track;
        program.append(s);
    }
    library.program = program;
    return true;
}

} // namespace tf::sim
