// The main window's frame: loading at start-up, position and size, the help page, closing.

#include "shell/widgets/mainwindow.h"

#include "base/catalogue.h"
#include "link/link.h"
#include "lookup/lookupoptions.h"
#include "operations/comport.h"
#include "shell/widgets/optionswindow.h"
#include "store/config.h"
#include "store/storefiles.h"
#include "store/usersettings.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QUrl>

namespace tf {
namespace {

constexpr int kTwips = UserSettings::kTwipsPerPixel;

} // namespace

void MainWindow::Form_Load(LookupOptions& lookupOptions) {
    Configuration& config = m_context.config;
    // First run: the window starts out filling the desktop's work area.
    if (config.firstRunFlag) {
        config.firstRunFlag = false;
        const QScreen* screen = this->screen();
        const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
        UserSettings::setWindowPositionTwips(QRect(area.topLeft() * kTwips, area.size() * kTwips));
    }
    // A position that was never stored (or is empty) would give a window of no size: open
    // at full size instead.
    const auto stored = UserSettings::windowPositionTwips();
    if (stored && stored->width() > 0 && stored->height() > 0)
        applyPositionTwips(*stored);
    else
        restoreFullSize();

    m_optionsAction->setText(msg(msgid::MenuOptions));
    m_readAll->setText(msg(msgid::MenuReadAllDiscs));
    setWindowTitle(msg(msgid::ApplicationCaption));
    openPanelFlags = 0;

    // The lookup component: who we are, where it keeps its files, and the proxy the user
    // gave on the first run (a one-shot hand-over that is deleted once taken).
    const ClientIdentity client = defaultClientIdentity();
    lookupOptions.SetClientInfo(client.id, client.tag, client.version, client.registration);
    lookupOptions.startFlag = 0;
    lookupOptions.folder = config.programDir();
    if (const auto proxy = config.takeProxyHandOver())
        lookupOptions.takeProxy(*proxy);

    show();

    if (!startUpLink(m_context.link, config.settings.comPort))
        enterTextOnlyMode();
    // Link up: the tabs appear when the changer first reports its mode.
}

QSize MainWindow::fullSize() const {
    return QSize(m_picture->width(), m_picture->height() + menuBar()->sizeHint().height());
}

void MainWindow::restoreFullSize() {
    resize(fullSize());
}

QRect MainWindow::positionTwips() const {
    return QRect(pos() * kTwips, size() * kTwips);
}

void MainWindow::applyPositionTwips(const QRect& twips) {
    // Width, height, top, left, in that order; the size limits then decide the final size.
    resize(twips.width() / kTwips, twips.height() / kTwips);
    move(twips.left() / kTwips, twips.top() / kTwips);
}

void MainWindow::storePosition() {
    UserSettings::setWindowPositionTwips(positionTwips());
}

QString MainWindow::helpPagePath() const {
    // The program folder holds the page; an installed program whose program folder is the
    // user's data folder finds it beside the installed program's shared files instead.
    const QString inProgramFolder = m_context.config.programPath(storefiles::kHelpPage);
    if (QFileInfo::exists(inProgramFolder))
        return inProgramFolder;
    const QString installed =
        QDir(QCoreApplication::applicationDirPath())
            .filePath(QStringLiteral("../share/trackfen/") + storefiles::kHelpPage);
    return QFileInfo::exists(installed) ? QDir::cleanPath(installed) : inProgramFolder;
}

void MainWindow::mnuHelp_Click() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(helpPagePath()));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // A double-click on the window's own surface (not on the picture or a control) brings
    // back the full size.
    if (event->type() == QEvent::MouseButtonDblClick &&
        (watched == m_scroll->viewport() || watched == m_corner)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const bool onPicture = watched == m_scroll->viewport() &&
                               m_picture->geometry().contains(mouse->position().toPoint());
        if (!onPicture) {
            restoreFullSize();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    Link& link = m_context.link;
    if (m_closing) {
        event->ignore();
        return;
    }
    // A command is waiting for the changer on the stack below us: let it finish first, so
    // nothing it works on goes away under it. The close is taken up again once it has.
    if (linkHeldByCommand()) {
        event->ignore();
        m_closePending = true;
        return;
    }
    m_closePending = false;

    QFile::remove(m_context.config.dataPath(storefiles::kProgram));

    UserInterface::Answer answer = UserInterface::Answer::Ok;
    if (m_parts) {
        m_closing = true;
        link.setCommandInProgress(true);
        answer = m_parts->askSaveTitles();
        link.setCommandInProgress(false);
        m_closing = false;
    }
    if (answer == UserInterface::Answer::Cancel) {
        event->ignore();
        return;
    }
    storePosition();
    if (m_optionsWindow)
        m_optionsWindow->close();
    event->accept();
    emit closed();
}

bool MainWindow::linkHeldByCommand() const {
    const Link& link = m_context.link;
    const qint16 owner = link.linkBusy();
    return link.commandInProgress() || owner == kLinkStore || owner == kLinkAudio ||
           owner == kLinkPush;
}

} // namespace tf
