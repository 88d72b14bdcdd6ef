#pragma once

#include "ctl/ctlargs.h"

namespace tf::ctl {

class Session;

// The commands that need no changer: discid, export, import. The return value is the exit
// code.
bool isLibraryCommand(const QString& command);
int runLibraryCommand(Session& session, const Arguments& args);

} // namespace tf::ctl
