#include "operations/titleflows.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "link/link.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "operations/textdownload.h"
#include "operations/titleupload.h"
#include "store/config.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/disclist.h"
#include "store/discrecord.h"
#include "store/storefiles.h"
#include "store/textfile.h"

#include <QFile>
#include <QFileInfo>

namespace tf {
namespace {

using Style = UserInterface::Style;
using Answer = UserInterface::Answer;

enum class TocRead { Ok, Timeout, Error };
// After the PC side of a load: stop, fetch the memory titles, or finish without them.
enum class Next { Stop, Download, Finish };

// One load or reload: the context and the disc being put together.
class DiscFlow {
public:
    DiscFlow(AppContext& ctx, int disc) : m_ctx(ctx), m_link(ctx.link) {
        m_out.disc = disc;
        m_out.identity.disc = quint8(disc);
    }

    LoadedDisc load();
    LoadedDisc reload();

private:
    void showMessage(const QList<int>& ids, int titleId, Style style);
    QString dataPath(const QString& name) const { return m_ctx.config.dataPath(name); }
    bool connected() const { return changerConnected(m_link); }
    void readValues();
    TocRead readToc();
    bool putIntoPlayer();
    Next loadWithoutMasterFile();
    Next loadFromMasterFile();
    void takeMasterBlock(const DiscRecord& block);
    void offerWebSearch();
    void writeMasterBlock(quint8 userFileByte, quint8 musicType);
    void readDiscFileIfAny();
    LoadedDisc finish(bool download);
    LoadedDisc stop() { return m_out; }

    AppContext& m_ctx;
    Link& m_link;
    LoadedDisc m_out;
};

void DiscFlow::showMessage(const QList<int>& ids, int titleId, Style style) {
    QStringList texts;
    for (int id : ids)
        texts.append(msg(id));
    m_ctx.ui.messageBox(texts.join(QLatin1Char('\r')), titleId ? msg(titleId) : QString(), style);
}

void DiscFlow::readValues() {
    m_out.valuesRead = true;
    if (!connected() || !m_link.Tarminal_Base_check())
        return;
    const LinkHold hold(m_link, kLinkStore);
    quint8 value = 0;
    if (!m_link.ReadUserFile(quint16(m_out.disc), value))
        return;
    m_out.userFileByte = value;
    if (m_link.ReadMusicType(quint16(m_out.disc), value))
        m_out.musicType = value;
}

TocRead DiscFlow::readToc() {
    // The changer reports the table when the disc is ready. That report is taken by the link
    // poll, so the link is not held while waiting.
    const bool wasRunning = m_link.operationRunning();
    m_link.setOperationRunning(true);
    const bool ready = m_link.waitForToc(m_out.disc, m_link.timings().tocWaitMs);
    m_link.setOperationRunning(wasRunning);
    if (!ready)
        return TocRead::Timeout;
    if (!m_link.Tarminal_Base_check())
        return TocRead::Error;
    DiscToc toc;
    const bool ok = whileHolding(m_link, kLinkStore,
                                 [&] { return m_link.ReadDiscId(quint16(m_out.disc), toc); });
    if (!ok)
        return TocRead::Error;
    if (toc.highest == 0) {
        // An empty slot is reported ready with no tracks: there is nothing to edit.
        showMessage({msgid::SlotEmptyOrUnreadable, msgid::ReselectDisc}, msgid::ReadingDiscTitle,
                    Style::Ok);
        return TocRead::Error;
    }
    m_out.minTno = qint16(qMax<int>(toc.lowest, 1));
    m_out.maxTno = qint16(qMax<int>(toc.highest, m_out.minTno));
    m_out.discInfo = qint16(toc.discInfo);
    m_out.toc = toc.entries;
    const auto id = ComputeDiscId(toc.entries);
    m_out.identity.id = id ? *id : DiscIdBytes{};
    return TocRead::Ok;
}

void DiscFlow::offerWebSearch() {
    if (askToSearchOnline(m_ctx.config.settings, m_ctx.ui))
        m_ctx.lookup.Web_search_CDDB(m_out.disc);
}

void DiscFlow::writeMasterBlock(quint8 userFileByte, quint8 musicType) {
    DiscRecord record;
    record.identity = m_out.identity;
    record.minTno = m_out.minTno;
    record.maxTno = m_out.maxTno;
    record.toc = m_out.toc;
    record.discInfo = m_out.discInfo;
    record.userFileByte = userFileByte;
    record.musicType = musicType;
    QString error;
    if (!discdata::replaceBlock(m_ctx.config.settings.dataDir, record, &error))
        m_ctx.ui.messageBox(error, QString(), Style::OkExclamation);
}

LoadedDisc DiscFlow::load() {
    readValues();
    const Next next = QFile::exists(dataPath(storefiles::kDiscData)) ? loadFromMasterFile()
                                                                     : loadWithoutMasterFile();
    return next == Next::Stop ? stop() : finish(next == Next::Download);
}

Next DiscFlow::loadWithoutMasterFile() {
    if (!connected())
        return Next::Finish;
    if (m_out.disc != m_link.playValues().PlayDisc) {
        showMessage({msgid::NotEnoughDiscInfo, msgid::ReselectDisc}, msgid::CautionTitle,
                    Style::Ok);
        return Next::Download;
    }
    if (readToc() != TocRead::Ok)
        return Next::Stop;
    const auto restored = m_out.identity.idKnown()
                              ? discfile::restore(m_ctx.config.settings.dataDir, m_out.identity)
                              : discfile::RestoreResult::NotFound;
    if (restored == discfile::RestoreResult::NotFound) {
        if (m_out.discInfo & kDiscInfoCdText)
            m_ctx.lookup.CD_TEXT_load_Not_CDDB(m_out.disc);
        else
            offerWebSearch();
    }
    writeMasterBlock(m_out.userFileByte, m_out.musicType);
    readDiscFileIfAny();
    return Next::Download;
}

void DiscFlow::takeMasterBlock(const DiscRecord& block) {
    m_out.identity = block.identity;
    m_out.identity.disc = quint8(m_out.disc);
    m_out.minTno = block.minTno;
    m_out.maxTno = block.maxTno;
    m_out.toc = block.toc;
    m_out.discInfo = block.discInfo;
}

Next DiscFlow::loadFromMasterFile() {
    const int disc = m_out.disc;
    const auto block = discdata::readBlock(dataPath(storefiles::kDiscData), disc);
    if (!block) {
        showMessage({msgid::SlotEmptyOrUnreadable, msgid::ReselectDisc}, msgid::ReadingDiscTitle,
                    Style::Ok);
        return Next::Download;
    }
    takeMasterBlock(*block);
    const QString& dataDir = m_ctx.config.settings.dataDir;
    const QString fileName = dataPath(discfile::fileName(disc));
    const QString scratch = dataPath(discfile::scratchFileName(disc));
    auto restore = [&] {
        return m_out.identity.idKnown() ? discfile::restore(dataDir, m_out.identity)
                                        : discfile::RestoreResult::NotFound;
    };
    if (QFile::exists(fileName)) {
        if (discfile::checkId(fileName, m_out.identity) == discfile::IdCheck::Mismatch) {
            // The slot holds another disc now. restore() parks that disc's file first.
            if (restore() == discfile::RestoreResult::NotFound &&
                m_ctx.config.settings.noWebSearch != 1) {
                // The other disc's titles are kept under its own identifier, where a later
                // load finds them, instead of becoming this disc's scratch file.
                discfile::park(fileName);
                offerWebSearch();
                writeMasterBlock(0, 0);
            }
        }
    } else if (QFile::exists(scratch)) {
        discfile::refreshIdentifier(scratch, m_out.identity, m_out.minTno, m_out.maxTno);
    } else if (restore() == discfile::RestoreResult::NotFound) {
        showMessage({msgid::TitlesMayBelongToOtherDisc, msgid::ReloadDiscAdvice},
                    msgid::CautionTitle, Style::Ok);
        offerWebSearch();
    }
    readDiscFileIfAny();
    return Next::Download;
}

bool DiscFlow::putIntoPlayer() {
    if (!m_link.Tarminal_Base_check())
        return false;
    const bool ok = whileHolding(m_link, kLinkStore, [&] {
        if (m_link.playValues().PlayMode != 0)
            m_link.RequestPlayMode(0, 0);
        return m_link.RequestPlay(quint16(m_out.disc), 1, 0);
    });
    if (!ok)
        return false; // the changer was told and said no; the error has been shown
    if (m_link.playValues().PlayDisc != m_out.disc)
        m_link.forgetTocReady();
    return true;
}

LoadedDisc DiscFlow::reload() {
    if (m_out.disc != m_link.playValues().PlayDisc && !putIntoPlayer())
        return stop();
    const TocRead toc = readToc();
    if (toc == TocRead::Error)
        return stop();
    readValues();
    if (toc == TocRead::Timeout)
        return finish(true); // nothing more is known: one empty row, and the memory titles
    writeMasterBlock(m_out.userFileByte, m_out.musicType);
    const QString scratch = dataPath(discfile::scratchFileName(m_out.disc));
    if (QFile::exists(scratch))
        discfile::refreshIdentifier(scratch, m_out.identity, m_out.minTno, m_out.maxTno);
    else if (m_out.discInfo & kDiscInfoCdText)
        m_ctx.lookup.CD_TEXT_load_Not_CDDB(m_out.disc);
    else
        offerWebSearch();
    // An existing file is shown also when no lookup ran (web search switched off or declined).
    readDiscFileIfAny();
    return finish(true);
}

void DiscFlow::readDiscFileIfAny() {
    m_out.firstTrack = m_out.minTno;
    m_out.lastTrack = qMax(m_out.minTno, m_out.maxTno);
    const QString path = dataPath(discfile::fileName(m_out.disc));
    if (!QFile::exists(path))
        return;
    const auto content = discfile::readDiscFile(path);
    if (!content)
        return;
    const int lowest = content->numbers.minTno;
    const int highest = content->numbers.maxTno;
    // A damaged track range is not taken: the rows follow what the changer reported.
    if (lowest >= kMinTrack && highest >= lowest && highest <= kMaxTrack) {
        m_out.firstTrack = lowest;
        m_out.lastTrack = highest;
    }
    m_out.lastTrack = qMax(m_out.firstTrack, m_out.lastTrack);
    if (content->hasDiscTitle)
        m_out.pcDiscTitle = content->discTitle;
    m_out.pcTrackTitles = content->trackTitles;
    m_out.pcFileName = QFileInfo(path).fileName();
}

LoadedDisc DiscFlow::finish(bool download) {
    m_out.status = LoadedDisc::Status::Loaded;
    if (!download || !connected() || !m_link.Tarminal_Base_check())
        return m_out;
    const bool ok = whileHolding(m_link, kLinkStore, [&] {
        return downloadEditorTitles(m_link, m_ctx.config, m_ctx.ui, m_out.disc, m_out.lastTrack,
                                    m_out.userFileByte, m_out.musicType);
    });
    // A failed download leaves an older texttmp.txt behind, maybe of another disc.
    if (!ok)
        return m_out;
    const auto lines = textfile::readLines(m_ctx.config.programPath(storefiles::kOneDisc));
    if (lines)
        m_out.memory = memorytitles::fromRecords(*lines);
    return m_out;
}

// The save's two halves.
class SaveFlow {
public:
    SaveFlow(AppContext& ctx, const TitlesToSave& titles) : m_ctx(ctx), m_t(titles) {}
    bool save();

private:
    bool savePcFiles();
    bool saveToChanger();

    AppContext& m_ctx;
    const TitlesToSave& m_t;
};

bool SaveFlow::save() {
    const QString path = m_ctx.config.dataPath(discfile::fileName(m_t.disc));
    if (!QFile::exists(path) ||
        m_ctx.ui.messageBox(msg(msgid::UpdateDataQuestion), msg(msgid::SaveFileTitle),
                            Style::YesNo) == Answer::Yes) {
        if (!savePcFiles())
            return false;
    }
    return saveToChanger();
}

bool SaveFlow::savePcFiles() {
    const QString& dataDir = m_ctx.config.settings.dataDir;
    QString error;
    const auto values = discdata::updateUserFileAndMusicType(dataDir, m_t.disc, m_t.userFileByte,
                                                             m_t.musicType, m_ctx.ui, &error);
    if (values == discdata::ValueUpdate::Failed)
        m_ctx.ui.messageBox(error, QString(), Style::OkExclamation);
    disclist::updateTitle(dataDir, m_t.disc, m_t.fullTitle);

    discfile::EditorTitles titles;
    titles.firstTrack = m_t.minTno;
    titles.discTitle = m_t.fullTitle;
    titles.trackTitles = m_t.fullTitles;
    if (!discfile::writeFromEditor(m_ctx.config.dataPath(discfile::fileName(m_t.disc)),
                                   m_t.identity, titles, &error)) {
        // The titles stay in the editor, unsaved, for another try.
        m_ctx.ui.messageBox(error, QString(), Style::OkExclamation);
        return false;
    }
    return true;
}

bool SaveFlow::saveToChanger() {
    Link& link = m_ctx.link;
    if (!changerConnected(link))
        return true;
    if (!link.Tarminal_Base_check())
        return false;
    // Given back before the refusal is shown: the message box must not keep the link.
    std::optional<LinkHold> hold(std::in_place, link, kLinkStore);
    const int allowed = link.ConfirmTitleInput(quint16(m_t.disc));
    if (link.lastResult() != kResultOk)
        return false; // the changer's error has been shown
    if (allowed != 1) {
        hold.reset();
        m_ctx.ui.messageBox(msg(msgid::NoTitleInputForDisc), msg(msgid::TitleInputTitle),
                            Style::Ok);
        return false;
    }
    EditorTitlesUpload upload;
    upload.disc = m_t.disc;
    upload.minTno = m_t.minTno;
    upload.maxTno = m_t.maxTno;
    upload.musicType = m_t.musicType;
    upload.userFileByte = m_t.userFileByte;
    upload.discTitle = m_t.memoryTitle;
    upload.trackTitles = m_t.memoryTitles;
    return UploadEditorTitles(link, m_ctx.config, m_ctx.ui, upload);
}

} // namespace

bool changerConnected(const Link& link) {
    return link.isOpen() && link.linkState() == kLinkUp && link.linkBusy() != kLinkOffline;
}

LoadedDisc loadDisc(AppContext& ctx, int disc) {
    return DiscFlow(ctx, disc).load();
}

LoadedDisc reloadDisc(AppContext& ctx, int disc) {
    return DiscFlow(ctx, disc).reload();
}

bool saveTitles(AppContext& ctx, const TitlesToSave& titles) {
    return SaveFlow(ctx, titles).save();
}

} // namespace tf
