// Save: the save question, the PC files and the changer's memory.

#include "base/catalogue.h"
#include "base/statusmessenger.h"
#include "editing/widgets/discpanel.h"
#include "editing/widgets/titlegrid.h"
#include "editing/widgets/titlestab.h"
#include "editing/widgets/titlestabbusy.h"
#include "link/link.h"
#include "model/playtables.h"
#include "operations/appcontext.h"
#include "operations/titleflows.h"

namespace tf {
namespace {

using Style = UserInterface::Style;

} // namespace

void TitlesTab::cmdSave_Click() {
    if (m_busy || !m_changed)
        return;
    m_grid->commitEdit();
    Busy busy(*this, Busy::kAllThree);
    m_status.ShowStatusMessage(StatusMessenger::kTitlesTab, playback::status::Saving);
    saveDialog();
}

TitlesTab::Answer TitlesTab::saveDialog() {
    m_grid->commitEdit();
    // A read-all pass cannot be left half-way: there is no Cancel then.
    const Style style = m_link.operationRunning() ? Style::YesNo : Style::YesNoCancel;
    Answer answer =
        m_ctx.ui.messageBox(msg(msgid::SaveChangesQuestion), msg(msgid::SaveFileTitle), style);
    if (answer == Answer::Yes)
        answer = saveTitles();
    if (answer != Answer::Cancel)
        m_changed = false;
    updateSaveButton();
    return answer;
}

TitlesTab::Answer TitlesTab::saveTitles() {
    // Always the disc that is shown, whatever has been typed into the list since.
    const int disc = m_disc;
    if (disc == 0 || !m_discLoaded) {
        showMessage({msgid::SelectADisc}, 0, Style::Ok);
        return Answer::Cancel;
    }
    TitlesToSave titles;
    titles.disc = disc;
    titles.identity = m_identity;
    titles.minTno = m_grid->minTno();
    titles.maxTno = m_grid->maxTno();
    titles.userFileByte = m_panel->userFileByte();
    titles.musicType = m_panel->musicTypeCode();
    titles.fullTitle = m_panel->fullTitle();
    titles.fullTitles = m_grid->columnTexts(TitleGrid::kFullColumn);
    titles.memoryTitle = m_panel->memoryTitle();
    titles.memoryTitles = m_grid->columnTexts(TitleGrid::kMemoryColumn);
    return tf::saveTitles(m_ctx, titles) ? Answer::Yes : Answer::Cancel;
}

} // namespace tf
