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

// Ids of every text the product shows, grouped by area. The numbered English texts keep the
// ids they have always had (301 to 458); the further captions and messages use our own ids
// from 1000. The texts themselves are fixed.
namespace msgid {

// Start-up.
constexpr int AlreadyRunning = 302;
constexpr int DiscInfoNotInChanger = 303;
constexpr int ReadAllDiscsFirstHint = 304;

// Playback set-up panels: their captions, buttons and errors.
constexpr int MusicTypePlayError = 305;
constexpr int MusicTypePlayTitle = 306;
constexpr int UserFilePlayError = 307;
constexpr int UserFilePlayTitle = 308;
constexpr int ProgramClearError = 309;
constexpr int ProgramClearTitle = 310;
constexpr int ProgramSetError = 311;
constexpr int ProgramSetTitle = 312;
constexpr int ProgramPlayPanelCaption = 412;
constexpr int MusicTypePlayPanelCaption = 413;
constexpr int UserFilePlayPanelCaption = 456;
constexpr int PanelButtonSet = 451;
constexpr int PanelButtonClear = 452;
constexpr int PanelButtonAdd = 453;
constexpr int PanelButtonDelete = 454;
constexpr int PanelButtonDeleteAll = 455;
constexpr int ChooseFromCheckList = 457;

// Changer transactions and downloads: an error text and the caption it is shown under.
constexpr int TitleInfoDownloadError = 313;
constexpr int TitleInfoDownloadTitle = 314;
constexpr int ProgressRemaining = 316;
constexpr int ProgressSeconds = 317;
constexpr int DownloadingText = 319;
constexpr int DownloadingDiscTitles = 320;
constexpr int DownloadingTrackTitles = 321;
constexpr int DownloadingUserFileNames = 322;
constexpr int UserFileNameDownloadError = 323;
constexpr int DiscIdDownloadError = 428;
constexpr int DiscIdDownloadTitle = 429;
constexpr int UserFileDownloadError = 430;
constexpr int UserFileDownloadTitle = 431;
constexpr int MusicTypeDownloadError = 432;
constexpr int MusicTypeDownloadTitle = 433;
constexpr int TitleConfirmError = 434;
constexpr int TitleConfirmTitle = 435;
constexpr int PlayCommandError = 436;
constexpr int PlayCommandTitle = 437;
constexpr int KeyCodeError = 438;
constexpr int KeyCodeTitle = 439;
constexpr int TrackRangeDownloadError = 440;
constexpr int TrackRangeDownloadTitle = 441;
constexpr int ProgramListDownloadError = 442;
constexpr int ProgramListDownloadTitle = 443;

// Title loading and the lookup prompt.
constexpr int TitleLoadingErrorTitle = 324;
constexpr int NoFile = 325;
constexpr int SearchInternetQuestion = 326;
constexpr int ReadDiscNumber = 360; // followed by the disc number
constexpr int ReadAllDiscsFromWeb = 448;

// Main window menus.
constexpr int MenuOptions = 329;
constexpr int MenuReadAllDiscs = 449; // also the caption of the read-all question

// Link start-up and serial port events.
constexpr int ChangerNotConnected = 336;
constexpr int InterfaceErrorTitle = 337;
constexpr int CommunicationErrorTitle = 338;
constexpr int InterfaceErrorClosing = 339;
constexpr int UnexpectedError = 348;
constexpr int PortCannotOpen = 366;
constexpr int PortCannotOpenHint = 367;
constexpr int PortErrorTitle = 368;

// Read all discs and CD TEXT.
constexpr int ReadAllTakesMinutes = 350;
constexpr int ReadAllCannotSave = 351;
constexpr int ReadAllStartQuestion = 352;
constexpr int ReadAllDiscsToPc = 353;
constexpr int RetrievingAllDiscs = 354;
constexpr int ReadAllError = 355;
constexpr int InformationNotUpdated = 356;
constexpr int CdTextReadError = 357;
constexpr int ReadingCdText = 358;
constexpr int DiscNotStandard = 458;

// Title and user-file-name upload.
constexpr int ChangerCouldNotSave = 362;
constexpr int TitleSaveErrorTitle = 363;
constexpr int TitleTransmitError = 364;
constexpr int TitleTransmitTitle = 365;
constexpr int UserFileNameRejected = 414;
constexpr int EnterUserFileNames = 415;
constexpr int TransmittingUserFileNames = 416;
constexpr int TransmitUserFileNameTitle = 417;
constexpr int UserFileNameTransmitError = 418;

// Options window.
constexpr int OptionsFolderTab = 369;
constexpr int OptionsCommunicationTab = 370;
constexpr int OptionsFolderTabTip = 372;
constexpr int OptionsCommunicationTabTip = 373;
constexpr int DontShowInitialInstructions = 375;
constexpr int DontShowProgressBar = 376;
constexpr int AlwaysSearchInternet = 377;
constexpr int NeverSearchInternet = 450;
constexpr int ButtonUpdate = 378;
constexpr int ButtonCancelUpper = 379; // "CANCEL" of the options and user-file-name windows
constexpr int ComSetUpTitle = 380;
constexpr int FolderSetUpTitle = 381;

// Input checks of the options and proxy windows.
constexpr int InputIncorrect = 383;

// Titles tab: tool tips, questions and warnings.
constexpr int CompareTitlesTip = 384;
constexpr int SaveTitlesTip = 386;
constexpr int EditUserFileNamesTip = 387;
constexpr int CopyTitlesToCdMemoryTip = 388;
constexpr int ReadDiscInChangerTip = 389;
constexpr int InvalidDiscOrSlot = 392;
constexpr int CautionTitle = 393;
constexpr int DifferentDiscLoaded = 394;
constexpr int ChangeDiscQuestion = 395;
constexpr int ReadingDiscTitle = 396;
constexpr int SlotEmptyOrUnreadable = 397;
constexpr int ReselectDisc = 398;
constexpr int TitlesMayBelongToOtherDisc = 399;
constexpr int ReloadDiscAdvice = 400;
constexpr int NotEnoughDiscInfo = 401;
constexpr int SaveChangesQuestion = 402;
constexpr int SaveFileTitle = 403;
constexpr int SelectADisc = 404;
constexpr int UpdateDataQuestion = 405;
constexpr int NoTitleInputForDisc = 406;
constexpr int TitleInputTitle = 407;
constexpr int TitlesNotReportedCorrectly = 408;
constexpr int NoTitlesForDisc = 409;

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
constexpr int MenuReadAllDiscsDesign = 1400; // replaced by MenuReadAllDiscs on load
constexpr int MenuOptionsDesign = 1401;      // replaced by MenuOptions on load
constexpr int MenuHelp = 1402;
constexpr int OptionsWindowCaption = 1410;
constexpr int ComPortOptionFirst = 1411; // "COM 1" .. "COM 4" follow in order
constexpr int PublishMediaPlayer = 1430;

// Title search: the field, the result list and why a result was not played.
constexpr int SearchPlaceholder = 1900;
constexpr int SearchNoChanger = 1901;
constexpr int SearchPanelMode = 1902;
constexpr int SearchNotTrackMode = 1903;
constexpr int SearchBusy = 1904;
constexpr int SearchHeaderSlot = 1905;
constexpr int SearchHeaderTrack = 1906;
constexpr int SearchHeaderDisc = 1907;
constexpr int SearchHeaderTitle = 1908;
constexpr int SearchNoMatch = 1909;
constexpr int SearchResults = 1910; // followed by the number of results
constexpr int SearchPlayButton = 1911;
constexpr int SearchOpenButton = 1912;
constexpr int SearchPlaying = 1913;      // followed by the disc
constexpr int SearchPlayingTrack = 1914; // followed by the track

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
