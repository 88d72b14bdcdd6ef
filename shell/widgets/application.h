#pragma once

#include "link/link.h"
#include "lookup/lookupoptions.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "shell/singleinstance.h"
#include "store/config.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <memory>

namespace tf {

class MainWindow;
class ProxyWindow;
class SplashWindow;
class UserInterface;

// The road from process start to a ready main window: the one-instance rule, the splash
// window, the configuration, the initial instructions, the first-run proxy question, and the
// main window's load with the link start-up. It owns what the windows share.
class Application : public QObject {
    Q_OBJECT
public:
    Application(const QString& programDir, UserInterface& ui, QObject* parent = nullptr);
    ~Application() override;

    // Splash window load. False when another instance is running: the user has been told
    // and nothing was read or written; the process should end.
    bool start();

    // How long the splash window stays before the main window opens.
    int splashDelayMs;
    // How long the splash interval actually ran (for the start-up benchmark), 0 before it ends.
    qint64 splashWaitedMs() const { return m_splashWaitedMs; }

    Configuration& config() { return m_config; }
    Link& link() { return m_link; }
    LookupOptions& lookupOptions() { return m_lookupOptions; }
    AppContext& context() { return m_context; }
    // The lookup flow the tabs and operations call; nothing is looked up until one is set.
    void setLookupService(LookupService* service);

    MainWindow* mainWindow() const { return m_main.get(); }
    SplashWindow* splash() const { return m_splash.get(); }
    ProxyWindow* proxyWindow() const { return m_proxy.get(); }

    // The splash timer's work (also run by tests that do not wait for the timer).
    void initTM_Timer();

signals:
    // The main window exists and has not loaded yet: plug in the tab pages and hooks here.
    void mainWindowCreated(tf::MainWindow* window);
    // The main window has loaded (shown, link started or offline).
    void mainWindowLoaded(tf::MainWindow* window);
    // The program is to end with this exit code.
    void quitRequested(int exitCode);

private:
    // Forwards to the lookup service that is set, so the context's reference stays valid.
    class LookupForwarder : public LookupService {
    public:
        LookupService* target = &null;
        NullLookupService null;
        bool CD_TEXT_load_Not_CDDB(int disc) override {
            return target->CD_TEXT_load_Not_CDDB(disc);
        }
        bool Web_search_CDDB(int disc) override { return target->Web_search_CDDB(disc); }
        void lookUpAllDiscs() override { target->lookUpAllDiscs(); }
    };

    void openMainWindow();
    void unloadSplash();

    UserInterface& m_ui;
    SingleInstance m_instance;
    Configuration m_config;
    Link m_link;
    LookupForwarder m_lookup;
    LookupOptions m_lookupOptions;
    AppContext m_context;
    std::unique_ptr<SplashWindow> m_splash;
    std::unique_ptr<ProxyWindow> m_proxy;
    std::unique_ptr<MainWindow> m_main;
    bool m_timerRan = false;
    QElapsedTimer m_splashClock;
    qint64 m_splashWaitedMs = 0;
};

} // namespace tf
