#pragma once

// The lookup component's own options in the per-user settings store (group "CDDB"): server,
// paths, e-mail, proxy and the offline copy. The proxy password is not kept here: it goes to
// the desktop's secret store or a private file (see PasswordStore).

#include "lookup/cddbprotocol.h"

namespace tf {

class CddbSettings {
public:
    static constexpr char kGroup[] = "CDDB";

    // The stored options over the defaults; the password is left empty.
    static CddbOptions load();
    // Stores everything but the password.
    static void save(const CddbOptions& options);
    // Whether options were ever stored (the first-run proxy hand-over fills them once).
    static bool exist();

    static QString offlineModeName(CddbOptions::Offline mode);
    static CddbOptions::Offline offlineModeFromName(const QString& name);
};

} // namespace tf
