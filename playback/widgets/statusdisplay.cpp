#include "playback/widgets/statusdisplay.h"

#include "base/catalogue.h"
#include "link/link.h"
#include "model/playtables.h"
#include "operations/appcontext.h"
#include "operations/programlist.h"
#include "playback/programlist.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/discselection.h"
#include "store/config.h"
#include "store/storefiles.h"
#include "store/userfiles.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>

namespace tf {

using namespace playback;

namespace {

constexpr int kTrackDelayMs = 500;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

StatusDisplay::StatusDisplay(AppContext& ctx, AudioTab& tab, DiscSelectionPanel& discs,
                             QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_tab(tab), m_discs(discs) {
    m_lbAudioInfo = makeLabel(this, "lbAudioInfo", {});
    m_lbPLAYINFO = makeLabel(this, "lbPLAYINFO", msg(msgid::NowPlayingDisc));
    m_lbPLAYINFO->hide();
    auto* lbPMode = makeLabel(this, "lbP_MODE", msg(msgid::PlayModeCaption));
    auto* lbRMode = makeLabel(this, "lbR_mode", msg(msgid::RandomModeCaption));
    auto* lbRepeat = makeLabel(this, "lbRepeat", msg(msgid::RepeatModeCaption));
    m_lbAudioPLAYMODE = makeLabel(this, "lbAudioPLAYMODE", {});
    m_lbRandom = makeLabel(this, "lbRandom", msg(msgid::Off));
    m_lbRepeatONOFF = makeLabel(this, "lbRepeatONOFF", msg(msgid::Off));
    m_lbMtype = makeLabel(this, "lbMtype", {});
    m_cmbAudioMType = new QComboBox(this);
    m_cmbAudioMType->setObjectName(QStringLiteral("cmbAudioMType"));
    m_cmbAudioMType->addItems(audioMusicTypeEntries());
    m_cmbAudioMType->hide();
    m_lbPGM = makeLabel(this, "lbPGM", msg(msgid::ProgramStepLabel));
    m_txtPNO = new QLineEdit(QStringLiteral("32"), this);
    m_txtPNO->setObjectName(QStringLiteral("txtPNO"));
    m_txtPNO->setReadOnly(true);
    m_lbPGM->hide();
    m_txtPNO->hide();
    m_lstAudioUFile = new QListWidget(this);
    m_lstAudioUFile->setObjectName(QStringLiteral("lstAudioUFile"));
    for (int k = 1; k <= kUserFileCount; ++k) {
        auto* item = new QListWidgetItem(defaultUserFileName(k), m_lstAudioUFile);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
    // The marks show the playing disc's user files; a click on them changes nothing.
    connect(m_lstAudioUFile, &QListWidget::itemChanged, this, [this] { ShowUserFileChecks(); });
    connect(m_lstAudioUFile, &QListWidget::itemClicked, this, [this] { ShowUserFileChecks(); });

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_lbAudioInfo, 0, 0, 1, 4);
    grid->addWidget(lbPMode, 1, 0);
    grid->addWidget(m_lbAudioPLAYMODE, 1, 1);
    grid->addWidget(lbRMode, 2, 0);
    grid->addWidget(m_lbRandom, 2, 1);
    grid->addWidget(lbRepeat, 3, 0);
    grid->addWidget(m_lbRepeatONOFF, 3, 1);
    grid->addWidget(m_lbMtype, 4, 0, 1, 2);
    grid->addWidget(m_lbPGM, 1, 2);
    grid->addWidget(m_txtPNO, 1, 3);
    grid->addWidget(m_lstAudioUFile, 2, 2, 3, 2);

    m_tmDelay.setObjectName(QStringLiteral("tmDelay"));
    m_tmDelay.setSingleShot(true);
    m_tmDelay.setInterval(kTrackDelayMs);
    // A coarse timer may fire up to 5 % (25 ms) late; the track is due after exactly 500 ms.
    m_tmDelay.setTimerType(Qt::PreciseTimer);
    // The link poll runs on events, not on a fixed tick: when the delay ends, the display
    // takes its step by itself if the link is free.
    connect(&m_tmDelay, &QTimer::timeout, this, &StatusDisplay::tickWhenLinkIdle);
}

void StatusDisplay::tickWhenLinkIdle() {
    const Link& link = m_ctx.link;
    if (link.linkState() == kLinkUp && link.linkBusy() == kLinkIdle && !link.slotFull() &&
        !link.modeChanged() && !link.statusHold())
        m_tab.StatusDisplayTick();
}

void StatusDisplay::setIndicator(QLabel* label, const QString& text, bool lit) {
    label->setText(text);
    // Red "ON", white "OFF", as the changer's display shows them; the panel behind is dark.
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText,
                     lit ? QColor(0xff, 0x00, 0x00) : QColor(0xff, 0xff, 0xff));
    label->setPalette(palette);
    label->setProperty("lit", lit);
}

void StatusDisplay::InvalidateStatusDisplay() {
    // A value no pushed frame can carry, so the next step redraws everything. (The current
    // value + 1 would miss a value that went up by exactly one before that step.)
    constexpr int kNeverDrawn = -1;
    m_shown.disc = kNeverDrawn;
    m_shown.track = kNeverDrawn;
    m_shown.programStep = kNeverDrawn;
    m_shown.musicType = kNeverDrawn;
    m_shown.userFileBits = kNeverDrawn;
    m_shown.playMode = kNeverDrawn;
    m_shown.repeat = kNeverDrawn;
    m_shown.playState = kNeverDrawn;
    m_shown.programMode = 255;
    m_shown.listMode = 254;
}

DrawnPlay StatusDisplay::drawn() const {
    return {m_shown.disc,     m_shown.track,  m_shown.playState,
            m_shown.playMode, m_shown.repeat, m_shown.musicType};
}

void StatusDisplay::SetPlayModeLabel(int mode) {
    const QString name = playModeName(mode);
    if (!name.isEmpty())
        m_lbAudioPLAYMODE->setText(name);
    m_discs.setTrackModeControls(mode == kPlayModeTrack);
}

void StatusDisplay::ShowMusicType() {
    m_lbMtype->setText(
        m_cmbAudioMType->itemText(audioMusicTypeIndex(m_ctx.link.playValues().PlayMusicType)));
}

void StatusDisplay::ShowProgramStep() {
    Link& link = m_ctx.link;
    // The program panel opens on the changer's program as it is now.
    readChangerProgram(link, m_ctx.config);
    m_txtPNO->setText(
        QStringLiteral("%1").arg(link.playValues().PlayProgramStep, 2, 10, QLatin1Char('0')));
    m_shown.programStep = link.playValues().PlayProgramStep;
}

void StatusDisplay::ShowUserFileChecks() {
    const QSignalBlocker block(m_lstAudioUFile);
    const int bits = m_ctx.link.playValues().PlayUserFileBits;
    for (int i = 0; i < kUserFileCount && i < m_lstAudioUFile->count(); ++i)
        m_lstAudioUFile->item(i)->setCheckState((bits >> i) & 1 ? Qt::Checked : Qt::Unchecked);
    m_lstAudioUFile->setCurrentRow(-1);
    m_lstAudioUFile->clearSelection();
}

void StatusDisplay::fillUserFileNames() {
    const auto names = userfiles::read(m_ctx.config.dataPath(storefiles::kUserFileNames));
    const QSignalBlocker block(m_lstAudioUFile);
    for (int i = 0; i < kUserFileCount; ++i) {
        QString name = names && i < names->size() ? names->at(i) : QString();
        if (name.isEmpty())
            name = defaultUserFileName(i + 1);
        m_lstAudioUFile->item(i)->setText(name);
    }
}

void StatusDisplay::ALL_DTTL_READ() {
    if (m_shown.programMode == kPlayModeTrack && m_shown.listMode != kPlayModeTrack &&
        !m_ctx.link.modeChanged()) {
        m_discs.Open_TMPFile_DISC();
        m_shown.listMode = kPlayModeTrack;
    }
}

void StatusDisplay::showPlayMode(int mode) {
    m_shown.playMode = mode;
    SetPlayModeLabel(mode);
    m_tab.SetPlayModeButtons(mode);
    setIndicator(m_lbRandom, randomText(mode), randomLit(mode));
    if (m_shown.programMode != mode) {
        m_shown.programMode = mode;
        const bool programMode = mode == kPlayModeProgram;
        m_lbPGM->setVisible(programMode);
        m_txtPNO->setVisible(programMode);
        if (!programMode) {
            m_shown.programStep = m_ctx.link.playValues().PlayProgramStep;
            stageProgram(m_ctx.config, {}); // no program waits outside program play
        }
    }
    ALL_DTTL_READ();
}

void StatusDisplay::showPlayState() {
    const qint16 state = m_ctx.link.playValues().PlayStateCode;
    if (state == m_shown.playState)
        return;
    const QString text = playStateText(state);
    QFont font = m_lbPLAYINFO->font();
    font.setPointSize(playInfoPointSize(text));
    m_lbPLAYINFO->setFont(font);
    m_lbPLAYINFO->setText(text);
    m_shown.playState = state;
}

// A disc whose table of contents is in gets its titles; a new track is shown after a delay,
// unless the changer is still searching.
void StatusDisplay::showDiscAndTrack() {
    const Link& link = m_ctx.link;
    if (link.playValues().TocReadyDisc != m_shown.disc) {
        m_discs.showCdTextMark(false);
        if (link.playValues().TocReadyDisc != 0) {
            m_shown.track = 0;
            m_discs.LoadPlayingDiscTitles();
            m_shown.disc = link.playValues().PlayDisc;
            m_discs.ShowDiscNumber();
        }
    }
    if (link.playValues().PlayTrack == m_shown.track ||
        m_shown.disc != link.playValues().TocReadyDisc)
        return;
    if (!m_shown.trackDelay) {
        m_shown.trackDelay = true;
        m_tmDelay.start();
    } else if (!m_tmDelay.isActive()) {
        m_shown.trackDelay = false;
        if (link.playValues().PlayStateCode != kStateSearching) {
            m_discs.SelectTrackTitle();
            m_discs.ShowTrackNumber();
            m_shown.track = link.playValues().PlayTrack;
        }
    }
}

void StatusDisplay::StatusDisplayTick() {
    Link& link = m_ctx.link;
    if (link.modeCode() == 2) {
        if (m_tab.isEnabled()) {
            m_tab.setEnabled(false);
            emit m_tab.leaveAudioTab();
        }
        return;
    }
    if (!m_tab.isEnabled())
        return;

    if (link.playValues().PlayMode != m_shown.playMode) {
        showPlayMode(link.playValues().PlayMode);
        // A mode change is all that is drawn on this step; the rest follows on the next one,
        // which no pushed frame may announce.
        QTimer::singleShot(0, this, &StatusDisplay::tickWhenLinkIdle);
        return;
    }
    showPlayState();
    showDiscAndTrack();

    if (m_shown.playMode == kPlayModeProgram &&
        link.playValues().PlayProgramStep != m_shown.programStep)
        ShowProgramStep();

    if (link.playValues().PlayRepeat != m_shown.repeat) {
        m_shown.repeat = link.playValues().PlayRepeat;
        setIndicator(m_lbRepeatONOFF,
                     msg(link.playValues().PlayRepeat != 0 ? msgid::On : msgid::Off),
                     link.playValues().PlayRepeat != 0);
    }

    if (link.playValues().PlayMusicType != m_shown.musicType) {
        m_shown.musicType = link.playValues().PlayMusicType;
        ShowMusicType();
    }

    if (link.playValues().PlayUserFileBits != m_shown.userFileBits) {
        m_shown.userFileBits = link.playValues().PlayUserFileBits;
        ShowUserFileChecks();
    }
}

} // namespace tf
