#include "operations/userfilenames.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "link/frame.h"
#include "link/link.h"
#include "operations/exchange.h"
#include "store/config.h"
#include "store/storefiles.h"
#include "store/userfiles.h"

namespace tf {

UserFileNamesResult sendUserFileNames(Link& link, const Configuration& config, UserInterface& ui,
                                      const QStringList& names) {
    if (!link.Tarminal_Base_check())
        return UserFileNamesResult::Offline;
    const LinkHold hold(link, kLinkStore);
    quint8 answer = 0;
    UserFileNamesResult result = UserFileNamesResult::Failed;
    if (link.ConfirmRequest(kRequestUserFileNameInput, 0, answer)) {
        if (!userFileNamesAllowed(answer)) {
            ui.messageBox(msg(msgid::UserFileNameRejected), msg(msgid::EnterUserFileNames),
                          UserInterface::Style::Ok);
            result = UserFileNamesResult::Rejected;
        } else if (UploadUserFileNames(link, config, ui, names)) {
            result = UserFileNamesResult::Sent;
        }
    }
    return result;
}

bool UploadUserFileNames(Link& link, const Configuration& config, UserInterface& ui,
                         const QStringList& names) {
    bool progressShown = false;
    const auto report = [&] {
        ops::catchAnswer(link);
        if (progressShown)
            ui.closeProgress();
        link.ShowLinkError(msg(msgid::UserFileNameTransmitError),
                           msg(msgid::TransmitUserFileNameTitle));
        link.recordResult(false);
        return false;
    };
    if (ops::openExchange(link) != ops::StepResult::Acked)
        return report();
    RequestRecord request = link.request();
    request.RequestTrack = 1;
    request.RequestKind = kTextKindUserFileName;
    if (ops::showsProgress(config)) {
        ui.showProgress({msg(msgid::TransmitUserFileNameTitle),
                         msg(msgid::TransmittingUserFileNames),
                         kUserFileCount,
                         1,
                         {}});
        progressShown = true;
    }
    for (int i = 0; i < kUserFileCount; ++i) {
        request.RequestText = names.value(i);
        if (ops::sendAcked(link, [&] { link.SendTitleFrame(request); }) != ops::StepResult::Acked)
            return report();
        request.RequestTrack = quint8(request.RequestTrack << 1);
        if (progressShown)
            ui.setProgressValue(i + 1);
    }
    if (progressShown) {
        ui.closeProgress();
        progressShown = false;
    }
    if (ops::closeExchange(link) != ops::StepResult::Acked)
        return report();
    link.recordResult(true);

    QStringList boxes = names.mid(0, kUserFileCount);
    while (boxes.size() < kUserFileCount)
        boxes.append(QString());
    QString error;
    if (!userfiles::write(config.dataPath(storefiles::kUserFileNames), boxes, &error)) {
        // The changer has the names; only the PC's copy is stale until the next start-up.
        ui.messageBox(error, applicationTitle(), UserInterface::Style::OkExclamation);
        return false;
    }
    return true;
}

} // namespace tf
