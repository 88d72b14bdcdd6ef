#pragma once

#include "common/scriptedui.h"
#include "common/simprocess.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace tf {
class Application;
class AudioTab;
class Composition;
class MainWindow;
} // namespace tf

namespace tf::test {

// TrackFen started as main() starts it, connected to changer-sim (with --log) holding the demo
// library. Lookups go to the demo's sample database, never to a server.
struct ProgramRig {
    SimProcess sim;
    QTemporaryDir program;
    ScriptedUi ui;
    std::unique_ptr<Application> app;
    MainWindow* window = nullptr;
    Composition* parts = nullptr;

    ProgramRig();
    ~ProgramRig();
    // True once the changer reported mode 0 and the audio tab shows the playing disc.
    bool start();
    AudioTab* audio() const;
    // The link is free and no command runs.
    bool idle();
    // The key codes the simulator received so far, as "a0 cb", in order.
    QStringList keyCodes();
};

} // namespace tf::test
