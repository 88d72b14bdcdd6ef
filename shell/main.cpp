#include "link/linktrace.h"
#include "shell/widgets/application.h"
#include "shell/widgets/composition.h"
#include "shell/widgets/mainwindow.h"
#include "shell/widgets/startupprobe.h"
#include "shell/widgets/widgetui.h"
#include "store/config.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TrackFen"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.1"));
    // The program ends when the main window closes or the proxy settings are cancelled, not
    // when windows come and go during start-up.
    QApplication::setQuitOnLastWindowClosed(false);
    // The link trace (every unit on the wire, to standard error or the journal): --trace or
    // TRACKFEN_TRACE=1; QT_LOGGING_RULES="trackfen.link.trace.debug=true" works as well.
    if (QApplication::arguments().contains(QStringLiteral("--trace")) ||
        qEnvironmentVariableIntValue("TRACKFEN_TRACE") != 0)
        tf::enableLinkTrace();

    tf::WidgetUi ui;
    tf::Application shell(tf::Configuration::locateProgramDir(), ui);
    QObject::connect(&shell, &tf::Application::mainWindowCreated,
                     [&ui](tf::MainWindow* window) { ui.setOwner(window); });
    tf::composeProgram(shell);
    QObject::connect(&shell, &tf::Application::quitRequested, &app, &QApplication::exit,
                     Qt::QueuedConnection);
    tf::installStartupProbe(shell);
    if (!shell.start())
        return 0;
    return app.exec();
}
