// Load and reload: what the PC and the changer know about the disc in one slot.

#include "base/catalogue.h"
#include "base/statusmessenger.h"
#include "editing/memorytitles.h"
#include "editing/widgets/discpanel.h"
#include "editing/widgets/titlegrid.h"
#include "editing/widgets/titlestab.h"
#include "editing/widgets/titlestabbusy.h"
#include "link/link.h"
#include "model/playtables.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "operations/textdownload.h"
#include "store/config.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/disclist.h"
#include "store/storefiles.h"
#include "store/textfile.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>

namespace tf {
namespace {

constexpr int kMaxSlot = 200;

using Style = UserInterface::Style;

} // namespace

void TitlesTab::cmdLoad_Click() {
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
    m_minTno = 1;
    m_maxTno = 1;
    m_toc.clear();
    m_discInfo = 0;
    m_status.ShowStatusMessage(StatusMessenger::kTitlesTab, statusIndex);
    m_panel->clearValues();
    m_grid->setUp(1, 1);
    m_backInfo->clear();
    updateSaveButton();
}

bool TitlesTab::readDiscValues(int disc) {
    m_userFileByte = 0;
    m_musicType = 0;
    bool ok = true;
    if (changerConnected() && m_link.Tarminal_Base_check()) {
        const LinkHold hold(m_link, kLinkStore);
        quint8 value = 0;
        ok = m_link.ReadUserFile(quint16(disc), value);
        if (ok)
            m_userFileByte = value;
        if (ok) {
            ok = m_link.ReadMusicType(quint16(disc), value);
            if (ok)
                m_musicType = value;
        }
    }
    m_panel->setUserFileByte(m_userFileByte);
    m_panel->setMusicTypeCode(m_musicType);
    return ok;
}

TitlesTab::TocRead TitlesTab::readTocFromChanger(int disc) {
    // The changer reports the table when the disc is ready. That report is taken by the link
    // poll, so the link is not held while waiting.
    const bool wasRunning = m_link.operationRunning();
    m_link.setOperationRunning(true);
    const bool ready = m_link.waitForToc(disc, m_link.timings().tocWaitMs);
    m_link.setOperationRunning(wasRunning);
    if (!ready)
        return TocRead::Timeout;
    if (!m_link.Tarminal_Base_check())
        return TocRead::Error;
    DiscToc toc;
    const bool ok =
        whileHolding(m_link, kLinkStore, [&] { return m_link.ReadDiscId(quint16(disc), toc); });
    if (!ok)
        return TocRead::Error;
    if (toc.highest == 0) {
        // An empty slot is reported ready with no tracks: there is nothing to edit.
        showMessage({msgid::SlotEmptyOrUnreadable, msgid::ReselectDisc}, msgid::ReadingDiscTitle,
                    Style::Ok);
        return TocRead::Error;
    }
    m_minTno = qint16(qMax<int>(toc.lowest, 1));
    m_maxTno = qint16(qMax<int>(toc.highest, m_minTno));
    m_discInfo = qint16(toc.discInfo);
    m_toc = toc.entries;
    m_identity.disc = quint8(disc);
    const auto id = ComputeDiscId(toc.entries);
    m_identity.id = id ? *id : DiscIdBytes{};
    return TocRead::Ok;
}

void TitlesTab::offerWebSearch(int disc) {
    const ConfigSettings& s = m_ctx.config.settings;
    if (s.noWebSearch == 1)
        return;
    if (s.alwaysWebSearch == 0) {
        const Answer answer = m_ctx.ui.messageBox(msg(msgid::NoFile) + QLatin1Char('\r') +
                                                      msg(msgid::SearchInternetQuestion),
                                                  msg(msgid::TitleLoadingErrorTitle), Style::YesNo);
        if (answer != Answer::Yes)
            return;
    }
    m_ctx.lookup.Web_search_CDDB(disc);
}

void TitlesTab::writeMasterBlock(quint8 userFileByte, quint8 musicType) {
    DiscRecord record;
    record.identity = m_identity;
    record.minTno = m_minTno;
    record.maxTno = m_maxTno;
    record.toc = m_toc;
    record.discInfo = m_discInfo;
    record.userFileByte = userFileByte;
    record.musicType = musicType;
    QString error;
    if (!discdata::replaceBlock(m_ctx.config.settings.dataDir, record, &error))
        m_ctx.ui.messageBox(error, QString(), Style::OkExclamation);
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
    readDiscValues(disc);
    const Next next = QFile::exists(dataPath(storefiles::kDiscData)) ? loadFromMasterFile(disc)
                                                                     : loadWithoutMasterFile(disc);
    if (next != Next::Stop)
        finishLoad(disc, next == Next::Download);
}

TitlesTab::Next TitlesTab::loadWithoutMasterFile(int disc) {
    if (!changerConnected())
        return Next::Finish;
    if (disc != m_link.playValues().PlayDisc) {
        showMessage({msgid::NotEnoughDiscInfo, msgid::ReselectDisc}, msgid::CautionTitle,
                    Style::Ok);
        return Next::Download;
    }
    if (readTocFromChanger(disc) != TocRead::Ok)
        return Next::Stop;
    const auto restored = m_identity.idKnown()
                              ? discfile::restore(m_ctx.config.settings.dataDir, m_identity)
                              : discfile::RestoreResult::NotFound;
    if (restored == discfile::RestoreResult::NotFound) {
        if (m_discInfo & kDiscInfoCdText)
            m_ctx.lookup.CD_TEXT_load_Not_CDDB(disc);
        else
            offerWebSearch(disc);
    }
    writeMasterBlock(m_userFileByte, m_musicType);
    showDiscFileOrEmpty(disc);
    return Next::Download;
}

TitlesTab::Next TitlesTab::loadFromMasterFile(int disc) {
    const auto block = discdata::readBlock(dataPath(storefiles::kDiscData), disc);
    if (!block) {
        showMessage({msgid::SlotEmptyOrUnreadable, msgid::ReselectDisc}, msgid::ReadingDiscTitle,
                    Style::Ok);
        m_grid->setUp(m_minTno, m_maxTno);
        return Next::Download;
    }
    m_identity = block->identity;
    m_identity.disc = quint8(disc);
    m_minTno = block->minTno;
    m_maxTno = block->maxTno;
    m_toc = block->toc;
    m_discInfo = block->discInfo;

    const QString& dataDir = m_ctx.config.settings.dataDir;
    const QString fileName = dataPath(discfile::fileName(disc));
    const QString scratch = dataPath(discfile::scratchFileName(disc));
    auto restore = [&] {
        return m_identity.idKnown() ? discfile::restore(dataDir, m_identity)
                                    : discfile::RestoreResult::NotFound;
    };
    if (QFile::exists(fileName)) {
        if (discfile::checkId(fileName, m_identity) == discfile::IdCheck::Mismatch) {
            // The slot holds another disc now. restore() parks that disc's file first.
            if (restore() == discfile::RestoreResult::NotFound &&
                m_ctx.config.settings.noWebSearch != 1) {
                // The other disc's titles are kept under its own identifier, where a later
                // load finds them, instead of becoming this disc's scratch file.
                discfile::park(fileName);
                offerWebSearch(disc);
                writeMasterBlock(0, 0);
            }
        }
    } else if (QFile::exists(scratch)) {
        discfile::refreshIdentifier(scratch, m_identity, m_minTno, m_maxTno);
    } else if (restore() == discfile::RestoreResult::NotFound) {
        showMessage({msgid::TitlesMayBelongToOtherDisc, msgid::ReloadDiscAdvice},
                    msgid::CautionTitle, Style::Ok);
        offerWebSearch(disc);
    }
    showDiscFileOrEmpty(disc);
    return Next::Download;
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

    if (disc != m_link.playValues().PlayDisc) {
        if (!m_link.Tarminal_Base_check())
            return;
        const bool ok = whileHolding(m_link, kLinkStore, [&] {
            if (m_link.playValues().PlayMode != 0)
                m_link.RequestPlayMode(0, 0);
            return m_link.RequestPlay(quint16(disc), 1, 0);
        });
        if (!ok)
            return; // the changer was told and said no; the error has been shown
        if (m_link.playValues().PlayDisc != disc)
            m_link.forgetTocReady();
    }
    const TocRead toc = readTocFromChanger(disc);
    if (toc == TocRead::Error)
        return;
    readDiscValues(disc);
    if (toc == TocRead::Timeout) {
        m_grid->setUp(1, 1);
        finishLoad(disc, true);
        return;
    }
    writeMasterBlock(m_userFileByte, m_musicType);
    const QString scratch = dataPath(discfile::scratchFileName(disc));
    if (QFile::exists(scratch))
        discfile::refreshIdentifier(scratch, m_identity, m_minTno, m_maxTno);
    else if (m_discInfo & kDiscInfoCdText)
        m_ctx.lookup.CD_TEXT_load_Not_CDDB(disc);
    else
        offerWebSearch(disc);
    // An existing file is shown also when no lookup ran (web search switched off or declined).
    showDiscFileOrEmpty(disc);
    finishLoad(disc, true);
}

void TitlesTab::showDiscFileOrEmpty(int disc) {
    const QString path = dataPath(discfile::fileName(disc));
    if (QFile::exists(path)) {
        showDiscFile(path);
    } else {
        m_grid->setUp(m_minTno, m_maxTno);
        m_backInfo->clear();
    }
}

void TitlesTab::showDiscFile(const QString& path) {
    const auto content = discfile::readDiscFile(path);
    if (!content) {
        m_grid->setUp(m_minTno, m_maxTno);
        return;
    }
    int lowest = content->numbers.minTno;
    int highest = content->numbers.maxTno;
    // A damaged track range is not taken: the grid follows what the changer reported.
    if (lowest < kMinTrack || highest < lowest || highest > kMaxTrack) {
        lowest = m_minTno;
        highest = m_maxTno;
    }
    m_grid->setUp(lowest, highest);
    if (content->hasDiscTitle)
        m_panel->setFullTitle(content->discTitle);
    const int lines =
        qMin<int>(qMin<int>(highest, content->trackTitles.size()), m_grid->trackRows());
    for (int r = 0; r < lines; ++r)
        m_grid->setCellText(r, TitleGrid::kFullColumn, content->trackTitles.at(r));
    m_backInfo->setText(QFileInfo(path).fileName());
}

void TitlesTab::finishLoad(int disc, bool download) {
    if (download && changerConnected() && m_link.Tarminal_Base_check()) {
        const bool ok = whileHolding(m_link, kLinkStore, [&] {
            return downloadEditorTitles(m_link, m_ctx.config, m_ctx.ui, disc, m_grid->maxTno(),
                                        m_userFileByte, m_musicType);
        });
        // A failed download leaves an older texttmp.txt behind, maybe of another disc.
        if (ok)
            fillMemoryColumn(m_ctx.config.programPath(storefiles::kOneDisc));
    }
    m_discLoaded = true;
}

void TitlesTab::fillMemoryColumn(const QString& path) {
    const auto lines = textfile::readLines(path);
    if (!lines)
        return;
    const memorytitles::MemoryTitles titles = memorytitles::fromRecords(*lines);
    if (titles.discTitle)
        m_panel->setMemoryTitle(*titles.discTitle);
    for (auto it = titles.trackTitles.cbegin(); it != titles.trackTitles.cend(); ++it) {
        const int row = m_grid->rowOfTrack(it.key());
        if (row >= 0)
            m_grid->setCellText(row, TitleGrid::kMemoryColumn, it.value());
    }
}

} // namespace tf
