#pragma once

#include "ctl/ctlargs.h"

namespace tf::ctl {

class Session;

// search WORDS... [--json] [--play N]: the title index of the data folder, as the main window's
// search field lists it; --play N plays the N-th result under the audio tab's rules.
bool isSearchCommand(const QString& command);
int runSearchCommand(Session& session, const Arguments& args);

} // namespace tf::ctl
