#include "operations/lookupservice.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "store/config.h"

namespace tf {

bool askToSearchOnline(const ConfigSettings& settings, UserInterface& ui) {
    if (settings.noWebSearch == 1)
        return false;
    if (settings.alwaysWebSearch != 0)
        return true;
    return ui.messageBox(msg(msgid::NoFile) + QLatin1Char('\r') +
                             msg(msgid::SearchInternetQuestion),
                         msg(msgid::TitleLoadingErrorTitle),
                         UserInterface::Style::YesNo) == UserInterface::Answer::Yes;
}

} // namespace tf
