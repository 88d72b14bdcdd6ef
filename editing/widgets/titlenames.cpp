// The user-file-name editor's commands: open, close, send the names.

#include "base/catalogue.h"
#include "base/statusmessenger.h"
#include "editing/widgets/discpanel.h"
#include "editing/widgets/titlestab.h"
#include "editing/widgets/ufeditor.h"
#include "link/link.h"
#include "model/playtables.h"
#include "operations/appcontext.h"
#include "operations/userfilenames.h"
#include "store/config.h"
#include "store/storefiles.h"
#include "store/userfiles.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace tf {
namespace {

using Style = UserInterface::Style;

} // namespace

void TitlesTab::cmdUFEdit_Click() {
    if (m_nameEditorOpen)
        return;
    QListWidget* list = m_panel->userFileList();
    list->hide();
    list->setEnabled(false);
    m_ufEditor->setNames(userfiles::loadForNameEditor(dataPath(storefiles::kUserFileNames)));
    m_nameEditorOpen = true;
    m_status.ShowStatusMessage(StatusMessenger::kTitlesTab, playback::status::RewritingNames);
    // The panel covers the check list it replaces while it is open.
    const QPoint at = list->mapTo(this, QPoint(0, 0));
    m_ufEditor->adjustSize();
    m_ufEditor->move(qMax(0, qMin(at.x(), width() - m_ufEditor->width())), at.y());
    m_ufEditor->setEnabled(true);
    m_ufEditor->show();
    m_ufEditor->raise();
    m_ufEditor->box(1)->setFocus(Qt::OtherFocusReason);
}

void TitlesTab::closeNameEditor(int statusIndex) {
    m_ufEditor->hide();
    m_ufEditor->setEnabled(false);
    m_nameEditorOpen = false;
    QListWidget* list = m_panel->userFileList();
    list->show();
    list->setEnabled(true);
    m_status.ShowStatusMessage(StatusMessenger::kTitlesTab, statusIndex);
}

void TitlesTab::ufeSave() {
    if (m_busy || m_link.commandInProgress())
        return;
    const bool sent = sendNames();
    // "Updated" only when the names did reach the changer (or there is none to reach).
    closeNameEditor(sent ? playback::status::NamesUpdated : playback::status::NameEditorClosed);
}

void TitlesTab::ufeQuit() {
    if (!m_ufEditor->changed()) {
        closeNameEditor(playback::status::NameEditorClosed);
        return;
    }
    switch (m_ctx.ui.messageBox(msg(msgid::SaveChangesQuestion), msg(msgid::SaveFileTitle),
                                Style::YesNoCancel)) {
    case Answer::Yes:
        if (m_busy || m_link.commandInProgress())
            return;
        closeNameEditor(sendNames() ? playback::status::NamesUpdated
                                    : playback::status::NameEditorClosed);
        break;
    case Answer::No:
        closeNameEditor(playback::status::NameEditorClosed);
        break;
    default:
        break; // Cancel: the panel stays open with what was typed
    }
}

bool TitlesTab::sendNames() {
    m_busy = true;
    const QStringList names = m_ufEditor->names();
    bool accepted = true; // without a changer the lists are all there is to update
    if (changerConnected()) {
        accepted =
            sendUserFileNames(m_link, m_ctx.config, m_ctx.ui, names) == UserFileNamesResult::Sent;
    }
    // The lists show the names the changer holds: names it refused or never received are
    // not spread.
    if (accepted) {
        const QStringList shown = namesWithDefaults(names);
        m_panel->setUserFileNames(shown);
        if (spreadUserFileNames)
            spreadUserFileNames(shown);
    }
    m_ufEditor->clearChanged();
    m_busy = false;
    return accepted;
}

} // namespace tf
