#include "playback/widgets/infolines.h"

#include "base/catalogue.h"
#include "link/link.h"
#include "model/playtables.h"

#include <QLabel>

namespace tf {

using namespace playback;

InfoLines::InfoLines(Link& link, QObject* parent) : QObject(parent), m_link(link) {
    m_tmDisplay.setObjectName(QStringLiteral("tm_display"));
    m_tmDisplay.setInterval(m_statusMs);
    m_tmDisplay.setTimerType(Qt::PreciseTimer);
    connect(&m_tmDisplay, &QTimer::timeout, this, &InfoLines::refreshNow);
}

void InfoLines::setTitlesLabels(QLabel* lbTextInfo, QLabel* lbBackTextInfo) {
    m_textInfo = lbTextInfo;
    m_backTextInfo = lbBackTextInfo;
    if (m_textInfo)
        m_textInfo->setTextFormat(Qt::PlainText);
}

void InfoLines::setAudioLabels(QLabel* lbAudioInfo, QLabel* lbPLAYINFO) {
    m_audioInfo = lbAudioInfo;
    m_playInfo = lbPLAYINFO;
    if (m_audioInfo)
        m_audioInfo->setTextFormat(Qt::PlainText);
}

void InfoLines::setSelectedTab(std::function<int()> selectedTab) {
    m_selectedTab = std::move(selectedTab);
}

void InfoLines::setEditorDisc(std::function<int()> disc) {
    m_editorDisc = std::move(disc);
}

void InfoLines::setAudioSelection(std::function<int()> disc, std::function<int()> track) {
    m_audioDisc = std::move(disc);
    m_audioTrack = std::move(track);
}

void InfoLines::setIntervals(int statusMs, int refreshMs) {
    m_statusMs = statusMs;
    m_refreshMs = refreshMs;
}

QString InfoLines::statusLine(int tab, int index) const {
    QString text = statusText(index);
    const auto number = [](const std::function<int()>& f) {
        return QString::number(f ? f() : 0);
    };
    if (tab == kTitlesTab) {
        if (index == status::Reloading || index == status::Loading)
            text += number(m_editorDisc);
    } else if (tab == kAudioTab) {
        if (index == status::SelectedDisc)
            text += number(m_audioDisc);
        else if (index == status::SelectedTrack)
            text += number(m_audioTrack);
        else if (index == status::Random)
            text += msg(randomKeySwitchesOn(m_link.playValues().PlayMode) ? msgid::On : msgid::Off);
        else if (index == status::Repeat)
            text += msg(m_link.playValues().PlayRepeat != 0 ? msgid::Off : msgid::On);
    }
    return text;
}

void InfoLines::show(QLabel* label, const QString& text) {
    if (!label)
        return;
    QFont font = label->font();
    font.setPointSize(infoLinePointSize(text));
    label->setFont(font);
    label->setText(text);
}

void InfoLines::ShowStatusMessage(int tab, int index) {
    m_tmDisplay.stop();
    if (index < 0 || index > 32)
        return;
    if (tab == kTitlesTab)
        show(m_textInfo, statusLine(tab, index));
    else if (tab == kAudioTab)
        show(m_audioInfo, statusLine(tab, index));
    else
        return;
    m_tmDisplay.start(m_statusMs);
}

void InfoLines::refreshNow() {
    m_tmDisplay.setInterval(m_refreshMs);
    const int tab = m_selectedTab ? m_selectedTab() : kTitlesTab;
    if (tab == kTitlesTab) {
        QString text = m_backTextInfo ? m_backTextInfo->text() : QString();
        if (text.isEmpty())
            text = statusText(status::DownloadedTitles);
        show(m_textInfo, text);
    } else if (tab == kAudioTab) {
        show(m_audioInfo, m_playInfo ? m_playInfo->text() : QString());
    }
}

void InfoLines::holdRefresh() {
    m_tmDisplay.stop();
}

void InfoLines::resumeRefresh() {
    m_tmDisplay.start();
}

} // namespace tf
