#pragma once

namespace tf {

class Configuration;
class Link;
class LookupService;
class StatusMessenger;
class UserInterface;

// What the tabs, panels and operations share: the link, the settings, the user and the
// lookup flow. The main window owns them; everything else receives this by reference.
struct AppContext {
    Link& link;
    Configuration& config;
    UserInterface& ui;
    LookupService& lookup;
};

} // namespace tf
