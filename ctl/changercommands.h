#pragma once

#include "ctl/ctlargs.h"

namespace tf::ctl {

class Session;

// The commands that talk to the changer: status, play, key, mode, program, titles, upload,
// read-all. Each checks its arguments before the port is opened; the return value is the
// exit code. `known` says whether `command` is one of them.
bool isChangerCommand(const QString& command);
int runChangerCommand(Session& session, const Arguments& args);

} // namespace tf::ctl
