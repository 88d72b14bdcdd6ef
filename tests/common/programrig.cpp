#include "common/programrig.h"

#include "common/httpstub.h"
#include "common/testsupport.h"
#include "link/link.h"
#include "playback/widgets/audiotab.h"
#include "shell/widgets/application.h"
#include "shell/widgets/composition.h"
#include "shell/widgets/mainwindow.h"
#include "store/config.h"
#include "store/usersettings.h"

#include <QRegularExpression>
#include <QSettings>
#include <QTabWidget>
#include <QTest>

namespace tf::test {

ProgramRig::ProgramRig() = default;

ProgramRig::~ProgramRig() {
    if (window)
        window->close();
}

bool ProgramRig::start() {
    QSettings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP")).clear();
    if (!sim.start(sourcePath("resources/demo-library.json"), {"--log"}))
        return false;
    Configuration config(program.path());
    config.LOAD_CONFIG();
    if (!config.MarkProxyQuestionAnswered())
        return false;
    UserSettings::setComDevice(1, sim.portPath());
    QSettings s(QStringLiteral("MYAPP"), QStringLiteral("MYAPP"));
    s.setValue("CDDB/Server", "127.0.0.1");
    s.setValue("CDDB/Port", HttpStub::closedPort());
    s.setValue("CDDB/Scheme", "http");
    s.setValue("CDDB/OfflineFolder", sourcePath("resources/cddb-demo"));
    s.setValue("CDDB/OfflineMode", "instead");
    s.sync();

    app = std::make_unique<Application>(program.path(), ui);
    composeProgram(*app);
    app->splashDelayMs = 0;
    if (!app->start() || !QTest::qWaitFor([&] { return app->mainWindow(); }))
        return false;
    window = app->mainWindow();
    parts = window->findChild<Composition*>();
    return parts && QTest::qWaitFor(
                        [&] {
                            return window->tabs()->currentIndex() == MainWindow::kAudioTab &&
                                   audio()->isPrepared() &&
                                   app->link().playValues().PlayDisc != 0 && idle();
                        },
                        20000);
}

AudioTab* ProgramRig::audio() const {
    return parts->audioTab();
}

bool ProgramRig::idle() {
    return QTest::qWaitFor(
        [&] { return app->link().linkBusy() == kLinkIdle && !app->link().commandInProgress(); });
}

QStringList ProgramRig::keyCodes() {
    // "rx frame 0a: 02 0A 02 00 A0 CB 2C": STX, command, length (two bytes), the code.
    static const QRegularExpression line(
        QStringLiteral("rx frame 0a: 02 0a \\S\\S \\S\\S (\\S\\S \\S\\S)"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList codes;
    auto it = line.globalMatch(QString::fromLatin1(sim.errorOutput()));
    while (it.hasNext())
        codes << it.next().captured(1).toLower();
    return codes;
}

} // namespace tf::test
