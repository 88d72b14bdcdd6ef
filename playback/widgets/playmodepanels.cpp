#include "playback/widgets/playmodepanels.h"

#include "base/catalogue.h"
#include "base/statusmessenger.h"
#include "link/link.h"
#include "model/playtables.h"
#include "operations/appcontext.h"
#include "playback/playpermission.h"
#include "playback/widgets/audiotab.h"
#include "store/config.h"
#include "store/storefiles.h"
#include "store/textfile.h"
#include "store/userfiles.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <functional>

namespace tf {

using namespace playback;

namespace {

// Shared frame of the two panels: title, check list, Set, Clear and the close button.
struct PanelParts {
    QListWidget* list;
    QPushButton* set;
    QPushButton* clear;
    QPushButton* quit;
};

PanelParts buildPanel(QFrame* panel, const char* frameName, const QString& title,
                      const char* titleName, const char* listName, const char* setName,
                      const char* clearName, const char* quitName) {
    panel->setObjectName(QLatin1String(frameName));
    panel->setFrameShape(QFrame::Box);
    auto* label = new QLabel(title, panel);
    label->setObjectName(QLatin1String(titleName));
    PanelParts p{new QListWidget(panel), new QPushButton(panel), new QPushButton(panel),
                 new QPushButton(QStringLiteral("X"), panel)};
    p.list->setObjectName(QLatin1String(listName));
    p.set->setObjectName(QLatin1String(setName));
    p.clear->setObjectName(QLatin1String(clearName));
    p.quit->setObjectName(QLatin1String(quitName));
    auto* grid = new QGridLayout(panel);
    grid->addWidget(label, 0, 0);
    grid->addWidget(p.quit, 0, 1);
    grid->addWidget(p.list, 1, 0, 1, 2);
    grid->addWidget(p.set, 2, 0);
    grid->addWidget(p.clear, 2, 1);
    panel->hide();
    panel->setEnabled(false);
    return p;
}

void addCheckItems(QListWidget* list, const QStringList& texts) {
    for (const QString& text : texts) {
        auto* item = new QListWidgetItem(text, list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
}

// Record lines of the disc list ("[" first) and the lines after them.
QStringList discListLines(const AppContext& ctx) {
    return textfile::readLines(ctx.config.dataPath(storefiles::kDiscList)).value_or(QStringList());
}

} // namespace

// ---- Music type ----

MusicTypePanel::MusicTypePanel(AppContext& ctx, StatusMessenger& status, AudioTab& tab,
                               QWidget* parent)
    : QFrame(parent), m_ctx(ctx), m_status(status), m_tab(tab) {
    const PanelParts p =
        buildPanel(this, "picMtypeSetting", msg(msgid::MusicTypePanelTitle), "lbMTStitle",
                   "lstMTSMtype", "cmdMTSSet", "cmdMTSClear", "cmdMTSQuit");
    m_list = p.list;
    m_set = p.set;
    m_clear = p.clear;
    addCheckItems(m_list, panelMusicTypeEntries());
    connect(p.quit, &QPushButton::clicked, this, &MusicTypePanel::quit);
    connect(m_set, &QPushButton::clicked, this, &MusicTypePanel::set);
    connect(m_clear, &QPushButton::clicked, this, &MusicTypePanel::clear);
    connect(m_list, &QListWidget::currentRowChanged, this, &MusicTypePanel::entryChosen);
    connect(m_list, &QListWidget::itemChanged, this, [this] {
        if (!m_suppress)
            markGenresPresent(); // a mark toggled by hand is put back at once
    });
}

void MusicTypePanel::open() {
    if (m_open)
        return;
    const Link& link = m_ctx.link;
    m_tab.closeSetupPanels(this);
    m_set->setText(msg(msgid::PanelButtonSet));
    m_clear->setText(msg(msgid::PanelButtonClear));
    m_list->setToolTip(msg(msgid::ChooseFromCheckList));
    m_open = true;
    const bool musicTypePlay = link.playValues().PlayMode == kPlayModeMusicType ||
                               link.playValues().PlayMode == kPlayModeMusicTypeRandom;
    m_clear->setEnabled(musicTypePlay);
    m_set->setEnabled(!musicTypePlay);
    if (link.playValues().PlayMusicType >= 2 &&
        link.playValues().PlayMusicType <= kMusicTypeCount) {
        m_suppress = true;
        m_list->setCurrentRow(panelIndexOfCode(link.playValues().PlayMusicType));
        m_suppress = false;
    }
    markGenresPresent();
    m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::MusicTypeOpened);
    setEnabled(true);
    show();
}

void MusicTypePanel::markGenresPresent() {
    m_suppress = true;
    const int selected = m_list->currentRow();
    for (int i = 0; i < m_list->count(); ++i)
        m_list->item(i)->setCheckState(Qt::Unchecked);
    const QStringList lines = discListLines(m_ctx);
    for (int i = 0; i + 2 < lines.size(); ++i) {
        if (!lines.at(i).startsWith(QLatin1Char('[')))
            continue;
        const int code = lines.at(i + 2).trimmed().toInt();
        const int row = panelIndexOfCode(code);
        if (code != 0 && row >= 0 && row < m_list->count())
            m_list->item(row)->setCheckState(Qt::Checked);
    }
    m_list->setCurrentRow(selected);
    m_suppress = false;
}

void MusicTypePanel::entryChosen(int row) {
    if (m_suppress || row < 0)
        return;
    if (codeOfPanelIndex(row) == kEroticCode) {
        // Not a genre to play by: the selection moves to the first entry.
        m_suppress = true;
        m_list->setCurrentRow(0);
        m_suppress = false;
        row = 0;
    }
    m_set->setEnabled(m_list->item(row)->checkState() == Qt::Checked);
}

void MusicTypePanel::closeSilently() {
    setEnabled(false);
    hide();
    m_open = false;
}

void MusicTypePanel::quit() {
    if (!m_open)
        return;
    closeSilently();
    m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::MusicTypeClosed);
}

// Runs one play-mode command of a set-up panel while CommandInProgress is held; a failure
// shows the panel's error dialog. True on success.
static bool runPanelCommand(Link& link, const std::function<bool()>& command, const QString& body,
                            const QString& title) {
    link.setCommandInProgress(true);
    const bool ok = command();
    if (!ok)
        link.ShowLinkError(body, title);
    link.setCommandInProgress(false);
    return ok;
}

void MusicTypePanel::set() {
    Link& link = m_ctx.link;
    const int row = m_list->currentRow();
    if (link.commandInProgress() || row < 0)
        return;
    m_set->setEnabled(false);
    const bool ok = runPanelCommand(
        link,
        [&] {
            return requestPlayModeWithPermission(link, kPlayModeMusicType,
                                                 quint8(codeOfPanelIndex(row)));
        },
        msg(msgid::MusicTypePlayError), msg(msgid::MusicTypePlayTitle));
    closeSilently();
    if (ok)
        m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::MusicTypeSet);
}

void MusicTypePanel::clear() {
    Link& link = m_ctx.link;
    if (link.commandInProgress())
        return;
    m_clear->setEnabled(false);
    const bool ok = runPanelCommand(
        link, [&] { return clearPlayMode(link); }, msg(msgid::MusicTypePlayError),
        msg(msgid::MusicTypePlayTitle));
    closeSilently();
    if (ok)
        m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::MusicTypeCleared);
}

// ---- User file ----

UserFilePanel::UserFilePanel(AppContext& ctx, StatusMessenger& status, AudioTab& tab,
                             QWidget* parent)
    : QFrame(parent), m_ctx(ctx), m_status(status), m_tab(tab) {
    const PanelParts p =
        buildPanel(this, "picUFSetting", msg(msgid::UserFilePanelTitle), "lbUFStitle",
                   "lstUFSUfile", "cmdUFSSet", "cmdUFSClear", "cmdUFSQuit");
    m_list = p.list;
    m_set = p.set;
    m_clear = p.clear;
    addCheckItems(m_list, defaultUserFileNames());
    connect(p.quit, &QPushButton::clicked, this, &UserFilePanel::quit);
    connect(m_set, &QPushButton::clicked, this, &UserFilePanel::set);
    connect(m_clear, &QPushButton::clicked, this, &UserFilePanel::clear);
    connect(m_list, &QListWidget::currentRowChanged, this, &UserFilePanel::entryChosen);
    connect(m_list, &QListWidget::itemChanged, this, [this] {
        if (!m_suppress)
            markUserFilesInUse();
    });
}

void UserFilePanel::open() {
    if (m_open)
        return;
    const Link& link = m_ctx.link;
    m_tab.closeSetupPanels(this);
    m_set->setText(msg(msgid::PanelButtonSet));
    m_clear->setText(msg(msgid::PanelButtonClear));
    m_list->setToolTip(msg(msgid::ChooseFromCheckList));
    const auto names = userfiles::read(m_ctx.config.dataPath(storefiles::kUserFileNames));
    m_suppress = true;
    for (int i = 0; i < kUserFileCount; ++i) {
        const QString name = names && i < names->size() && !names->at(i).isEmpty()
                                 ? names->at(i)
                                 : defaultUserFileName(i + 1);
        m_list->item(i)->setText(name);
    }
    m_suppress = false;
    m_open = true;
    m_clear->setEnabled(link.playValues().PlayMode == kPlayModeUserFile ||
                        link.playValues().PlayMode == kPlayModeUserFileRandom);
    markUserFilesInUse();
    // The playing user file, named by its one-bit mask; the conversion leaves the value as is.
    const int number = Change_UFBIT_to_BYTE(link.playValues().PlayStatus7);
    m_suppress = true;
    m_list->setCurrentRow(number > 0 && number <= kUserFileCount ? number - 1 : -1);
    m_suppress = false;
    m_set->setEnabled(m_list->currentItem() && m_list->currentItem()->checkState() == Qt::Checked);
    m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::UserFileOpened);
    setEnabled(true);
    show();
}

void UserFilePanel::markUserFilesInUse() {
    m_suppress = true;
    int used = 0;
    const QStringList lines = discListLines(m_ctx);
    for (int i = 0; i + 1 < lines.size(); ++i)
        if (lines.at(i).startsWith(QLatin1Char('[')))
            used |= lines.at(i + 1).trimmed().toInt() & 0xFF;
    for (int i = 0; i < kUserFileCount; ++i)
        m_list->item(i)->setCheckState((used >> i) & 1 ? Qt::Checked : Qt::Unchecked);
    m_suppress = false;
}

void UserFilePanel::entryChosen(int row) {
    if (m_suppress || row < 0)
        return;
    m_set->setEnabled(m_list->item(row)->checkState() == Qt::Checked);
}

void UserFilePanel::closeSilently() {
    setEnabled(false);
    hide();
    m_open = false;
}

void UserFilePanel::quit() {
    if (!m_open)
        return;
    closeSilently();
    m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::UserFileClosed);
}

void UserFilePanel::set() {
    Link& link = m_ctx.link;
    const int row = m_list->currentRow();
    if (link.commandInProgress() || row < 0)
        return;
    m_set->setEnabled(false);
    const bool ok = runPanelCommand(
        link,
        [&] {
            return requestPlayModeWithPermission(link, kPlayModeUserFile,
                                                 quint8(Change_BYTE_to_UFBIT(row + 1)));
        },
        msg(msgid::UserFilePlayError), msg(msgid::UserFilePlayTitle));
    closeSilently();
    if (ok)
        m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::UserFileSet);
}

void UserFilePanel::clear() {
    Link& link = m_ctx.link;
    if (link.commandInProgress())
        return;
    m_clear->setEnabled(false);
    const bool ok = runPanelCommand(
        link, [&] { return clearPlayMode(link); }, msg(msgid::UserFilePlayError),
        msg(msgid::UserFilePlayTitle));
    closeSilently();
    if (ok)
        m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::UserFileCleared);
}

} // namespace tf
