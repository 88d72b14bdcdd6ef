#include "ctl/ctlargs.h"

#include <QHash>

namespace tf::ctl {

namespace {

const QString kGlobalHelp = QStringLiteral(R"(Usage: trackfen-ctl [OPTIONS] COMMAND [ARGUMENTS]

Drives the CD changer and the title library of TrackFen from scripts. It reads the same
settings as TrackFen (config.KWD in the program folder and the COM port mapping) unless told
otherwise.

Options:
  --device PATH          serial device of the changer (instead of the configured COM port)
  --data-folder DIR      data folder (instead of the configured one)
  --program-folder DIR   folder holding config.KWD and the working files
  --trace                log every unit sent and received on standard error
  --help                 this help, or a command's help after the command
  --version              the version

Changer commands (they need the changer and the serial port):
  status                 connect, then print the play status as JSON
  play DISC [TRACK]      play a disc (from TRACK)
  key KEY                press a key: play stop repeat random next previous forward backward
  mode MODE              clear | program | music-type CODE | user-file N
  program get            print the changer's program, one DISC:TRACK step a line
  program set STEP...    send a program (DISC:TRACK, DISC:all or DISC); no steps clears it
  titles DISC            print the titles in the changer's memory for a disc, as JSON
  upload DISC            send DISC<n>.txt of the data folder to the changer's memory
  read-all               read every disc into the master data file (progress on stderr)
  lookup DISC            list a disc's candidates from CDDB and MusicBrainz (--write N: take one)

Library commands (no changer needed):
  discid M:S:F ...       disc id and TOC text of a table of contents (tracks, then lead-out)
  export                 write the whole library as JSON or CSV
  import FILE            bring an exported library back into the data folder
  search WORDS...        find disc and track titles (--json); --play N plays the N-th result

Exit codes:
  0  success
  1  usage error (unknown command or option, bad argument)
  2  serial port or changer error (cannot open: the reason is printed; no answer; refused)
  3  file or data error (cannot read or write, malformed input)
  4  the serial port is held by another program (TrackFen, or the process its lock names)
  5  import left some discs alone because their disc id differs (the rest was written)

Errors and messages go to standard error; results to standard output.
The link trace is also available as the logging category trackfen.link.trace
(QT_LOGGING_RULES="trackfen.link.trace.debug=true").
)");

const QHash<QString, QString>& commandHelps() {
    static const QHash<QString, QString> helps{
        {QStringLiteral("status"), QStringLiteral(R"(Usage: trackfen-ctl status

Connects to the changer, waits for the play status it reports by itself and prints it as
one JSON object: disc, track, programStep, playMode (and its name), repeat, state (and its
text), musicType, userFileBits, status7, tocReadyDisc and changerMode (null when the changer
did not report its mode).
)")},
        {QStringLiteral("play"), QStringLiteral(R"(Usage: trackfen-ctl play DISC [TRACK]

Makes the changer play disc DISC (1 to 200) from track TRACK (1 to 99, default 1).
)")},
        {QStringLiteral("key"), QStringLiteral(R"(Usage: trackfen-ctl key KEY [--hold MS]

Presses one key of the remote control: play (play/pause), stop, repeat, random, next,
previous, forward, backward. next, previous, forward and backward are held for MS
milliseconds (default 0 for next and previous, 1000 for forward and backward) and then
released.
)")},
        {QStringLiteral("mode"), QStringLiteral(R"(Usage: trackfen-ctl mode clear
       trackfen-ctl mode program
       trackfen-ctl mode music-type CODE
       trackfen-ctl mode user-file N

clear       back to plain track play
program     programmed play of the program the changer holds
music-type  play the discs of music type CODE (2 to 28, not 10)
user-file   play the discs of user file N (1 to 8)
The changer is asked for permission first; a refusal ends with exit code 2.
)")},
        {QStringLiteral("program"), QStringLiteral(R"(Usage: trackfen-ctl program get
       trackfen-ctl program set [STEP...]

get   prints the changer's program, one step a line: DISC:TRACK, or DISC:all for a whole disc
set   sends up to 32 steps (DISC:TRACK, DISC:all or DISC) and switches to programmed play;
      without steps the program is cleared. The steps are also kept in temppgm.txt of the
      data folder, as TrackFen keeps them.
)")},
        {QStringLiteral("titles"), QStringLiteral(R"(Usage: trackfen-ctl titles DISC

Reads the titles the changer holds in its memory for disc DISC and prints them as JSON:
{"disc": n, "lowest": l, "highest": h, "title": "...", "tracks": ["...", ...]}. A track
without a title is an empty text.
)")},
        {QStringLiteral("upload"), QStringLiteral(R"(Usage: trackfen-ctl upload DISC

Sends the disc title and track titles of DISC<n>.txt in the data folder to the changer's
memory (each cut to 25 characters, tracks 1 to 20), as TrackFen's save does.
)")},
        {QStringLiteral("read-all"), QStringLiteral(R"(Usage: trackfen-ctl read-all

Reads the changer's disc list and user-file names, then loads every disc in turn and
rebuilds the master data file discdata.txt (READ ALL DISCS). Discs with CD TEXT get their
titles from it. A progress line per disc goes to standard error. This takes minutes.
)")},
        {QStringLiteral("lookup"),
         QStringLiteral(R"(Usage: trackfen-ctl lookup DISC [--source cddb|musicbrainz|both] [--json]
                           [--write N]

Looks the disc up online by its table of contents (from the master data file, else from the
changer) and lists the candidates, numbered, one a line: source, artist / title, and the
CDDB entry or the MusicBrainz release (year, country, label, disc n of m, track count).
Nothing is written unless --write N is given: candidate N's titles then go to DISC<n>.txt
and to the changer's memory. The servers, proxy and e-mail address are TrackFen's CDDB
options (the proxy password is not used here). --source both (the default) asks CDDB, then
MusicBrainz. Exit code 3 when every database asked failed.
)")},
        {QStringLiteral("discid"),
         QStringLiteral(R"(Usage: trackfen-ctl discid M:S:F [M:S:F ...] LEADOUT

Prints the CDDB disc id (8 hexadecimal digits) and the TOC text (the start of every track
and of the lead-out in frames) of a table of contents given as the start of every track
and then the lead-out, each as minutes:seconds:frames (75 frames a second).
Example: trackfen-ctl discid 0:2:0 3:10:37 7:1:12   prints 0c01a302 and 150 14287 31587.
)")},
        {QStringLiteral("search"),
         QStringLiteral(R"(Usage: trackfen-ctl search WORDS... [--json] [--play N]

Lists the discs and tracks of the data folder whose titles contain every word, as TrackFen's
search field does: case, accents and punctuation do not count ("beyonce" finds "Beyoncé",
"ac dc" finds "AC/DC"), whole words and word starts come first, discs before tracks. One line
a result: number, slot, track ("-" for the disc), disc title, track title; --json prints a
JSON array of {"slot", "track", "discTitle", "trackTitle"} (track 0 for the disc).
--play N  plays the N-th result (a disc from its first track) as the audio tab would: only
          in plain track play with the changer idle; otherwise nothing is sent and the exit
          code is 2. A result number beyond the list is a usage error.
)")},
        {QStringLiteral("export"),
         QStringLiteral(R"(Usage: trackfen-ctl export [--format json|csv] [--output FILE]

Writes the whole library of the data folder (every disc's slot, disc id, track range, table
of contents, disc information, user-file byte, music type, disc and track titles, and the
eight user-file names) as one JSON document (default) or as CSV, to standard output or FILE.
)")},
        {QStringLiteral("import"),
         QStringLiteral(R"(Usage: trackfen-ctl import FILE [--format json|csv] [--dry-run] [--force]

Brings an exported library back into the data folder. Only what differs is written; discs
and parts the file does not hold are left alone, nothing is deleted. Every change is listed
on standard output.
--dry-run  list the changes, write nothing
--force    also replace discs whose disc id in the folder differs from the file's; without
           it such discs are left alone, named on standard error, and the exit code is 5
The format follows --format, else the file's first character ({ for JSON). Malformed input
is reported with its line or field and nothing is written (exit code 3).
)")},
    };
    return helps;
}

} // namespace

std::optional<Arguments> parseArguments(const QStringList& args, QString* error) {
    Arguments out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        const auto value = [&](QString& target) {
            if (i + 1 >= args.size()) {
                *error = a + QStringLiteral(" needs a value");
                return false;
            }
            target = args.at(++i);
            return true;
        };
        if (a == QLatin1String("--device")) {
            if (!value(out.device))
                return std::nullopt;
        } else if (a == QLatin1String("--data-folder")) {
            if (!value(out.dataFolder))
                return std::nullopt;
        } else if (a == QLatin1String("--program-folder")) {
            if (!value(out.programFolder))
                return std::nullopt;
        } else if (a == QLatin1String("--trace")) {
            out.trace = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            out.help = true;
        } else if (a == QLatin1String("--version")) {
            out.version = true;
        } else if (out.command.isEmpty() && !a.startsWith(QLatin1String("--"))) {
            out.command = a;
        } else {
            out.rest.append(a);
        }
    }
    return out;
}

QString generalHelp() {
    return kGlobalHelp;
}

QString commandHelp(const QString& command) {
    return commandHelps().value(command);
}

std::optional<CommandOptions> splitOptions(const QStringList& rest, const QStringList& withValue,
                                           const QStringList& flags, QString* error) {
    CommandOptions out;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const QString& a = rest.at(i);
        if (!a.startsWith(QLatin1String("--"))) {
            out.positional.append(a);
        } else if (flags.contains(a)) {
            out.flags.append(a);
        } else if (withValue.contains(a)) {
            if (i + 1 >= rest.size()) {
                *error = a + QStringLiteral(" needs a value");
                return std::nullopt;
            }
            out.values.insert(a, rest.at(++i));
        } else {
            *error = QStringLiteral("unknown option ") + a;
            return std::nullopt;
        }
    }
    return out;
}

} // namespace tf::ctl
