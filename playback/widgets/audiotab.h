#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace tf {

struct AppContext;
class InfoLines;
class TransportPanel;
class StatusDisplay;
class DiscSelectionPanel;
class ProgramPanel;
class MusicTypePanel;
class UserFilePanel;

// The audio tab: a remote control for the changer. It shows what the changer reports by
// itself (the status display follows Link::statusTick) and turns the user's choices into key
// codes, play requests and play-mode set-ups.
class AudioTab : public QWidget {
    Q_OBJECT
public:
    // `lines` are the information lines the tab's commands report on.
    AudioTab(AppContext& ctx, InfoLines& lines, QWidget* parent = nullptr);
    ~AudioTab() override;

    // Fills the tab from the disc list, the user-file names and the play values and redraws
    // everything. Run the first time the tab is shown and after each changer-mode reaction.
    void PrepareAudioTab();
    bool isPrepared() const { return m_prepared; }

    // The tab has just been selected: for two seconds the press-and-hold keys ignore presses,
    // so a click that selected the tab cannot run on into a held key.
    void audioTabSelected();

    // The visible info line and the hidden label holding the play-state text, for InfoLines.
    QLabel* infoLabel() const;
    QLabel* playInfoLabel() const;

    // The disc and track last chosen on this tab (the numbers of status texts 919 and 920).
    int selectedDisc() const;
    int selectedTrack() const;

    // One rendering step of the play status; connected to Link::statusTick.
    void StatusDisplayTick();

    // The panels, for the window and for tests.
    TransportPanel* transport() const { return m_transport; }
    StatusDisplay* statusDisplay() const { return m_display; }
    DiscSelectionPanel* discSelection() const { return m_discs; }
    ProgramPanel* programPanel() const { return m_program; }
    MusicTypePanel* musicTypePanel() const { return m_musicType; }
    UserFilePanel* userFilePanel() const { return m_userFile; }

    // Closes every play set-up panel except `keep` (nullptr: all), without a status text.
    void closeSetupPanels(QWidget* keep);
    // The play-mode buttons for this play mode (modes above 8 leave them as they are).
    void SetPlayModeButtons(int mode);

signals:
    // The changer was switched to its own panel's mode while this tab was selected: the
    // window selects the titles tab. The tab has disabled itself.
    void leaveAudioTab();
    // The playing or chosen disc number, for the titles tab's lbTextDNO.
    void discNumberShown(const QString& text);
    // A rendering step of the play status has run (whether or not it changed anything).
    void playDrawn();

private:
    AppContext& m_ctx;
    TransportPanel* m_transport = nullptr;
    StatusDisplay* m_display = nullptr;
    DiscSelectionPanel* m_discs = nullptr;
    ProgramPanel* m_program = nullptr;
    MusicTypePanel* m_musicType = nullptr;
    UserFilePanel* m_userFile = nullptr;
    QPushButton* m_pgmPlay = nullptr;
    QPushButton* m_mtypePlay = nullptr;
    QPushButton* m_ufPlay = nullptr;
    bool m_prepared = false;
};

} // namespace tf
