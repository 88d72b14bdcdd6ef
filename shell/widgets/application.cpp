#include "shell/widgets/application.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "lookup/widgets/proxywindow.h"
#include "shell/widgets/errordialog.h"
#include "shell/widgets/mainwindow.h"
#include "shell/widgets/splashwindow.h"
#include "store/scratchfiles.h"
#include "store/storefiles.h"

#include <QApplication>
#include <QFileInfo>

namespace tf {

Application::Application(const QString& programDir, UserInterface& ui, QObject* parent)
    : QObject(parent), splashDelayMs(SplashWindow::kDelayMs), m_ui(ui), m_instance(programDir),
      m_config(programDir), m_link(ui), m_context{m_link, m_config, ui, m_lookup} {}

Application::~Application() {
    // Windows go before the link and the settings they use.
    m_main.reset();
    m_proxy.reset();
    m_splash.reset();
}

void Application::setLookupService(LookupService* service) {
    m_lookup.target = service ? service : &m_lookup.null;
}

bool Application::start() {
    if (!m_instance.tryLock()) {
        m_ui.messageBox(msg(msgid::AlreadyRunning), msg(msgid::ApplicationCaption),
                        UserInterface::Style::OkExclamation);
        return false;
    }

    m_splash = std::make_unique<SplashWindow>();
    m_splash->initTM().setInterval(splashDelayMs);
    connect(m_splash.get(), &SplashWindow::initTM_Timer, this, &Application::initTM_Timer);
    m_splash->show();
    centreOver(m_splash.get(), nullptr);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_config.LOAD_CONFIG();
    // Scratch files a killed run left behind (after the instance lock: never a live one's).
    scratchfiles::removeLeftovers(m_config.programDir());
    scratchfiles::removeLeftovers(m_config.settings.dataDir);
    QApplication::restoreOverrideCursor();

    // Without a master data file the user is told how to fill it, unless he asked not to be.
    if (!QFileInfo::exists(m_config.dataPath(storefiles::kDiscData)) && m_config.settings.init == 0)
        m_ui.messageBox(msg(msgid::DiscInfoNotInChanger) + QLatin1Char('\r') +
                            msg(msgid::ReadAllDiscsFirstHint),
                        QString(), UserInterface::Style::Ok);

    m_splash->initTM().start();
    m_splashClock.start();
    return true;
}

void Application::initTM_Timer() {
    // Runs once, even though the main window's load below waits in nested event loops.
    if (m_timerRan)
        return;
    m_timerRan = true;
    m_splashWaitedMs = m_splashClock.isValid() ? m_splashClock.elapsed() : 0;
    if (m_splash)
        m_splash->initTM().stop();

    if (m_config.settings.proxySet != 0) {
        openMainWindow();
    } else if (m_ui.messageBox(msg(msgid::ProxyQuestion), msg(msgid::ProxyQuestionTitle),
                               UserInterface::Style::YesNo) == UserInterface::Answer::Yes) {
        m_proxy = std::make_unique<ProxyWindow>(m_config, m_ui);
        connect(m_proxy.get(), &ProxyWindow::accepted, this, &Application::openMainWindow,
                Qt::QueuedConnection);
        connect(m_proxy.get(), &ProxyWindow::cancelled, this, [this] { emit quitRequested(0); });
        m_proxy->show();
        centreOver(m_proxy.get(), nullptr);
    } else {
        m_config.MarkProxyQuestionAnswered();
        openMainWindow();
    }
    unloadSplash();
}

void Application::unloadSplash() {
    if (m_splash) {
        m_splash->hide();
        m_splash.release()->deleteLater();
    }
}

void Application::openMainWindow() {
    if (m_main)
        return;
    m_main = std::make_unique<MainWindow>(m_context);
    connect(m_main.get(), &MainWindow::closed, this, [this] { emit quitRequested(0); });
    emit mainWindowCreated(m_main.get());
    m_main->Form_Load(m_lookupOptions);
    emit mainWindowLoaded(m_main.get());
}

} // namespace tf
