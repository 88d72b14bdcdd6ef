#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The numbered message catalogue: every message, caption and status-line text the user sees.
// Texts live in the resource :/catalogue.tsv ("id<TAB>text" per line, '#' starts a comment) and
// are shown exactly as stored, trailing blanks included.

namespace tf {

// Ids of the texts that are not part of the numbered English and status ranges. Their ids are
// our own, grouped by area; the texts themselves are fixed.
namespace msgid {

// Start-up, application title and common dialog buttons.
constexpr int ApplicationTitle = 1000;
constexpr int ApplicationCaption = 1001; // title + " ver" + version
constexpr int ProxyQuestion = 1010;
constexpr int ProxyQuestionTitle = 1011;
constexpr int ButtonOk = 1020;
constexpr int ButtonCancel = 1021;

// Online lookup: results, the CDDB menu and the proxy settings window.
constexpr int TitleDataNotFound = 1100;
constexpr int NoMatchesForDisc = 1101;
constexpr int DiscWasSent = 1102;
constexpr int MenuCddb = 1110;
constexpr int MenuCddbAbout = 1111;
constexpr int MenuCddbExtendedInfo = 1112;
constexpr int MenuCddbUpdateInfo = 1113;
constexpr int MenuCddbSubmitChanges = 1114;
constexpr int MenuCddbNewDiscSubmit = 1115;
constexpr int MenuCddbUrl = 1116;
constexpr int MenuCddbMusicBrowser = 1117;
constexpr int MenuCddbOptions = 1118;
constexpr int ProxyWindowCaption = 1130;
constexpr int ProxyNameLabel = 1131;
constexpr int ProxyPortLabel = 1132;
constexpr int ProxyClientNameLabel = 1133;
constexpr int ProxyPasswordLabel = 1134;
constexpr int ProxyInputErrorTitle = 1135;

// Playback: indicators, mode names, transport states, labels and set-up panels.
constexpr int On = 1200;
constexpr int Off = 1201;
constexpr int PlayModeTrack = 1210;
constexpr int PlayModeProgram = 1211;
constexpr int PlayModeBestSelection = 1212;
constexpr int PlayModeMusicType = 1213;
constexpr int PlayModeUserFile = 1214;
constexpr int RandomOneDisc = 1220;
constexpr int RandomAllDiscs = 1221;
constexpr int Random = 1222;
constexpr int PlayStateStopping = 1230;
constexpr int PlayStateSearching = 1231;
constexpr int NowPlayingDisc = 1240;
constexpr int ProgramStepLabel = 1241;
constexpr int PlayModeCaption = 1242;
constexpr int RandomModeCaption = 1243;
constexpr int RepeatModeCaption = 1244;
constexpr int ProgramPanelTitle = 1250;
constexpr int ProgramListLabel = 1251;
constexpr int ProgramTrackLabel = 1252;
constexpr int ProgramDiscLabel = 1253;
constexpr int ProgramTrackWithoutTitle = 1254;
constexpr int AudioTrackWithoutTitle = 1255;
constexpr int MusicTypePanelTitle = 1260;
constexpr int UserFilePanelTitle = 1270;

// Titles tab: grid headers and the user-file-name editor.
constexpr int GridHeaderTrack = 1300;
constexpr int GridHeaderFullLength = 1301;
constexpr int GridHeaderCdMemory = 1302;
constexpr int UserFileEditTitle = 1310;
constexpr int UserFileEditLabelFirst = 1311; // "FILE 1:" .. "FILE 8:" follow in order

// Shell: main window menus and the options window.
constexpr int MenuReadAllDiscsDesign = 1400; // replaced by 449 when the window loads
constexpr int MenuOptionsDesign = 1401;      // replaced by 329 when the window loads
constexpr int MenuHelp = 1402;
constexpr int OptionsWindowCaption = 1410;
constexpr int ComPortOptionFirst = 1411; // "COM 1" .. "COM 4" follow in order

// Label of name box k (1 to 8) in the user-file-name editor.
constexpr int userFileEditLabel(int k) {
    return UserFileEditLabelFirst + k - 1;
}

// Caption of the option for port COM n (1 to 4).
constexpr int comPortOption(int n) {
    return ComPortOptionFirst + n - 1;
}

} // namespace msgid

// Result of parsing catalogue text: the texts by id and every problem found, each naming its
// line. A line with a problem contributes no text (a duplicate keeps the first definition).
struct CatalogueParseResult {
    QHash<int, QString> texts;
    QStringList problems;
};

// Parses "id<TAB>text" lines (LF line ends, UTF-8). Comments start with '#'; blank lines are
// skipped. Missing TAB, bad or duplicate ids, empty texts, stray TABs or CRs, and invalid UTF-8
// are problems.
CatalogueParseResult parseCatalogue(const QByteArray& tsv);

// Problems of the built-in catalogue; empty when it loaded cleanly.
QStringList catalogueProblems();

// Every id of the built-in catalogue, ascending.
QList<int> catalogueIds();

bool hasMessage(int id);

// The text of message id. Asking for an id that does not exist is a programming error: debug
// builds stop on an assertion, release builds log it and show catalogueText()'s marker.
QString msg(int id);
// The text of message id, or (logged) a visible marker naming the missing id.
QString catalogueText(int id);

// Status-line text for status code (0 to 32), message 900 + code.
QString statusText(int code);

} // namespace tf
