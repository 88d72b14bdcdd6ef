#pragma once

#include "ctl/ctlargs.h"

namespace tf::ctl {

class Session;

// lookup SLOT [--source cddb|musicbrainz|both] [--json] [--write N]: the online databases'
// candidates for a disc, and with --write the chosen one's titles into DISC<n>.txt and the
// changer. The return value is the exit code.
bool isLookupCommand(const QString& command);
int runLookupCommand(Session& session, const Arguments& args);

} // namespace tf::ctl
