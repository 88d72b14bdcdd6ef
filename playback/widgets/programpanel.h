#pragma once

#include <QFrame>
#include <QTimer>

#include <functional>

class QListWidget;
class QPushButton;

namespace tf {

struct AppContext;
class StatusMessenger;
class AudioTab;

// Program play set-up: up to 32 steps, each a disc and one track or all its tracks, built
// from the disc list and the chosen disc's tracks and sent to the changer.
class ProgramPanel : public QFrame {
    Q_OBJECT
public:
    ProgramPanel(AppContext& ctx, StatusMessenger& status, AudioTab& tab,
                 QWidget* parent = nullptr);

    bool isOpen() const { return m_open; }
    void open();
    void quit();
    // Hides the panel without a status text (another panel opens).
    void closeSilently();

    void chooseDisc(int row);
    void add();
    void remove();
    void removeAll();
    void set();
    void clear();
    // Drops of the drag and drop between the track list and the program list.
    void dropOnProgramList(const QString& trackText);
    void dropOnTrackList();
    // tmcheck: the buttons follow the play state while the panel is open.
    void updateButtons();

    int stepCount() const { return m_stepCount; }

private:
    void prepare();
    void loadTrackList(int disc);
    void appendStep(const QString& discPart, const QString& trackPart);
    bool sendProgram();
    bool stopped() const;

    AppContext& m_ctx;
    StatusMessenger& m_status;
    AudioTab& m_tab;
    QListWidget* m_lstPGSDNO = nullptr;
    QListWidget* m_lstPGSTNO = nullptr;
    QListWidget* m_lstPGSPGM = nullptr;
    QPushButton* m_cmdPGSADD = nullptr;
    QPushButton* m_cmdPGSDEL = nullptr;
    QPushButton* m_cmdPGSDELALL = nullptr;
    QPushButton* m_cmdPGSSET = nullptr;
    QPushButton* m_cmdPGSClear = nullptr;
    QTimer m_tmcheck;
    int m_stepCount = 0;
    int m_programDisc = 0;
    bool m_trackListLoading = false;
    bool m_open = false;
};

} // namespace tf
