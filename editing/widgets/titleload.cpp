// Load and reload: what the PC and the changer know about the disc in one slot.

#include "base/catalogue.h"
#include "base/statusmessenger.h"
#include "editing/widgets/discpanel.h"
#include "editing/widgets/titlegrid.h"
#include "editing/widgets/titlestab.h"
#include "editing/widgets/titlestabbusy.h"
#include "link/link.h"
#include "model/playtables.h"
#include "operations/appcontext.h"
#include "operations/memorytitles.h"
#include "operations/titleflows.h"
#include "store/disclist.h"

#include <QComboBox>
#include <QLabel>

namespace tf {
namespace {

constexpr int kMaxSlot = 200;

using Style = UserInterface::Style;

} // namespace

void TitlesTab::cmdLoad_Click() {
    loadDisc();
}

void TitlesTab::openDisc(int disc) {
    if (m_busy)
        return;
    m_grid->commitEdit();
    // Asked before the list shows the new number, so that Cancel leaves everything as it was.
    if (m_changed && saveDialog() == Answer::Cancel)
        return;
    m_panel->showDisc(disc);
    loadDisc();
}

void TitlesTab::cmdReload_Click() {
    reloadDisc();
}

// The disc number shown in the list, 0 after telling the user why it cannot be taken.
int TitlesTab::takeDiscNumber(bool checkList) {
    const QString text = m_panel->discText().trimmed();
    bool ok = false;
    const int disc = text.toInt(&ok);
    // The range comes first: a number no slot can have gets its message rather than a
    // silent reset by the list check.
    if (!ok || disc < 1 || disc > kMaxSlot) {
        showMessage({msgid::InvalidDiscOrSlot}, msgid::CautionTitle, Style::OkExclamation);
        m_panel->showDisc(m_disc);
        return 0;
    }
    if (checkList && m_panel->discList()->count() > 0) {
        QStringList items;
        for (int i = 0; i < m_panel->discList()->count(); ++i)
            items.append(m_panel->discList()->itemText(i));
        if (disclist::findSlotItem(items, text) < 0) {
            m_panel->showDisc(m_disc);
            return 0;
        }
    }
    return disc;
}

void TitlesTab::resetForLoad(int disc, int statusIndex) {
    m_discLoaded = false;
    m_changed = false; // what was unsaved has been saved or given up by now
    m_identity = DiscIdentity{};
    m_identity.disc = quint8(disc);
    m_disc = disc;
    m_status.ShowStatusMessage(StatusMessenger::kTitlesTab, statusIndex);
    m_panel->clearValues();
    m_grid->setUp(1, 1);
    m_backInfo->clear();
    updateSaveButton();
}

void TitlesTab::loadDisc() {
    if (m_busy)
        return;
    m_grid->commitEdit();
    Busy busy(*this, Busy::kLoad);
    const int disc = takeDiscNumber(true);
    if (disc == 0)
        return;
    if (m_changed && saveDialog() == Answer::Cancel)
        return;
    resetForLoad(disc, playback::status::Loading);
    showLoaded(tf::loadDisc(m_ctx, disc));
}

void TitlesTab::reloadDisc() {
    if (m_busy || !changerConnected())
        return;
    m_grid->commitEdit();
    Busy busy(*this, Busy::kAllThree);
    const int disc = takeDiscNumber(false);
    if (disc == 0)
        return;
    if (disc != m_link.playValues().PlayDisc &&
        m_ctx.ui.messageBox(msg(msgid::DifferentDiscLoaded) + QLatin1Char('\r') +
                                msg(msgid::ChangeDiscQuestion),
                            msg(msgid::ReadingDiscTitle), Style::YesNo) != Answer::Yes)
        return;
    if (m_changed && saveDialog() == Answer::Cancel)
        return;
    resetForLoad(disc, playback::status::Reloading);
    showLoaded(tf::reloadDisc(m_ctx, disc));
}

void TitlesTab::showLoaded(const LoadedDisc& loaded) {
    m_identity = loaded.identity;
    if (loaded.valuesRead) {
        m_panel->setUserFileByte(loaded.userFileByte);
        m_panel->setMusicTypeCode(loaded.musicType);
    }
    if (loaded.status != LoadedDisc::Status::Loaded)
        return;
    m_grid->setUp(loaded.firstTrack, loaded.lastTrack);
    if (loaded.pcDiscTitle)
        m_panel->setFullTitle(*loaded.pcDiscTitle);
    const int lines =
        qMin<int>(qMin<int>(loaded.lastTrack, loaded.pcTrackTitles.size()), m_grid->trackRows());
    for (int r = 0; r < lines; ++r)
        m_grid->setCellText(r, TitleGrid::kFullColumn, loaded.pcTrackTitles.at(r));
    m_backInfo->setText(loaded.pcFileName);
    if (loaded.memory) {
        if (loaded.memory->discTitle)
            m_panel->setMemoryTitle(*loaded.memory->discTitle);
        const auto& tracks = loaded.memory->trackTitles;
        for (auto it = tracks.cbegin(); it != tracks.cend(); ++it) {
            const int row = m_grid->rowOfTrack(it.key());
            if (row >= 0)
                m_grid->setCellText(row, TitleGrid::kMemoryColumn, it.value());
        }
    }
    m_discLoaded = true;
}

} // namespace tf
