#include "playback/widgets/programpanel.h"

#include "base/catalogue.h"
#include "base/statusmessenger.h"
#include "link/link.h"
#include "model/playtables.h"
#include "operations/appcontext.h"
#include "operations/playingdisc.h"
#include "operations/programlist.h"
#include "playback/playpermission.h"
#include "playback/programlist.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/discselection.h"
#include "store/config.h"
#include "store/disclist.h"

#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>

namespace tf {

using namespace playback;

namespace {

// A list whose selected item can be dragged out as plain text and that takes drops.
class DragList : public QListWidget {
public:
    std::function<void(const QString&)> dropped;
    std::function<bool()> dragAllowed;

    explicit DragList(QWidget* parent) : QListWidget(parent) {
        setDragEnabled(true);
        setAcceptDrops(true);
        setDragDropMode(QAbstractItemView::DragDrop);
    }

protected:
    void startDrag(Qt::DropActions) override {
        const QListWidgetItem* item = currentItem();
        if (!item || item->text().isEmpty() || (dragAllowed && !dragAllowed()))
            return;
        auto* mime = new QMimeData;
        mime->setText(item->text());
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        setAcceptDrops(false); // the source does not take its own drop
        drag->exec(Qt::CopyAction | Qt::MoveAction);
        setAcceptDrops(true);
    }
    void dragEnterEvent(QDragEnterEvent* e) override {
        if (e->source() != this && e->mimeData()->hasText())
            e->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* e) override {
        if (e->source() != this && e->mimeData()->hasText())
            e->acceptProposedAction();
    }
    void dropEvent(QDropEvent* e) override {
        if (e->source() == this || !e->mimeData()->hasText())
            return;
        e->acceptProposedAction();
        if (dropped)
            dropped(e->mimeData()->text());
    }
};

QPushButton* makeButton(QWidget* parent, const char* name) {
    auto* b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

} // namespace

ProgramPanel::ProgramPanel(AppContext& ctx, StatusMessenger& status, AudioTab& tab, QWidget* parent)
    : QFrame(parent), m_ctx(ctx), m_status(status), m_tab(tab) {
    setObjectName(QStringLiteral("picPgmSetting"));
    setFrameShape(QFrame::Box);
    auto* dno = new DragList(this);
    auto* tno = new DragList(this);
    auto* pgm = new DragList(this);
    dno->setDragEnabled(false);
    dno->setAcceptDrops(false);
    m_lstPGSDNO = dno;
    m_lstPGSTNO = tno;
    m_lstPGSPGM = pgm;
    m_lstPGSDNO->setObjectName(QStringLiteral("lstPGSDNO"));
    m_lstPGSTNO->setObjectName(QStringLiteral("lstPGSTNO"));
    m_lstPGSPGM->setObjectName(QStringLiteral("lstPGSPGM"));
    tno->dragAllowed = pgm->dragAllowed = [this] {
        return stopped();
    };
    pgm->dropped = [this](const QString& text) {
        dropOnProgramList(text);
    };
    tno->dropped = [this](const QString&) {
        dropOnTrackList();
    };

    m_cmdPGSADD = makeButton(this, "cmdPGSADD");
    m_cmdPGSDEL = makeButton(this, "cmdPGSDEL");
    m_cmdPGSDELALL = makeButton(this, "cmdPGSDELALL");
    m_cmdPGSSET = makeButton(this, "cmdPGSSET");
    m_cmdPGSClear = makeButton(this, "cmdPGSClear");
    auto* quitButton = makeButton(this, "cmdPGSQuit");
    quitButton->setText(QStringLiteral("X"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(makeLabel(this, "lbPGStitle", msg(msgid::ProgramPanelTitle)), 0, 0, 1, 2);
    grid->addWidget(quitButton, 0, 2);
    grid->addWidget(makeLabel(this, "lbPGSDNO", msg(msgid::ProgramDiscLabel)), 1, 0);
    grid->addWidget(makeLabel(this, "lbPGSTRACK", msg(msgid::ProgramTrackLabel)), 1, 1);
    grid->addWidget(makeLabel(this, "lbPGSPGM", msg(msgid::ProgramListLabel)), 1, 2);
    grid->addWidget(m_lstPGSDNO, 2, 0);
    grid->addWidget(m_lstPGSTNO, 2, 1);
    grid->addWidget(m_lstPGSPGM, 2, 2);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_cmdPGSADD, m_cmdPGSDEL, m_cmdPGSDELALL, m_cmdPGSSET, m_cmdPGSClear})
        buttons->addWidget(b);
    grid->addLayout(buttons, 3, 0, 1, 3);

    connect(quitButton, &QPushButton::clicked, this, &ProgramPanel::quit);
    connect(m_cmdPGSADD, &QPushButton::clicked, this, &ProgramPanel::add);
    connect(m_cmdPGSDEL, &QPushButton::clicked, this, &ProgramPanel::remove);
    connect(m_cmdPGSDELALL, &QPushButton::clicked, this, &ProgramPanel::removeAll);
    connect(m_cmdPGSSET, &QPushButton::clicked, this, &ProgramPanel::set);
    connect(m_cmdPGSClear, &QPushButton::clicked, this, &ProgramPanel::clear);
    connect(m_lstPGSDNO, &QListWidget::currentRowChanged, this, &ProgramPanel::chooseDisc);
    connect(m_lstPGSTNO, &QListWidget::itemDoubleClicked, this, &ProgramPanel::add);
    connect(m_lstPGSPGM, &QListWidget::itemDoubleClicked, this, &ProgramPanel::remove);

    // The buttons follow the play state; the check runs on every pushed value rather than
    // on a fast fixed tick.
    m_tmcheck.setObjectName(QStringLiteral("tmcheck"));
    m_tmcheck.setSingleShot(true);
    m_tmcheck.setInterval(0);
    connect(&m_tmcheck, &QTimer::timeout, this, &ProgramPanel::updateButtons);
    connect(&m_ctx.link, &Link::playValuesChanged, this, [this] {
        if (m_open)
            m_tmcheck.start();
    });
    hide();
    setEnabled(false);
}

bool ProgramPanel::stopped() const {
    return m_ctx.link.playValues().PlayStateCode == kStateStopped;
}

void ProgramPanel::open() {
    if (m_open)
        return;
    m_tab.closeSetupPanels(this);
    prepare();
    m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::ProgramOpened);
    setEnabled(true);
    show();
}

void ProgramPanel::prepare() {
    Link& link = m_ctx.link;
    m_cmdPGSSET->setText(msg(msgid::PanelButtonSet));
    m_cmdPGSClear->setText(msg(msgid::PanelButtonClear));
    m_cmdPGSADD->setText(msg(msgid::PanelButtonAdd));
    m_cmdPGSDEL->setText(msg(msgid::PanelButtonDelete));
    m_cmdPGSDELALL->setText(msg(msgid::PanelButtonDeleteAll));
    m_programDisc = link.playValues().PlayDisc;

    const QComboBox* discs = m_tab.discSelection()->discList();
    const QComboBox* tracks = m_tab.discSelection()->trackList();
    {
        const QSignalBlocker block(m_lstPGSDNO);
        m_lstPGSDNO->clear();
        for (int i = 0; i < discs->count(); ++i)
            m_lstPGSDNO->addItem(discs->itemText(i));
        m_lstPGSDNO->setCurrentRow(discs->currentIndex());
    }
    m_lstPGSTNO->clear();
    m_lstPGSTNO->addItem(QString::fromLatin1(program::kAllTracks));
    for (int i = 0; i < tracks->count(); ++i)
        m_lstPGSTNO->addItem(tracks->itemText(i));
    if (m_lstPGSTNO->count() > 1)
        m_lstPGSTNO->setCurrentRow(
            qBound(0, int(link.playValues().PlayTrack), m_lstPGSTNO->count() - 1));
    else
        m_lstPGSTNO->setCurrentRow(0);

    m_lstPGSPGM->clear();
    m_stepCount = 0;
    if (link.playValues().PlayMode != kPlayModeTrack) {
        link.setCommandInProgress(true);
        const QList<ProgramStep> steps = readChangerProgram(link, m_ctx.config);
        link.setCommandInProgress(false);
        for (const ProgramStep& step : steps) {
            const QString record = programfile::stepText(step);
            appendStep(record.left(5), record.mid(5));
        }
        m_cmdPGSClear->setEnabled(true);
    } else {
        m_cmdPGSClear->setEnabled(false);
    }
    m_cmdPGSSET->setEnabled(false);
    m_open = true;
    updateButtons();
}

void ProgramPanel::closeSilently() {
    setEnabled(false);
    hide();
    m_tmcheck.stop();
    m_open = false;
}

void ProgramPanel::quit() {
    if (!m_open)
        return;
    closeSilently();
    m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::ProgramClosed);
}

void ProgramPanel::chooseDisc(int row) {
    Link& link = m_ctx.link;
    if (link.commandInProgress() || row < 0 || !m_open)
        return;
    link.setCommandInProgress(true);
    const int disc = m_lstPGSDNO->item(row)->text().mid(1, 3).trimmed().toInt();
    if (disc != m_programDisc) {
        m_programDisc = disc;
        loadTrackList(disc);
    }
    link.setCommandInProgress(false);
}

void ProgramPanel::loadTrackList(int disc) {
    Link& link = m_ctx.link;
    m_trackListLoading = true;
    updateButtons();
    m_lstPGSTNO->setEnabled(false);
    link.Tarminal_Base_check();
    m_lstPGSTNO->clear();
    const ProgramTrackTitles tracks = programTrackTitles(m_ctx, disc);
    m_lstPGSTNO->setEnabled(true);
    m_lstPGSTNO->addItem(QString::fromLatin1(program::kAllTracks));
    for (int t = 1; t <= tracks.titles.size(); ++t)
        m_lstPGSTNO->addItem(disclist::slotLabel(t) + tracks.titles.at(t - 1));
    for (int t = int(tracks.titles.size()) + 1; t <= tracks.highest; ++t)
        m_lstPGSTNO->addItem(program::bracketNumber(t) + QLatin1Char(' ') +
                             msg(msgid::ProgramTrackWithoutTitle));
    m_lstPGSTNO->setCurrentRow(0);
    m_trackListLoading = false;
    updateButtons();
}

void ProgramPanel::appendStep(const QString& discPart, const QString& trackPart) {
    if (m_stepCount >= kMaxProgramSteps)
        return;
    m_lstPGSPGM->addItem(program::listItem(m_lstPGSPGM->count() + 1, discPart, trackPart));
    m_stepCount = m_lstPGSPGM->count();
    m_lstPGSPGM->setCurrentRow(m_stepCount - 1);
    m_cmdPGSSET->setEnabled(true);
}

void ProgramPanel::add() {
    if (!m_open || !stopped() || m_stepCount >= kMaxProgramSteps || m_trackListLoading)
        return;
    const QListWidgetItem* disc = m_lstPGSDNO->currentItem();
    const QListWidgetItem* track = m_lstPGSTNO->currentItem();
    if (!disc || !track)
        return;
    appendStep(disc->text().left(5), track->text().left(5));
    updateButtons();
}

void ProgramPanel::remove() {
    if (!m_open || !stopped() || m_stepCount <= 0)
        return;
    const int row = m_lstPGSPGM->currentRow();
    if (row < 0)
        return;
    delete m_lstPGSPGM->takeItem(row);
    m_stepCount = m_lstPGSPGM->count();
    if (m_stepCount > 0) {
        m_lstPGSPGM->setCurrentRow(m_stepCount - 1);
        for (int i = 0; i < m_stepCount; ++i) {
            QListWidgetItem* item = m_lstPGSPGM->item(i);
            item->setText(program::renumbered(item->text(), i + 1));
        }
        m_cmdPGSSET->setEnabled(true);
    } else {
        m_cmdPGSSET->setEnabled(false);
    }
    updateButtons();
}

void ProgramPanel::removeAll() {
    if (!m_open || !stopped() || m_stepCount <= 0)
        return;
    m_lstPGSPGM->clear();
    m_stepCount = 0;
    m_cmdPGSSET->setEnabled(false);
    updateButtons();
}

void ProgramPanel::dropOnProgramList(const QString& trackText) {
    if (!m_open || !stopped() || m_stepCount >= kMaxProgramSteps)
        return;
    const QListWidgetItem* disc = m_lstPGSDNO->currentItem();
    if (!disc)
        return;
    appendStep(disc->text().left(5), trackText.left(5));
    updateButtons();
}

void ProgramPanel::dropOnTrackList() {
    remove();
}

bool ProgramPanel::sendProgram() {
    return askPermission(m_ctx.link, kGroupProgram, kProgramAllowed) &&
           sendStagedProgram(m_ctx.link, m_ctx.config);
}

void ProgramPanel::set() {
    Link& link = m_ctx.link;
    if (link.commandInProgress())
        return;
    m_cmdPGSSET->setEnabled(false);
    link.setCommandInProgress(true);
    QList<ProgramStep> steps;
    for (int i = 0; i < m_stepCount; ++i)
        if (const auto step =
                programfile::stepOf(program::recordOfItem(m_lstPGSPGM->item(i)->text())))
            steps.append(*step);
    const bool ok = stageProgram(m_ctx.config, steps) && sendProgram();
    if (!ok)
        link.ShowLinkError(msg(msgid::ProgramSetError), msg(msgid::ProgramSetTitle));
    link.setCommandInProgress(false);
    closeSilently();
    // Success is reported only when the changer has the program.
    if (ok)
        m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::ProgramSet);
}

void ProgramPanel::clear() {
    Link& link = m_ctx.link;
    if (link.commandInProgress())
        return;
    m_cmdPGSClear->setEnabled(false);
    link.setCommandInProgress(true);
    if (m_stepCount != 0) {
        m_lstPGSPGM->clear();
        m_stepCount = 0;
        m_cmdPGSSET->setEnabled(false);
    }
    const bool ok = stageProgram(m_ctx.config, {}) && sendProgram();
    if (!ok)
        link.ShowLinkError(msg(msgid::ProgramClearError), msg(msgid::ProgramClearTitle));
    link.setCommandInProgress(false);
    closeSilently();
    if (ok)
        m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::ProgramCleared);
}

void ProgramPanel::updateButtons() {
    if (!m_open)
        return;
    const Link& link = m_ctx.link;
    const bool hasSteps = m_stepCount > 0;
    bool lists = true, addOn = false, delOn = false, setOn = false, clearOn = false;
    if (m_trackListLoading) {
        lists = false;
    } else if (stopped()) {
        addOn = m_stepCount < kMaxProgramSteps;
        delOn = hasSteps;
        setOn = hasSteps;
        clearOn = link.playValues().PlayMode != kPlayModeTrack;
    } else if (link.playValues().PlayMode == kPlayModeTrack) {
        setOn = hasSteps;
    } else {
        clearOn = true;
    }
    m_lstPGSPGM->setEnabled(lists);
    m_lstPGSDNO->setEnabled(lists);
    m_cmdPGSADD->setEnabled(addOn);
    m_cmdPGSDEL->setEnabled(delOn);
    m_cmdPGSDELALL->setEnabled(delOn);
    m_cmdPGSSET->setEnabled(setOn);
    m_cmdPGSClear->setEnabled(clearOn);
}

} // namespace tf
