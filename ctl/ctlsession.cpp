#include "ctl/ctlsession.h"

#include "store/usersettings.h"

#include <QDir>
#include <QFile>
#include <QTimer>

namespace tf::ctl {

Session::Session(const Arguments& args, ConsoleUi& ui) : m_args(args), m_ui(ui) {}

Session::~Session() {
    if (m_link)
        m_link->closePort();
}

void Session::loadConfiguration() {
    const QString programDir =
        m_args.programFolder.isEmpty() ? Configuration::locateProgramDir() : m_args.programFolder;
    m_config = std::make_unique<Configuration>(programDir);
    // Only read: the application's start-up rewrites damaged settings and user-file names,
    // a script must not.
    if (QFile::exists(m_config->configPath()) && !m_config->readSettings())
        printError(QStringLiteral("warning: %1 is incomplete; missing settings take their "
                                  "defaults")
                       .arg(m_config->configPath()));
    if (!m_args.dataFolder.isEmpty()) {
        QString dir = QDir::cleanPath(m_args.dataFolder);
        if (!dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        m_config->settings.dataDir = dir;
    }
}

int Session::connectChanger() {
    const QString device = m_args.device.isEmpty()
                               ? UserSettings::comDevice(m_config->settings.comPort)
                               : m_args.device;
    if (device.isEmpty()) {
        printError(QStringLiteral("No COM port is chosen in the settings; give --device PATH."));
        return kExitChanger;
    }
    m_link = std::make_unique<Link>(m_ui);
    m_context = std::make_unique<AppContext>(AppContext{*m_link, *m_config, m_ui, m_lookup});
    // The link tells a port that will not open in a message box meant for the window; a
    // script wants the reason alone, and an exit code that tells "busy" from "broken".
    QStringList openMessages;
    m_ui.capture = &openMessages;
    const int opened = m_link->openDevice(device);
    m_ui.capture = nullptr;
    if (opened != 0) {
        printError(QStringLiteral("Cannot open the serial port %1.").arg(device));
        printError(m_link->openProblemText());
        return m_link->openProblem() == PortProblem::InUse ? kExitBusy : kExitChanger;
    }
    m_link->RS232C_Changer_INIT();
    if (m_link->linkBusy() != kLinkIdle) {
        printError(QStringLiteral("The changer on %1 does not answer.").arg(device));
        return kExitChanger;
    }
    // The display of the status is ours to do; the link only stores what the changer pushes.
    m_link->markEstablished();
    waitFor([this] { return m_link->modeCode() != 0; }, kStatusWaitMs);
    return kExitOk;
}

bool Session::waitFor(const std::function<bool()>& condition, int ms) {
    return m_link->waitUntil(condition, ms);
}

} // namespace tf::ctl
