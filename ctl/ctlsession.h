#pragma once

#include "ctl/consoleui.h"
#include "ctl/ctlargs.h"
#include "link/link.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "store/config.h"

#include <functional>
#include <memory>

namespace tf::ctl {

// How long the changer gets to report its mode and play status after the handshake.
inline constexpr int kStatusWaitMs = 3000;

// What one run shares: the settings, the console user, and the link once connected.
class Session {
public:
    Session(const Arguments& args, ConsoleUi& ui);
    ~Session();

    // Reads config.KWD of the program folder (defaults when there is none; nothing is
    // created) and applies --data-folder.
    void loadConfiguration();
    Configuration& config() { return *m_config; }
    QString dataDir() const { return m_config->settings.dataDir; }

    // Opens the serial port (--device, else the configured COM port's device), runs the
    // handshake and waits for the changer's mode report. kExitOk, or the exit code with the
    // reason already on standard error.
    int connectChanger();

    Link& link() { return *m_link; }
    AppContext& context() { return *m_context; }

    // Sleeps in the link's event loop until `condition` holds or `ms` have passed.
    bool waitFor(const std::function<bool()>& condition, int ms);

private:
    const Arguments& m_args;
    ConsoleUi& m_ui;
    NullLookupService m_lookup;
    std::unique_ptr<Configuration> m_config;
    std::unique_ptr<Link> m_link;
    std::unique_ptr<AppContext> m_context;
};

} // namespace tf::ctl
