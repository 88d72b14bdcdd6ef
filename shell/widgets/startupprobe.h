#pragma once

namespace tf {

class Application;

// For the start-up benchmark: with TRACKFEN_STARTUP_PROBE set in the environment, the first
// time the main window is painted the program prints one line to standard output,
//   "startup-probe shown-ms=N splash-ms=N peak-kib=N"
// (milliseconds since main() began, the splash interval that passed, the peak resident memory)
// and ends at once. Without the variable nothing happens.
void installStartupProbe(Application& shell);

} // namespace tf
