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
#include "operations/titleupload.h"
#include "store/config.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/disclist.h"

#include <QFile>

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
    const bool fileExists = QFile::exists(dataPath(discfile::fileName(disc)));
    if (!fileExists ||
        m_ctx.ui.messageBox(msg(msgid::UpdateDataQuestion), msg(msgid::SaveFileTitle),
                            Style::YesNo) == Answer::Yes) {
        if (!savePcFiles(disc))
            return Answer::Cancel;
    }
    return saveToChanger(disc);
}

bool TitlesTab::savePcFiles(int disc) {
    const QString& dataDir = m_ctx.config.settings.dataDir;
    QString error;
    const auto values = discdata::updateUserFileAndMusicType(
        dataDir, disc, m_panel->userFileByte(), m_panel->musicTypeCode(), m_ctx.ui, &error);
    if (values == discdata::ValueUpdate::Failed)
        m_ctx.ui.messageBox(error, QString(), Style::OkExclamation);
    disclist::updateTitle(dataDir, disc, m_panel->fullTitle());

    discfile::EditorTitles titles;
    titles.firstTrack = m_grid->minTno();
    titles.discTitle = m_panel->fullTitle();
    titles.trackTitles = m_grid->columnTexts(TitleGrid::kFullColumn);
    if (!discfile::writeFromEditor(dataPath(discfile::fileName(disc)), m_identity, titles,
                                   &error)) {
        // The titles stay in the editor, unsaved, for another try.
        m_ctx.ui.messageBox(error, QString(), Style::OkExclamation);
        return false;
    }
    return true;
}

TitlesTab::Answer TitlesTab::saveToChanger(int disc) {
    if (!changerConnected())
        return Answer::Yes;
    if (!m_link.Tarminal_Base_check())
        return Answer::Cancel;
    // Given back before the refusal is shown: the message box must not keep the link.
    std::optional<LinkHold> hold(std::in_place, m_link, kLinkStore);
    const int allowed = m_link.ConfirmTitleInput(quint16(disc));
    if (m_link.lastResult() != kResultOk)
        return Answer::Cancel; // the changer's error has been shown
    if (allowed != 1) {
        hold.reset();
        showMessage({msgid::NoTitleInputForDisc}, msgid::TitleInputTitle, Style::Ok);
        return Answer::Cancel;
    }
    EditorTitlesUpload upload;
    upload.disc = disc;
    upload.minTno = m_grid->minTno();
    upload.maxTno = m_grid->maxTno();
    upload.musicType = m_panel->musicTypeCode();
    upload.userFileByte = m_panel->userFileByte();
    upload.discTitle = m_panel->memoryTitle();
    upload.trackTitles = m_grid->columnTexts(TitleGrid::kMemoryColumn);
    const bool ok = UploadEditorTitles(m_link, m_ctx.config, m_ctx.ui, upload);
    return ok ? Answer::Yes : Answer::Cancel;
}

} // namespace tf
