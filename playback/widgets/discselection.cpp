#include "playback/widgets/discselection.h"

#include "base/catalogue.h"
#include "base/statusmessenger.h"
#include "base/userinterface.h"
#include "link/link.h"
#include "model/playtables.h"
#include "operations/appcontext.h"
#include "operations/playingdisc.h"
#include "playback/searchplay.h"
#include "store/config.h"
#include "store/disclist.h"

#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace tf {

using namespace playback;

namespace {

constexpr int kEnableMs = 8000;
constexpr int kEnableAfterPlayMs = 5000;
constexpr int kMaxTrack = 99;

// Characters 2 to 4 of an item: its slot or track number.
int itemNumber(const QString& item) {
    return item.mid(1, 3).trimmed().toInt();
}

QLineEdit* makeBox(QWidget* parent, const char* name, const QString& text) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

} // namespace

QString DiscSelectionPanel::listedTrackTitle(int track) const {
    for (int i = 0; i < m_cmbTTTL->count(); ++i)
        if (itemNumber(m_cmbTTTL->itemText(i)) == track)
            return m_cmbTTTL->itemText(i).mid(disclist::slotLabel(track).size());
    return {};
}

DiscSelectionPanel::DiscSelectionPanel(AppContext& ctx, StatusMessenger& status, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_status(status) {
    m_cmbDTTL = new QComboBox(this);
    m_cmbDTTL->setObjectName(QStringLiteral("cmbDTTL"));
    m_cmbTTTL = new QComboBox(this);
    m_cmbTTTL->setObjectName(QStringLiteral("cmbTTTL"));
    m_txtDTTL = makeBox(this, "txtDTTL", {});
    m_txtTTTL = makeBox(this, "txtTTTL", {});
    m_txtDTTL->setReadOnly(true);
    m_txtTTTL->setReadOnly(true);
    m_txtDISC = makeBox(this, "txtDISC", QStringLiteral("200"));
    m_txtTRACK = makeBox(this, "txtTRACK", QStringLiteral("99"));
    m_picCDTEXT = new QLabel(QStringLiteral("CD TEXT"), this);
    m_picCDTEXT->setObjectName(QStringLiteral("picCDTEXT"));
    m_picCDTEXT->hide();

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_txtDISC, 0, 0);
    grid->addWidget(m_cmbDTTL, 0, 1);
    grid->addWidget(m_txtDTTL, 0, 1); // laid over the list
    grid->addWidget(m_picCDTEXT, 0, 2);
    grid->addWidget(m_txtTRACK, 1, 0);
    grid->addWidget(m_cmbTTTL, 1, 1);
    grid->addWidget(m_txtTTTL, 1, 1);
    grid->setColumnStretch(1, 1);
    m_txtDTTL->hide();
    m_txtTTTL->hide();

    for (QWidget* w : {static_cast<QWidget*>(m_cmbDTTL), static_cast<QWidget*>(m_cmbTTTL),
                       static_cast<QWidget*>(m_txtDTTL), static_cast<QWidget*>(m_txtTTTL),
                       static_cast<QWidget*>(m_txtDISC), static_cast<QWidget*>(m_txtTRACK)})
        w->installEventFilter(this);
    // activated: chosen by the user; the program's own selection changes do not play.
    connect(m_cmbDTTL, &QComboBox::activated, this, &DiscSelectionPanel::cmbDTTL_Click);
    connect(m_cmbTTTL, &QComboBox::activated, this, &DiscSelectionPanel::cmbTTTL_Click);

    m_enableTM.setObjectName(QStringLiteral("EnableTM"));
    m_enableTM.setInterval(kEnableMs);
    m_enableTM.setTimerType(Qt::PreciseTimer);
    connect(&m_enableTM, &QTimer::timeout, this, &DiscSelectionPanel::EnableTM_Timer);
}

// ---- Numbers and lists ----

void DiscSelectionPanel::ShowDiscNumber() {
    const QString text = QString::number(m_ctx.link.playValues().PlayDisc);
    m_txtDISC->setText(text);
    emit discNumberShown(text);
}

void DiscSelectionPanel::ShowTrackNumber() {
    m_txtTRACK->setText(QString::number(m_ctx.link.playValues().PlayTrack));
}

void DiscSelectionPanel::clearLists() {
    m_cmbDTTL->clear();
    m_cmbTTTL->clear();
    m_selectedDiscPosition = -1;
}

void DiscSelectionPanel::showCdTextMark(bool show) {
    m_picCDTEXT->setVisible(show);
}

void DiscSelectionPanel::setTrackModeControls(bool trackMode) {
    for (QWidget* w : {static_cast<QWidget*>(m_cmbDTTL), static_cast<QWidget*>(m_cmbTTTL),
                       static_cast<QWidget*>(m_txtDISC), static_cast<QWidget*>(m_txtTRACK)})
        w->setEnabled(trackMode);
    m_txtDTTL->setVisible(!trackMode);
    m_txtTTTL->setVisible(!trackMode);
    if (!trackMode) {
        m_txtDTTL->setText(m_cmbDTTL->currentText());
        m_txtTTTL->setText(m_cmbTTTL->currentText());
    }
}

int DiscSelectionPanel::minTrackOf(int disc) const {
    const auto entries = disclist::read(m_ctx.config.settings.dataDir);
    if (!entries)
        return 1;
    for (const disclist::Entry& e : *entries)
        if (e.slot == disc)
            return e.minTno > 0 ? e.minTno : 1;
    return 1;
}

int DiscSelectionPanel::discItemIndex(int disc) const {
    for (int i = 0; i < m_cmbDTTL->count(); ++i)
        if (itemNumber(m_cmbDTTL->itemText(i)) == disc)
            return i;
    return -1;
}

void DiscSelectionPanel::setDiscTitle(int disc, const QString& title) {
    int index = discItemIndex(disc);
    if (index < 0) {
        m_cmbDTTL->addItem(disclist::slotLabel(disc));
        index = m_cmbDTTL->count() - 1;
    }
    m_cmbDTTL->setItemText(index, m_cmbDTTL->itemText(index).left(6) + title);
}

void DiscSelectionPanel::Open_TMPFile_DISC() {
    m_cmbDTTL->clear();
    m_selectedDiscPosition = -1;
    const int playing = m_ctx.link.playValues().PlayDisc;
    if (const auto entries = disclist::read(m_ctx.config.settings.dataDir)) {
        for (const disclist::Entry& e : *entries) {
            m_cmbDTTL->addItem(disclist::slotLabel(e.slot) + e.title);
            if (e.slot == playing && m_selectedDiscPosition < 0)
                m_selectedDiscPosition = m_cmbDTTL->count() - 1;
        }
    }
    m_cmbDTTL->setCurrentIndex(m_selectedDiscPosition);
    m_txtDTTL->setText(m_cmbDTTL->currentText());
}

void DiscSelectionPanel::SelectTrackTitle() {
    const int track = m_ctx.link.playValues().PlayTrack;
    int found = -1;
    for (int i = 0; i < m_cmbTTTL->count(); ++i) {
        if (itemNumber(m_cmbTTTL->itemText(i)) == track) {
            found = i;
            break;
        }
    }
    if (found >= 0)
        m_selectedTrack = found + 1;
    m_cmbTTTL->setCurrentIndex(found);
    m_txtTTTL->setText(m_cmbTTTL->currentText());
}

// ---- Titles of the playing disc ----

void DiscSelectionPanel::showTitles(const DiscTitles& titles) {
    const int disc = m_ctx.link.playValues().PlayDisc;
    if (titles.discTitle)
        setDiscTitle(disc, *titles.discTitle);
    else if (titles.discItem && discItemIndex(disc) < 0)
        m_cmbDTTL->addItem(disclist::slotLabel(disc));
    m_cmbTTTL->clear();
    for (const TrackTitle& track : titles.tracks)
        m_cmbTTTL->addItem(disclist::slotLabel(track.number) + track.title);
}

bool DiscSelectionPanel::Open_Track_Title(const QString& path, int lowest, int highest) {
    const auto titles = discFileTitles(path, lowest, highest);
    if (!titles)
        return false;
    showTitles(*titles);
    return titles->usable;
}

void DiscSelectionPanel::LoadPlayingDiscTitles() {
    Link& link = m_ctx.link;
    m_enableTM.stop();
    link.setCommandInProgress(true);
    const int disc = link.playValues().PlayDisc;
    if (const auto playing = readPlayingDisc(link, disc)) {
        m_cmbTTTL->clear();
        m_txtTTTL->clear();
        showTitles(findPlayingDiscTitles(m_ctx, *playing).titles);
        showCdTextMark(playing->cdText);
        // The list shows the disc now playing, however it came to play, and a later choice
        // of the disc played before is a new choice.
        m_selectedDiscPosition = discItemIndex(disc);
        m_cmbDTTL->setCurrentIndex(m_selectedDiscPosition);
        if (link.playValues().PlayMode == kPlayModeTrack) {
            m_txtTTTL->hide();
            m_cmbTTTL->setEnabled(true);
        }
    }
    m_txtDTTL->setText(m_cmbDTTL->currentText());
    link.setCommandInProgress(false);
}

// ---- Choosing from the lists ----

void DiscSelectionPanel::cmbDTTL_Click(int index) {
    Link& link = m_ctx.link;
    if (link.modeCode() != 1) {
        m_cmbDTTL->setCurrentIndex(m_selectedDiscPosition);
        return;
    }
    if (m_clickSuppressed) {
        m_clickSuppressed = false;
        return;
    }
    // A second choice while a play request is on its way waits for nothing: it is dropped.
    if (link.commandInProgress() || link.linkBusy() == kLinkOffline)
        return;
    if (link.playValues().PlayMode == kPlayModeTrack && index >= 0 &&
        index != m_selectedDiscPosition) {
        m_selectedDisc = itemNumber(m_cmbDTTL->itemText(index));
        m_selectedTrack = minTrackOf(m_selectedDisc);
        m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::SelectedDisc);
        requestPlay(link, m_selectedDisc, m_selectedTrack);
        const QString discText = QString::number(m_selectedDisc);
        m_txtDISC->setText(discText);
        emit discNumberShown(discText);
        m_txtTTTL->setText(disclist::slotLabel(m_selectedTrack));
        m_txtTTTL->show();
        m_cmbTTTL->setEnabled(false); // stale until the changer reports the new disc
        m_txtTRACK->setText(QString::number(m_selectedTrack));
        link.setCommandInProgress(false);
    }
    m_txtDTTL->setText(m_cmbDTTL->currentText());
}

void DiscSelectionPanel::cmbTTTL_Click(int index) {
    Link& link = m_ctx.link;
    if (link.modeCode() != 1) {
        m_cmbDTTL->setCurrentIndex(m_selectedDiscPosition);
        return;
    }
    if (m_clickSuppressed) {
        m_clickSuppressed = false;
        return;
    }
    if (link.commandInProgress() || link.linkBusy() == kLinkOffline)
        return;
    if (link.playValues().PlayMode == kPlayModeTrack && index >= 0) {
        m_selectedTrack = itemNumber(m_cmbTTTL->itemText(index));
        if (m_selectedDisc == 0)
            m_selectedDisc = link.playValues().PlayDisc;
        if (m_selectedDisc != link.playValues().PlayDisc ||
            m_selectedTrack != link.playValues().PlayTrack) {
            m_status.ShowStatusMessage(StatusMessenger::kAudioTab, status::SelectedTrack);
            requestPlay(link, m_selectedDisc, m_selectedTrack);
            link.setCommandInProgress(false);
        }
    }
    m_txtTTTL->setText(m_cmbTTTL->currentText());
}

QString DiscSelectionPanel::playChoice(int disc, int track) {
    Link& link = m_ctx.link;
    if (const auto refusal = searchPlayRefusal(link); refusal != SearchPlayRefusal::None)
        return refusalText(refusal);
    const bool newDisc = track == 0 || disc != link.playValues().PlayDisc;
    m_selectedDisc = disc;
    m_selectedTrack = track > 0 ? track : minTrackOf(disc);
    m_status.ShowStatusMessage(StatusMessenger::kAudioTab,
                               newDisc ? status::SelectedDisc : status::SelectedTrack);
    requestPlay(link, m_selectedDisc, m_selectedTrack);
    if (newDisc) {
        // As a disc chosen in the list: the track list is stale until the changer reports.
        const QString discText = QString::number(disc);
        m_txtDISC->setText(discText);
        emit discNumberShown(discText);
        m_txtTTTL->setText(disclist::slotLabel(m_selectedTrack));
        m_txtTTTL->show();
        m_cmbTTTL->setEnabled(false);
    }
    m_txtTRACK->setText(QString::number(m_selectedTrack));
    link.setCommandInProgress(false);
    return {};
}

// ---- Keyboard ----

bool DiscSelectionPanel::listKeyDown(QComboBox* list, QLineEdit* copy, QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Browsing sends nothing: the list's own change is only taken as a click to skip.
        copy->hide();
        m_clickSuppressed = true;
        return false;
    case Qt::Key_Left:
    case Qt::Key_Right:
        copy->setText(list->currentText());
        copy->setCursorPosition(0);
        copy->show();
        copy->setFocus();
        m_clickSuppressed = true;
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        copy->hide();
        m_clickSuppressed = false;
        if (list == m_cmbDTTL)
            cmbDTTL_Click(list->currentIndex());
        else
            cmbTTTL_Click(list->currentIndex());
        return true;
    default:
        return true;
    }
}

bool DiscSelectionPanel::copyKeyDown(QComboBox* list, QLineEdit*, QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        return false;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (m_ctx.link.playValues().PlayMode == kPlayModeTrack)
            list->setFocus();
        return true;
    default:
        return true; // typed characters are discarded
    }
}

bool DiscSelectionPanel::numberKeyPress(QLineEdit* box, int maxDigits, QKeyEvent* key) {
    const int k = key->key();
    if (k == Qt::Key_Return || k == Qt::Key_Enter) {
        if (box == m_txtDISC)
            txtDISC_Enter();
        else
            txtTRACK_Enter();
        return true;
    }
    if (k == Qt::Key_Backspace) {
        restartEnableTM(kEnableMs);
        return false;
    }
    if (k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Tab || k == Qt::Key_Backtab)
        return false;
    const QString text = key->text();
    if (text.size() == 1 && text.at(0).isDigit() && text.at(0).unicode() < 128) {
        if (box->text().size() - box->selectedText().size() >= maxDigits)
            return true;
        restartEnableTM(kEnableMs);
        return false;
    }
    return true;
}

void DiscSelectionPanel::numberGotFocus(QLineEdit* box) {
    if (!box->text().isEmpty()) {
        const QString plain = QString::number(box->text().trimmed().toInt());
        box->setText(plain);
        if (box == m_txtDISC)
            emit discNumberShown(plain);
    }
    restartEnableTM(kEnableMs);
}

void DiscSelectionPanel::txtDISC_Enter() {
    Link& link = m_ctx.link;
    bool ok = false;
    const int disc = m_txtDISC->text().trimmed().toInt(&ok);
    // Disc 0 or a number past the last slot cannot be played: the box shows the playing disc.
    if (!ok || disc < 1 || disc > link.maxDiscCount()) {
        m_txtDISC->setText(QString::number(link.playValues().PlayDisc));
        return;
    }
    m_enableTM.stop();
    if (link.modeCode() != 1) {
        ShowDiscNumber();
        return;
    }
    if (link.playValues().PlayMode != kPlayModeTrack || link.commandInProgress() ||
        link.linkBusy() == kLinkOffline)
        return;
    const int track = minTrackOf(disc);
    requestPlay(link, disc, track);
    restartEnableTM(kEnableAfterPlayMs);
    m_txtTRACK->setText(QString::number(track));
    link.setCommandInProgress(false);
}

void DiscSelectionPanel::txtTRACK_Enter() {
    Link& link = m_ctx.link;
    bool ok = false;
    const int track = m_txtTRACK->text().trimmed().toInt(&ok);
    if (!ok || track < 1 || track > kMaxTrack) {
        ShowTrackNumber();
        return;
    }
    m_enableTM.stop();
    if (link.modeCode() != 1) {
        ShowTrackNumber();
        return;
    }
    if (link.playValues().PlayMode != kPlayModeTrack || link.commandInProgress() ||
        link.linkBusy() == kLinkOffline)
        return;
    int disc = m_txtDISC->text().trimmed().toInt(&ok);
    if (!ok || disc < 1 || disc > link.maxDiscCount())
        disc = link.playValues().PlayDisc;
    requestPlay(link, disc, track);
    link.setCommandInProgress(false);
}

void DiscSelectionPanel::restartEnableTM(int ms) {
    m_enableTM.stop();
    m_enableTM.setInterval(ms);
    m_enableTM.start();
}

void DiscSelectionPanel::EnableTM_Timer() {
    ShowDiscNumber();
    ShowTrackNumber();
}

bool DiscSelectionPanel::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == m_cmbDTTL)
            return listKeyDown(m_cmbDTTL, m_txtDTTL, key);
        if (watched == m_cmbTTTL)
            return listKeyDown(m_cmbTTTL, m_txtTTTL, key);
        if (watched == m_txtDTTL)
            return copyKeyDown(m_cmbDTTL, m_txtDTTL, key);
        if (watched == m_txtTTTL)
            return copyKeyDown(m_cmbTTTL, m_txtTTTL, key);
        if (watched == m_txtDISC)
            return numberKeyPress(m_txtDISC, 4, key);
        if (watched == m_txtTRACK)
            return numberKeyPress(m_txtTRACK, 3, key);
    } else if (type == QEvent::FocusIn) {
        if (watched == m_txtDISC || watched == m_txtTRACK)
            numberGotFocus(static_cast<QLineEdit*>(watched));
        else if ((watched == m_cmbDTTL || watched == m_cmbTTTL) &&
                 m_ctx.link.playValues().PlayMode == kPlayModeTrack)
            (watched == m_cmbDTTL ? m_txtDTTL : m_txtTTTL)->hide();
    } else if (type == QEvent::FocusOut) {
        if (watched == m_txtTRACK)
            EnableTM_Timer();
        else if ((watched == m_txtDTTL || watched == m_txtTTTL) &&
                 m_ctx.link.playValues().PlayMode == kPlayModeTrack)
            (watched == m_txtDTTL ? m_cmbDTTL : m_cmbTTTL)->setFocus();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tf
