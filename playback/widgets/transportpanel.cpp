#include "playback/widgets/transportpanel.h"

#include "base/statusmessenger.h"
#include "link/link.h"
#include "model/playtables.h"
#include "operations/appcontext.h"
#include "playback/widgets/infolines.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>

namespace tf {

using namespace playback;

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

} // namespace

TransportPanel::TransportPanel(AppContext& ctx, InfoLines& lines, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_lines(lines) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    static const char* const kContinueText[4] = {"|<<", ">>|", "<<", ">>"};
    for (int i = 0; i < kContinueKeyCount; ++i) {
        // The four keys form one control array; each button carries its index.
        QPushButton* button = makeButton(this, "cmdContinueKEY", QLatin1String(kContinueText[i]));
        button->setProperty("index", i);
        button->installEventFilter(this);
        m_continue[size_t(i)] = button;
    }
    QPushButton* play = makeButton(this, "cmdPlay", QStringLiteral("PLAY/PAUSE"));
    QPushButton* stop = makeButton(this, "cmdStop", QStringLiteral("STOP"));
    QPushButton* repeat = makeButton(this, "cmdRepeat", QStringLiteral("REPEAT"));
    QPushButton* random = makeButton(this, "cmdRandom", QStringLiteral("RANDOM"));
    layout->addWidget(m_continue[0]);
    layout->addWidget(m_continue[2]);
    layout->addWidget(play);
    layout->addWidget(stop);
    layout->addWidget(m_continue[3]);
    layout->addWidget(m_continue[1]);
    layout->addWidget(repeat);
    layout->addWidget(random);

    connect(play, &QPushButton::clicked, this, &TransportPanel::cmdPlay_Click);
    connect(stop, &QPushButton::clicked, this, &TransportPanel::cmdStop_Click);
    connect(repeat, &QPushButton::clicked, this, &TransportPanel::cmdRepeat_Click);
    connect(random, &QPushButton::clicked, this, &TransportPanel::cmdRandom_Click);

    // The release code goes out from this timer once the link is free. It runs only while a
    // release is pending, so an idle tab costs nothing.
    m_tmKeyOff.setObjectName(QStringLiteral("tmKeyOff_out"));
    m_tmKeyOff.setInterval(2);
    connect(&m_tmKeyOff, &QTimer::timeout, this, &TransportPanel::tmKeyOff_out_Timer);

    m_tmContinueDisable.setObjectName(QStringLiteral("tmContinue_disable"));
    m_tmContinueDisable.setInterval(2000);
    m_tmContinueDisable.setTimerType(Qt::PreciseTimer);
    m_tmContinueDisable.setSingleShot(true);
}

void TransportPanel::clickKey(int statusIndex, quint8 group, quint8 key) {
    Link& link = m_ctx.link;
    if (link.linkBusy() != kLinkIdle)
        return;
    // The text is chosen before the key goes out: it announces what the key is about to do.
    m_lines.ShowStatusMessage(StatusMessenger::kAudioTab, statusIndex);
    link.Tarminal_Base_check();
    link.setCommandInProgress(true);
    {
        const LinkHold hold(link, kLinkAudio);
        link.SendKeyCode(group, key);
    }
    link.setCommandInProgress(false);
}

void TransportPanel::cmdPlay_Click() {
    const int state = m_ctx.link.playValues().PlayStateCode;
    const bool notPlaying =
        state == kStateStopped || state == kStateStopping || state == kStatePaused;
    clickKey(notPlaying ? status::Playing : status::Paused, kKeyPlay.group, kKeyPlay.key);
}

void TransportPanel::cmdStop_Click() {
    clickKey(status::Stopped, kKeyStop.group, kKeyStop.key);
}

void TransportPanel::cmdRepeat_Click() {
    clickKey(status::Repeat, kKeyRepeat.group, kKeyRepeat.key);
}

void TransportPanel::cmdRandom_Click() {
    clickKey(status::Random, kKeyRandom.group, kKeyRandom.key);
}

bool TransportPanel::eventFilter(QObject* watched, QEvent* event) {
    auto* button = qobject_cast<QPushButton*>(watched);
    if (!button || !button->isEnabled())
        return QWidget::eventFilter(watched, event);
    const int index = button->property("index").toInt();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            cmdContinueKEY_MouseDown(index);
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            cmdContinueKEY_MouseUp(index);
        break;
    case QEvent::KeyRelease:
        cmdContinueKEY_MouseUp(index);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TransportPanel::cmdContinueKEY_MouseDown(int index) {
    Link& link = m_ctx.link;
    if (m_tmContinueDisable.isActive() || link.linkBusy() != kLinkIdle || index < 0 ||
        index >= kContinueKeyCount)
        return;
    m_lines.ShowStatusMessage(StatusMessenger::kAudioTab, kContinueStatus[index]);
    m_lines.holdRefresh();
    link.Tarminal_Base_check();
    {
        const LinkHold hold(link, kLinkAudio);
        // A quick click lets go while the press code is still on its way; that release must not
        // be lost, or the changer would keep winding.
        m_pressInFlight = true;
        m_releasedInFlight = false;
        link.SendKeyCode(kContinueKeys[index].group, kContinueKeys[index].key);
    }
    m_pressInFlight = false;
    ContinueKeyState = 1;
    if (m_releasedInFlight)
        cmdContinueKEY_MouseUp(index);
}

void TransportPanel::cmdContinueKEY_MouseUp(int) {
    if (m_pressInFlight) {
        m_releasedInFlight = true;
        return;
    }
    if (ContinueKeyState != 1)
        return;
    ContinueKeyState = 2;
    m_lines.refreshNow();
    m_tmKeyOff.start();
}

void TransportPanel::tmKeyOff_out_Timer() {
    Link& link = m_ctx.link;
    if (link.linkBusy() == kLinkOffline) {
        // No changer any more: nothing is held on the other side.
        m_tmKeyOff.stop();
        ContinueKeyState = 0;
        return;
    }
    if (link.linkBusy() != kLinkIdle)
        return;
    m_tmKeyOff.stop();
    if (ContinueKeyState != 2)
        return;
    {
        const LinkHold hold(link, kLinkAudio);
        link.SendKeyCode(kKeyRelease.group, kKeyRelease.key);
    }
    m_lines.resumeRefresh();
    if (link.lastResult() == kResultOk)
        ContinueKeyState = 0;
    else
        m_tmKeyOff.start(); // tried again on a later tick
}

} // namespace tf
