#include "model/playtables.h"

#include "base/catalogue.h"

namespace tf::playback {

namespace {

// Code order; the blank in "Children 's Music" is part of the name.
const char* const kMusicTypeNames[kMusicTypeCount] = {"Not Defined",
                                                      "Adult Contemporary",
                                                      "Alternative Rock",
                                                      "Children 's Music",
                                                      "Classical",
                                                      "Contemporary Christian",
                                                      "Country",
                                                      "Dance",
                                                      "Easy Listening",
                                                      "Erotic",
                                                      "Folk",
                                                      "Gospel",
                                                      "Hip Hop",
                                                      "Jazz",
                                                      "Latin",
                                                      "Musical",
                                                      "New Age",
                                                      "Opera",
                                                      "Operetta",
                                                      "Pop Music",
                                                      "RAP",
                                                      "Reggae",
                                                      "Rock Music",
                                                      "Rhythm & Blues",
                                                      "Sound Effects",
                                                      "Sound Track",
                                                      "Spoken Word",
                                                      "World Music"};

} // namespace

QString musicTypeName(int code) {
    if (code <= 1)
        return QString::fromLatin1(kMusicTypeNames[0]);
    if (code > kMusicTypeCount)
        return {};
    return QString::fromLatin1(kMusicTypeNames[code - 1]);
}

QStringList audioMusicTypeEntries() {
    QStringList out;
    for (const char* name : kMusicTypeNames)
        out.append(QString::fromLatin1(name));
    return out;
}

int audioMusicTypeIndex(int code) {
    return code <= 0 ? 0 : code - 1;
}

QStringList panelMusicTypeEntries() {
    QStringList out = audioMusicTypeEntries();
    out.removeFirst();
    return out;
}

QString playModeName(int mode) {
    switch (mode) {
    case 0:
    case 1:
    case 2:
        return msg(msgid::PlayModeTrack);
    case 3:
        return msg(msgid::PlayModeProgram);
    case 4:
        return msg(msgid::PlayModeBestSelection);
    case 5:
    case 6:
        return msg(msgid::PlayModeMusicType);
    case 7:
    case 8:
        return msg(msgid::PlayModeUserFile);
    default:
        return {};
    }
}

QString randomText(int mode) {
    switch (mode) {
    case 1:
        return msg(msgid::RandomOneDisc);
    case 2:
        return msg(msgid::RandomAllDiscs);
    case 6:
    case 8:
        return msg(msgid::Random);
    default:
        return msg(msgid::Off);
    }
}

bool randomLit(int mode) {
    return mode == 1 || mode == 2 || mode == 6 || mode == 8;
}

QString playStateText(int state) {
    switch (state) {
    case kStateStopped:
        return statusText(status::Stopped);
    case kStateStopping:
        return msg(msgid::PlayStateStopping);
    case kStateSearching:
        return msg(msgid::PlayStateSearching);
    case kStatePlaying:
        return statusText(status::Playing);
    case kStatePaused:
        return statusText(status::Paused);
    case 0x90:
        return statusText(status::FastForward);
    case 0xA0:
        return statusText(status::FastBackward);
    default:
        return {};
    }
}

bool randomKeySwitchesOn(int mode) {
    switch (mode) {
    case 0:
    case 1:
    case 3:
    case 4:
    case 5:
    case 7:
        return true;
    default:
        return false;
    }
}

int infoLinePointSize(const QString& text) {
    const auto n = text.size();
    if (n <= 30)
        return 22;
    if (n <= 40)
        return 14;
    return 12;
}

int playInfoPointSize(const QString& text) {
    return text.size() <= 16 ? 20 : 15;
}

} // namespace tf::playback
