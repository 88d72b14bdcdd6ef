// The main window: menus, the tab control and its pages, the tab change handling and the
// reaction to the changer's mode.

#include "shell/widgets/mainwindow.h"

#include "base/catalogue.h"
#include "link/link.h"
#include "model/playtables.h"
#include "shell/widgets/optionswindow.h"
#include "shell/widgets/tabicons.h"

#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tf {
namespace {

// Stand-in for a tab page until the real one is plugged in.
QWidget* placeholderPage(const char* name) {
    auto* page = new QLabel;
    page->setObjectName(QLatin1String(name));
    page->setMinimumSize(780, 520);
    page->setAlignment(Qt::AlignCenter);
    return page;
}

} // namespace

MainWindow::MainWindow(AppContext& context, QWidget* parent)
    : QMainWindow(parent), m_context(context) {
    setObjectName(QStringLiteral("frmVexo"));
    setWindowTitle(msg(msgid::ApplicationCaption));
    buildMenus();
    buildPicture();

    Link& link = m_context.link;
    connect(&link, &Link::modeReaction, this, &MainWindow::modeReaction);
    connect(&link, &Link::closeRequested, this, &QWidget::close);
    connect(&link, &Link::busyCursor, this, &MainWindow::setBusyCursor);

    // The picture area is locked while a command's changer exchange runs, and a close that
    // waits for a command goes ahead once the link is free: both follow the link's changes.
    connect(&link, &Link::commandInProgressChanged, this, &MainWindow::syncAccess);
    connect(&link, &Link::linkBusyChanged, this, &MainWindow::syncAccess);
}

MainWindow::~MainWindow() {
    setBusyCursor(false);
    delete m_optionsWindow.data();
}

void MainWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    m_readAll = bar->addAction(msg(msgid::MenuReadAllDiscsDesign));
    m_readAll->setObjectName(QStringLiteral("mnuAllRead"));
    connect(m_readAll, &QAction::triggered, this, &MainWindow::readAllRequested);
    m_optionsAction = bar->addAction(msg(msgid::MenuOptionsDesign));
    m_optionsAction->setObjectName(QStringLiteral("mnuopt"));
    connect(m_optionsAction, &QAction::triggered, this, &MainWindow::mnuopt_Click);

    m_cddb = bar->addMenu(msg(msgid::MenuCddb));
    m_cddb->setObjectName(QStringLiteral("mnuCDDB2"));
    m_cddb->menuAction()->setObjectName(QStringLiteral("mnuCDDB2"));

    m_help = bar->addAction(msg(msgid::MenuHelp));
    m_help->setObjectName(QStringLiteral("mnuHelp"));
    connect(m_help, &QAction::triggered, this, &MainWindow::mnuHelp_Click);
}

void MainWindow::buildPicture() {
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrollVexo"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(false);
    m_scroll->horizontalScrollBar()->setObjectName(QStringLiteral("HScroll1"));
    m_scroll->verticalScrollBar()->setObjectName(QStringLiteral("VScroll1"));
    m_corner = new QWidget;
    m_corner->setObjectName(QStringLiteral("picCorner"));
    m_scroll->setCornerWidget(m_corner);
    m_scroll->viewport()->installEventFilter(this);
    m_corner->installEventFilter(this);

    m_picture = new QWidget;
    m_picture->setObjectName(QStringLiteral("picVexo"));
    m_tabs = new QTabWidget(m_picture);
    m_tabs->setObjectName(QStringLiteral("stMain"));
    m_tabs->setIconSize(QSize(40, 40));
    for (int i = 0; i < 2; ++i) {
        m_containers[i] = new QWidget;
        m_containers[i]->setObjectName(QStringLiteral("tabPage%1").arg(i));
        auto* layout = new QVBoxLayout(m_containers[i]);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    // The tabs show pictures, not captions.
    m_tabs->addTab(m_containers[0], titlesTabIcon(), QString());
    m_tabs->addTab(m_containers[1], audioTabIcon(), QString());
    setPage(0, placeholderPage("picStab0"));
    setPage(1, placeholderPage("picStab1"));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int) {
        const int previous = m_currentTab;
        m_currentTab = m_tabs->currentIndex();
        stMain_Click(previous);
    });
    // Hidden until the link start-up has decided which tab the user may use.
    m_tabs->hide();
    m_scroll->setWidget(m_picture);
    setCentralWidget(m_scroll);
}

void MainWindow::setTitlesPage(QWidget* page) {
    setPage(0, page);
}

void MainWindow::setAudioPage(QWidget* page) {
    setPage(1, page);
}

void MainWindow::setPage(int index, QWidget* page) {
    if (!page || page == m_pages[index])
        return;
    if (QWidget* old = m_pages[index])
        old->deleteLater();
    m_pages[index] = page;
    m_containers[index]->layout()->addWidget(page);
    updatePictureSize();
}

void MainWindow::updatePictureSize() {
    const bool wasFull = isVisible() && size() == fullSize();
    // The tab control takes the size its larger page asks for; the picture holds it at (0, 0).
    const QSize tabs = m_tabs->sizeHint().expandedTo(m_tabs->minimumSizeHint());
    m_tabs->setGeometry(QRect(QPoint(0, 0), tabs));
    m_picture->setFixedSize(tabs);
    setMaximumSize(fullSize());
    if (wasFull)
        resize(fullSize());
}

void MainWindow::pageSwitch(int page) {
    if (page < 0 || page > 2)
        return;
    for (int i = 0; i < 2; ++i) {
        if (!m_pages[i])
            continue;
        m_pages[i]->setVisible(page == i);
        m_pages[i]->setEnabled(page == i);
    }
}

void MainWindow::selectTab(int tab, bool force) {
    const int previous = m_tabs->currentIndex();
    {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(tab);
    }
    m_currentTab = m_tabs->currentIndex();
    if (force || previous != m_currentTab)
        stMain_Click(previous);
}

void MainWindow::setAudioTabEnabled(bool enabled) {
    m_tabs->setTabEnabled(kAudioTab, enabled);
}

bool MainWindow::audioTabEnabled() const {
    return m_tabs->isTabEnabled(kAudioTab);
}

void MainWindow::stMain_Click(int previousTab) {
    Q_UNUSED(previousTab);
    const Link& link = m_context.link;
    if (m_tabs->currentIndex() == kTitlesTab) {
        if (openPanelFlags & 1)
            pageSwitch(0);
        else if (m_parts)
            m_parts->prepareTitlesTab();
        else
            pageSwitch(0);
        showStatusMessage(kTitlesTab, playback::status::DownloadedTitles);
        return;
    }
    // The audio tab only works with a changer in mode 0 that has reported its player.
    if (link.linkBusy() == kLinkOffline || link.modeCode() != 1 || link.playValues().PlayDisc == 0)
        return;
    if (m_parts)
        m_parts->audioTabSelected();
    if (openPanelFlags & 2)
        pageSwitch(1);
    else if (m_parts)
        m_parts->prepareAudioTab();
    else
        pageSwitch(1);
    showStatusMessage(kAudioTab, playback::status::ChangerControls);
}

void MainWindow::enterTextOnlyMode() {
    {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(kTitlesTab);
    }
    m_currentTab = kTitlesTab;
    setAudioTabEnabled(false);
    stMain_Click(kAudioTab);
    m_tabs->show();
}

void MainWindow::modeReaction() {
    Link& link = m_context.link;
    bool audio = false;
    if (link.modeCode() == 1) {
        audio = m_parts ? m_parts->startUpConversion() : true;
        if (!audio && m_parts)
            m_parts->fillDiscListAllSlots();
    } else if (m_parts) {
        m_parts->fillDiscListAllSlots();
    }
    if (audio) {
        setAudioTabEnabled(true);
        selectTab(kAudioTab);
    } else {
        selectTab(kTitlesTab);
        setAudioTabEnabled(false);
    }
    setReadAllEnabled(audio);
    if (m_parts)
        m_parts->afterModeReaction();
    m_tabs->show();
    link.modeReactionDone();
}

void MainWindow::setReadAllEnabled(bool enabled) {
    m_readAll->setEnabled(enabled);
}

void MainWindow::mnuopt_Click() {
    if (!m_optionsWindow) {
        m_optionsWindow = new OptionsWindow(m_context.config, m_context.link, m_context.ui, this);
        connect(m_optionsWindow, &OptionsWindow::updated, this, &MainWindow::optionsUpdated);
    }
    m_optionsWindow->showCentred();
}

OptionsWindow* MainWindow::optionsWindow() const {
    return m_optionsWindow;
}

void MainWindow::showStatusMessage(int tab, int index) {
    if (m_parts)
        m_parts->statusLines().ShowStatusMessage(tab, index);
}

void MainWindow::syncAccess() {
    const bool open = !m_context.link.commandInProgress();
    if (m_picture->isEnabled() != open)
        m_picture->setEnabled(open);
    if (m_closePending && !linkHeldByCommand()) {
        m_closePending = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void MainWindow::setBusyCursor(bool busy) {
    if (busy == m_busyCursor)
        return;
    m_busyCursor = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace tf
