#include "operations/comport.h"

#include "link/link.h"
#include "store/usersettings.h"

namespace tf {

int Rs232cINIT(Link& link, int comPort) {
    return link.openDevice(UserSettings::comDevice(comPort));
}

bool startUpLink(Link& link, int comPort) {
    return link.startUpLink(UserSettings::comDevice(comPort));
}

} // namespace tf
