// trackfen-ctl: TrackFen's changer commands and library export/import for scripts.

#include "ctl/changercommands.h"
#include "ctl/consoleui.h"
#include "ctl/ctlargs.h"
#include "ctl/ctlsession.h"
#include "ctl/librarycommands.h"
#include "ctl/lookupcommand.h"
#include "ctl/searchcommand.h"
#include "link/linktrace.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // The same name as the application, so that the per-user folders and settings are shared.
    QCoreApplication::setApplicationName(QStringLiteral("TrackFen"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.1"));

    using namespace tf::ctl;
    QString error;
    const auto args = parseArguments(QCoreApplication::arguments().mid(1), &error);
    if (!args) {
        printError(error);
        return kExitUsage;
    }
    if (args->version) {
        std::puts("trackfen-ctl 1.0.1");
        return kExitOk;
    }
    const bool known = isChangerCommand(args->command) || isLibraryCommand(args->command) ||
                       isLookupCommand(args->command) || isSearchCommand(args->command);
    if (args->help || args->command.isEmpty() || !known) {
        const QString help = known ? commandHelp(args->command) : generalHelp();
        if (!args->command.isEmpty() && !known) {
            printError(QStringLiteral("Unknown command %1.\n").arg(args->command) + help);
            return kExitUsage;
        }
        std::fputs(help.toLocal8Bit().constData(), args->help ? stdout : stderr);
        return args->help ? kExitOk : kExitUsage;
    }
    if (args->trace || qEnvironmentVariableIntValue("TRACKFEN_TRACE") != 0)
        tf::enableLinkTrace();

    ConsoleUi ui;
    Session session(*args, ui);
    if (isLibraryCommand(args->command))
        return runLibraryCommand(session, *args);
    if (isSearchCommand(args->command))
        return runSearchCommand(session, *args);
    session.loadConfiguration();
    if (isLookupCommand(args->command))
        return runLookupCommand(session, *args);
    return runChangerCommand(session, *args);
}
