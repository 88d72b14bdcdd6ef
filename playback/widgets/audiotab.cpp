#include "playback/widgets/audiotab.h"

#include "base/catalogue.h"
#include "base/statusmessenger.h"
#include "link/link.h"
#include "operations/appcontext.h"
#include "playback/widgets/discselection.h"
#include "playback/widgets/infolines.h"
#include "playback/widgets/playmodepanels.h"
#include "playback/widgets/programpanel.h"
#include "playback/widgets/statusdisplay.h"
#include "playback/widgets/transportpanel.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tf {
namespace {

// The now-playing area is drawn as the changer's own front display: light text on black. The
// white "OFF" and red "ON" indicators read on it (21:1 and 5.3:1), where the white one vanished
// on a light window; and its colours are its own, so a dark desktop theme changes nothing.
QPalette displayPalette(QPalette p) {
    const QColor panel(0x00, 0x00, 0x00);
    const QColor field(0x12, 0x12, 0x12);
    const QColor text(0xe8, 0xe8, 0xe8);
    const QColor dim(0xa0, 0xa0, 0xa0);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QColor& fore = group == QPalette::Disabled ? dim : text;
        p.setColor(group, QPalette::Window, panel);
        p.setColor(group, QPalette::Base, field);
        p.setColor(group, QPalette::AlternateBase, field);
        p.setColor(group, QPalette::Button, field);
        p.setColor(group, QPalette::WindowText, fore);
        p.setColor(group, QPalette::Text, fore);
        p.setColor(group, QPalette::ButtonText, fore);
        p.setColor(group, QPalette::PlaceholderText, dim);
    }
    return p;
}

} // namespace

AudioTab::AudioTab(AppContext& ctx, InfoLines& lines, QWidget* parent)
    : QWidget(parent), m_ctx(ctx) {
    StatusMessenger& status = lines;
    setObjectName(QStringLiteral("audioTab"));
    m_discs = new DiscSelectionPanel(ctx, status, this);
    m_display = new StatusDisplay(ctx, *this, *m_discs, this);
    m_transport = new TransportPanel(ctx, lines, this);
    m_program = new ProgramPanel(ctx, status, *this, this);
    m_musicType = new MusicTypePanel(ctx, status, *this, this);
    m_userFile = new UserFilePanel(ctx, status, *this, this);

    m_pgmPlay = new QPushButton(QStringLiteral("PGM"), this);
    m_pgmPlay->setObjectName(QStringLiteral("cmdPGMPlay"));
    m_mtypePlay = new QPushButton(QStringLiteral("M-TYPE"), this);
    m_mtypePlay->setObjectName(QStringLiteral("cmdMtypePlay"));
    m_ufPlay = new QPushButton(QStringLiteral("U-FILE"), this);
    m_ufPlay->setObjectName(QStringLiteral("cmdUFPlay"));
    connect(m_pgmPlay, &QPushButton::clicked, m_program, &ProgramPanel::open);
    connect(m_mtypePlay, &QPushButton::clicked, m_musicType, &MusicTypePanel::open);
    connect(m_ufPlay, &QPushButton::clicked, m_userFile, &UserFilePanel::open);

    auto* modes = new QHBoxLayout;
    modes->addWidget(m_pgmPlay);
    modes->addWidget(m_mtypePlay);
    modes->addWidget(m_ufPlay);
    auto* panels = new QHBoxLayout;
    panels->addWidget(m_program);
    panels->addWidget(m_musicType);
    panels->addWidget(m_userFile);
    auto* nowPlaying = new QFrame(this);
    nowPlaying->setObjectName(QStringLiteral("fraNowPlaying"));
    nowPlaying->setAutoFillBackground(true);
    nowPlaying->setPalette(displayPalette(nowPlaying->palette()));
    auto* shown = new QVBoxLayout(nowPlaying);
    shown->setContentsMargins(6, 4, 6, 6);
    shown->addWidget(m_display);
    shown->addWidget(m_discs);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(nowPlaying);
    layout->addWidget(m_transport);
    layout->addLayout(modes);
    layout->addLayout(panels);
    layout->addStretch(1);

    connect(m_discs, &DiscSelectionPanel::discNumberShown, this, &AudioTab::discNumberShown);
    connect(&ctx.link, &Link::statusTick, this, &AudioTab::StatusDisplayTick);
}

AudioTab::~AudioTab() {
    // The panels are destroyed after this object and may still emit; nothing of this tab may
    // run then.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

QLabel* AudioTab::infoLabel() const {
    return m_display->infoLabel();
}

QLabel* AudioTab::playInfoLabel() const {
    return m_display->playInfoLabel();
}

int AudioTab::selectedDisc() const {
    return m_discs->selectedDisc();
}

int AudioTab::selectedTrack() const {
    return m_discs->selectedTrack();
}

void AudioTab::StatusDisplayTick() {
    m_display->StatusDisplayTick();
    emit playDrawn();
}

void AudioTab::audioTabSelected() {
    const Link& link = m_ctx.link;
    if (link.linkBusy() != kLinkOffline && link.modeCode() == 1 && link.playValues().PlayDisc != 0)
        m_transport->continueDisable().start();
}

void AudioTab::PrepareAudioTab() {
    m_pgmPlay->setToolTip(msg(msgid::ProgramPlayPanelCaption));
    m_mtypePlay->setToolTip(msg(msgid::MusicTypePlayPanelCaption));
    m_ufPlay->setToolTip(msg(msgid::UserFilePlayPanelCaption));
    m_display->InvalidateStatusDisplay();
    m_discs->clearLists();
    m_discs->ShowDiscNumber();
    m_discs->ShowTrackNumber();
    m_display->ShowMusicType();
    m_display->ShowUserFileChecks();
    m_display->fillUserFileNames();
    m_display->ShowUserFileChecks();
    m_discs->Open_TMPFile_DISC();
    if (m_musicType->isOpen())
        m_musicType->markGenresPresent();
    if (m_userFile->isOpen())
        m_userFile->markUserFilesInUse();
    // The window's tab control decides when the page is visible.
    setEnabled(true);
    m_prepared = true;
    // Everything is to be redrawn; no pushed frame need come to start that.
    QTimer::singleShot(0, m_display, &StatusDisplay::tickWhenLinkIdle);
}

void AudioTab::closeSetupPanels(QWidget* keep) {
    if (keep != m_program)
        m_program->closeSilently();
    if (keep != m_musicType)
        m_musicType->closeSilently();
    if (keep != m_userFile)
        m_userFile->closeSilently();
}

void AudioTab::SetPlayModeButtons(int mode) {
    bool pgm = false, mtype = false, uf = false;
    switch (mode) {
    case 0:
        pgm = mtype = uf = true;
        break;
    case 1:
    case 2:
    case 4:
        break;
    case 3:
        pgm = true;
        break;
    case 5:
    case 6:
        mtype = true;
        break;
    case 7:
    case 8:
        uf = true;
        break;
    default:
        return;
    }
    m_pgmPlay->setEnabled(pgm);
    m_mtypePlay->setEnabled(mtype);
    m_ufPlay->setEnabled(uf);
}

} // namespace tf
