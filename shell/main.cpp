#include "link/widgets/widgetui.h"
#include "shell/config.h"
#include "shell/widgets/application.h"
#include "shell/widgets/composition.h"
#include "shell/widgets/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TrackFen"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.1"));
    // The program ends when the main window closes or the proxy settings are cancelled, not
    // when windows come and go during start-up.
    QApplication::setQuitOnLastWindowClosed(false);

    tf::WidgetUi ui;
    tf::Application shell(tf::Configuration::locateProgramDir(), ui);
    QObject::connect(&shell, &tf::Application::mainWindowCreated,
                     [&ui, &shell](tf::MainWindow* window) {
                         ui.setOwner(window);
                         new tf::Composition(shell, window); // owned by the window
                     });
    QObject::connect(&shell, &tf::Application::quitRequested, &app, &QApplication::exit,
                     Qt::QueuedConnection);
    if (!shell.start())
        return 0;
    return app.exec();
}
