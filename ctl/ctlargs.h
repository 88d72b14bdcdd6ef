#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace tf::ctl {

// Exit codes, as --help and the README list them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;   // unknown command or option, missing or bad argument
inline constexpr int kExitChanger = 2; // the port cannot be opened, the changer does not answer
                                       // or refuses
inline constexpr int kExitData = 3;    // a file cannot be read or written, or is malformed
inline constexpr int kExitBusy = 4;    // another program (TrackFen itself) holds the serial port
inline constexpr int kExitRefused = 5; // import: discs left alone (identifier differs), the rest
                                       // written

struct Arguments {
    QString device;        // --device
    QString dataFolder;    // --data-folder
    QString programFolder; // --program-folder
    bool trace = false;    // --trace
    bool help = false;     // --help (for the command when one is given)
    bool version = false;  // --version
    QString command;
    QStringList rest; // the command's own arguments and options, in order
};

// Takes the global options from anywhere on the line; the first other word is the command.
// nullopt with *error for a global option without its value.
std::optional<Arguments> parseArguments(const QStringList& args, QString* error);

// The whole help, or one command's; empty for an unknown command.
QString generalHelp();
QString commandHelp(const QString& command);

// A command's options: `--name value` pairs for those in `withValue`, flags for those in
// `flags`, everything else positional. nullopt with *error for an unknown option.
struct CommandOptions {
    QStringList positional;
    QStringList flags;
    QHash<QString, QString> values;
};
std::optional<CommandOptions> splitOptions(const QStringList& rest, const QStringList& withValue,
                                           const QStringList& flags, QString* error);

} // namespace tf::ctl
