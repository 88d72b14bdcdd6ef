#pragma once

#include "base/statusmessenger.h"

#include <QObject>
#include <QTimer>

#include <functional>

class QLabel;

namespace tf {

class Link;

// The information lines of both tabs. A status text stays for six seconds; then the line
// shows the tab's standing text again (titles tab: lbBackTextInfo; audio tab: the play state
// held in lbPLAYINFO) and keeps refreshing it every second.
class InfoLines : public QObject, public StatusMessenger {
    Q_OBJECT
public:
    explicit InfoLines(Link& link, QObject* parent = nullptr);

    // The titles tab's visible line and its hidden standing text.
    void setTitlesLabels(QLabel* lbTextInfo, QLabel* lbBackTextInfo);
    // The audio tab's visible line and its hidden play-state label.
    void setAudioLabels(QLabel* lbAudioInfo, QLabel* lbPLAYINFO);
    // Which tab is selected (kTitlesTab or kAudioTab).
    void setSelectedTab(std::function<int()> selectedTab);
    // The disc the title editor is loading (suffix of texts 907 and 908).
    void setEditorDisc(std::function<int()> disc);
    // The disc and track chosen on the audio tab (suffixes of texts 919 and 920).
    void setAudioSelection(std::function<int()> disc, std::function<int()> track);

    void ShowStatusMessage(int tab, int index) override;

    // The refresh (tick of tm_display): the selected tab's line shows its standing text.
    void refreshNow();
    // Held keys keep their text on the line: the refresh stops until resumeRefresh().
    void holdRefresh();
    void resumeRefresh();

    // The text a status code shows on a tab, suffix included.
    QString statusLine(int tab, int index) const;

    // How long a status text stays and how often the line refreshes afterwards; tests
    // shorten them.
    void setIntervals(int statusMs, int refreshMs);
    QTimer& displayTimer() { return m_tmDisplay; }

private:
    static void show(QLabel* label, const QString& text);

    Link& m_link;
    QLabel* m_textInfo = nullptr;
    QLabel* m_backTextInfo = nullptr;
    QLabel* m_audioInfo = nullptr;
    QLabel* m_playInfo = nullptr;
    std::function<int()> m_selectedTab;
    std::function<int()> m_editorDisc;
    std::function<int()> m_audioDisc;
    std::function<int()> m_audioTrack;
    QTimer m_tmDisplay;
    int m_statusMs = 6000;
    int m_refreshMs = 1000;
};

} // namespace tf
