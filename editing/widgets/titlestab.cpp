// The titles tab: construction, enable rules, change tracking, entering the tab, closing
// and copy. Load and reload are in titleload.cpp, the save in titlesave.cpp and the
// user-file-name editor's commands in titlenames.cpp.

#include "editing/widgets/titlestab.h"

#include "base/catalogue.h"
#include "base/statusmessenger.h"
#include "editing/widgets/discpanel.h"
#include "editing/widgets/titlegrid.h"
#include "editing/widgets/titlestabbusy.h"
#include "editing/widgets/ufeditor.h"
#include "link/link.h"
#include "model/playtables.h"
#include "operations/appcontext.h"
#include "operations/titleflows.h"
#include "store/config.h"
#include "store/disclist.h"
#include "store/storefiles.h"
#include "store/userfiles.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

namespace tf {
namespace {

QPushButton* makeButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(parent->style()->standardIcon(icon));
    button->setAutoDefault(false);
    return button;
}

QLabel* makeLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText); // titles are text, never markup
    return label;
}

} // namespace

TitlesTab::TitlesTab(AppContext& ctx, StatusMessenger& status, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_link(ctx.link), m_status(status) {
    setObjectName(QStringLiteral("TitlesTab"));
    m_panel = new DiscPanel(this);
    m_grid = new TitleGrid(this);
    m_cmdLoad = makeButton(this, "cmdLoad", QStyle::SP_FileDialogContentsView);
    m_cmdSave = makeButton(this, "cmdSave", QStyle::SP_DialogSaveButton);
    m_cmdReload = makeButton(this, "cmdReload", QStyle::SP_BrowserReload);
    m_cmdCopy = makeButton(this, "cmdCopy", QStyle::SP_ArrowRight);
    m_cmdUFEdit = makeButton(this, "cmdUFEdit", QStyle::SP_FileDialogDetailedView);
    m_info = makeLabel(this, "lbTextInfo");
    m_backInfo = makeLabel(this, "lbBackTextInfo");
    m_backInfo->hide();
    m_dnoLabel = makeLabel(this, "lbTextDNO");
    m_cmdCopy->installEventFilter(this);

    m_ufEditor = new UserFileNameEditor(this);
    m_ufEditor->hide();
    m_ufEditor->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_cmdLoad, m_cmdSave, m_cmdReload, m_cmdCopy, m_cmdUFEdit})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(m_dnoLabel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_panel);
    layout->addLayout(buttons);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_info);

    connect(m_cmdLoad, &QPushButton::clicked, this, &TitlesTab::cmdLoad_Click);
    connect(m_cmdSave, &QPushButton::clicked, this, &TitlesTab::cmdSave_Click);
    connect(m_cmdReload, &QPushButton::clicked, this, &TitlesTab::cmdReload_Click);
    connect(m_cmdCopy, &QPushButton::clicked, this, &TitlesTab::cmdCopy_Click);
    connect(m_cmdUFEdit, &QPushButton::clicked, this, &TitlesTab::cmdUFEdit_Click);

    connect(m_grid, &TitleGrid::edited, this, &TitlesTab::setChanged);
    connect(m_panel, &DiscPanel::edited, this, &TitlesTab::setChanged);
    connect(m_panel, &DiscPanel::loadKey, this, [this] {
        if (!m_busy && m_cmdLoad->isEnabled())
            loadDisc();
    });
    connect(m_panel, &DiscPanel::selectionCleared, this, [this] {
        if (m_busy)
            return;
        m_cmdLoad->setEnabled(false);
        m_cmdSave->setEnabled(false);
    });
    connect(m_panel, &DiscPanel::arrowKey, this, [this] {
        if (m_busy)
            return;
        m_cmdLoad->setEnabled(true);
        updateSaveButton();
    });
    // A typed number must be loadable with Enter even after Backspace disabled the button.
    auto enableLoad = [this] {
        if (!m_busy)
            m_cmdLoad->setEnabled(true);
    };
    connect(m_panel, &DiscPanel::discChosen, this, enableLoad);
    connect(m_panel, &DiscPanel::discTyped, this, enableLoad);

    connect(m_ufEditor, &UserFileNameEditor::updateClicked, this, &TitlesTab::ufeSave);
    connect(m_ufEditor, &UserFileNameEditor::endClicked, this, [this] { closeNameEditor(5); });
    connect(m_ufEditor, &UserFileNameEditor::quitClicked, this, &TitlesTab::ufeQuit);

    setToolTips();
    m_cmdSave->setEnabled(false);
    m_cmdReload->setEnabled(changerConnected());
}

TitlesTab::~TitlesTab() {
    // The child panels are destroyed after this object and may still emit (a list losing its
    // selection); nothing of this tab may run then.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

void TitlesTab::setToolTips() {
    m_cmdLoad->setToolTip(msg(msgid::CompareTitlesTip));
    m_cmdSave->setToolTip(msg(msgid::SaveTitlesTip));
    m_cmdUFEdit->setToolTip(msg(msgid::EditUserFileNamesTip));
    m_cmdCopy->setToolTip(msg(msgid::CopyTitlesToCdMemoryTip));
    m_cmdReload->setToolTip(msg(msgid::ReadDiscInChangerTip));
}

QString TitlesTab::dataPath(const QString& name) const {
    return m_ctx.config.dataPath(name);
}

void TitlesTab::showMessage(const QList<int>& ids, int titleId, UserInterface::Style style) {
    QStringList texts;
    for (int id : ids)
        texts.append(msg(id));
    m_ctx.ui.messageBox(texts.join(QLatin1Char('\r')), titleId ? msg(titleId) : QString(), style);
}

// ---- Change tracking ----

void TitlesTab::setChanged() {
    // Edits of an empty tab (no disc loaded) have nothing to be saved to.
    if (!m_discLoaded)
        return;
    m_changed = true;
    if (!m_busy)
        m_cmdSave->setEnabled(true);
}

void TitlesTab::updateSaveButton() {
    m_cmdSave->setEnabled(m_changed && !m_busy);
}

// ---- The link ----

bool TitlesTab::changerConnected() const {
    return tf::changerConnected(m_link);
}

// ---- Entering the tab ----

void TitlesTab::enterTab() {
    setToolTips();
    m_panel->setUserFileNames(userfiles::loadForTitleEditor(dataPath(storefiles::kUserFileNames)));
    // Unsaved edits survive a visit to the other tab; they are not thrown away unasked.
    if (m_busy || m_changed)
        return;
    m_identity = DiscIdentity{};
    m_discLoaded = false;
    m_grid->setUp(1, 1);
    refreshDiscList();
    m_cmdReload->setEnabled(changerConnected() && m_link.playValues().PlayDisc != 0);
    if (changerConnected() && m_link.playValues().PlayDisc != 0) {
        m_panel->showDisc(m_link.playValues().PlayDisc);
        loadDisc();
    }
}

void TitlesTab::refreshDiscList() {
    const disclist::SelectionList list =
        disclist::Create_cmbDNO_List(m_ctx.config.settings.dataDir, m_panel->discText());
    m_panel->setDiscItems(list.items, list.selected);
}

// ---- Closing ----

bool TitlesTab::confirmClose() {
    // A command waiting on the changer is still on the stack: the window cannot go now.
    if (m_busy)
        return false;
    m_grid->commitEdit();
    if (!m_changed)
        return true;
    m_link.setCommandInProgress(true);
    Answer answer;
    {
        Busy busy(*this, Busy::kAllThree);
        answer = saveDialog();
    }
    m_link.setCommandInProgress(false);
    return answer != Answer::Cancel;
}

// ---- Copy ----

void TitlesTab::cmdCopy_Click() {
    if (m_busy)
        return;
    m_grid->commitEdit();
    const int cut = TitleGrid::kMemoryTitleChars;
    if (!m_panel->fullTitle().isEmpty()) {
        m_panel->setMemoryTitle(m_panel->fullTitle().left(cut));
        setChanged();
    }
    for (int r = 0; r < m_grid->trackRows(); ++r) {
        const QString full = m_grid->cellText(r, TitleGrid::kFullColumn);
        if (full.isEmpty())
            continue;
        m_grid->setCellText(r, TitleGrid::kMemoryColumn, full.left(cut));
        setChanged();
    }
    m_status.ShowStatusMessage(StatusMessenger::kTitlesTab, playback::status::TitlesCopied);
}

bool TitlesTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_cmdCopy && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab && m_nameEditorOpen &&
        m_ufEditor->isEnabled()) {
        m_ufEditor->box(1)->setFocus(Qt::TabFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tf
