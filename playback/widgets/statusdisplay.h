#pragma once

#include "playback/drawnplay.h"

#include <QTimer>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace tf {

struct AppContext;
class AudioTab;
class DiscSelectionPanel;

// What the changer reports about its play state, drawn incrementally: each rendering step
// compares every value with what it drew last and redraws only what changed.
class StatusDisplay : public QWidget {
    Q_OBJECT
public:
    StatusDisplay(AppContext& ctx, AudioTab& tab, DiscSelectionPanel& discs,
                  QWidget* parent = nullptr);

    void StatusDisplayTick();
    void InvalidateStatusDisplay();
    // One rendering step now, when the link poll would take one: the poll runs on events,
    // so a redraw that nothing on the line announces is started from here.
    void tickWhenLinkIdle();

    void SetPlayModeLabel(int mode);
    void ShowProgramStep();
    void ShowUserFileChecks();
    void ShowMusicType();
    // The eight user-file names (ufn.txt records 1 to 8) into the list.
    void fillUserFileNames();

    QLabel* infoLabel() const { return m_lbAudioInfo; }
    QLabel* playInfoLabel() const { return m_lbPLAYINFO; }
    QTimer& trackDelay() { return m_tmDelay; }
    // The play values as last drawn.
    DrawnPlay drawn() const;

private:
    // The parts of one rendering step.
    void showPlayMode(int mode);
    void showPlayState();
    void showDiscAndTrack();
    void ALL_DTTL_READ();
    void setIndicator(QLabel* label, const QString& text, bool lit);

    AppContext& m_ctx;
    AudioTab& m_tab;
    DiscSelectionPanel& m_discs;
    QLabel* m_lbAudioInfo = nullptr;
    QLabel* m_lbPLAYINFO = nullptr;
    QLabel* m_lbAudioPLAYMODE = nullptr;
    QLabel* m_lbRandom = nullptr;
    QLabel* m_lbRepeatONOFF = nullptr;
    QLabel* m_lbMtype = nullptr;
    QComboBox* m_cmbAudioMType = nullptr;
    QLabel* m_lbPGM = nullptr;
    QLineEdit* m_txtPNO = nullptr;
    QListWidget* m_lstAudioUFile = nullptr;
    QTimer m_tmDelay;

    // What was last drawn.
    struct Displayed {
        int disc = 0;
        int track = 0;
        int programStep = 0;
        int musicType = 0;
        int userFileBits = 0;
        int playMode = 0;
        int repeat = 0;
        int playState = 0;
        int programMode = 0; // the play mode the program-step widgets follow
        int listMode = 0;    // the play mode the disc-title list was last loaded for
        bool trackDelay = false;
    } m_shown;
};

} // namespace tf
