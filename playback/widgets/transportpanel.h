#pragma once

#include <QTimer>
#include <QWidget>

#include <array>

class QPushButton;

namespace tf {

struct AppContext;
class InfoLines;

// The transport buttons. Play, stop, repeat and random send one key code each; the four
// continue keys (track down, track up, fast backward, fast forward) send their code when
// pressed and the release code once they are let go.
class TransportPanel : public QWidget {
    Q_OBJECT
public:
    // `lines` shows the status texts; its refresh stops while a key is held, so the key's
    // text stays on the line.
    TransportPanel(AppContext& ctx, InfoLines& lines, QWidget* parent = nullptr);

    // 0 none held, 1 held (press sent), 2 let go (release code still to be sent).
    int continueKeyState() const { return ContinueKeyState; }

    // Presses on the continue keys are ignored while this runs (two seconds after the tab
    // is selected).
    QTimer& continueDisable() { return m_tmContinueDisable; }

    void cmdContinueKEY_MouseDown(int index);
    void cmdContinueKEY_MouseUp(int index);
    // The click buttons' handlers.
    void cmdPlay_Click();
    void cmdStop_Click();
    void cmdRepeat_Click();
    void cmdRandom_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void clickKey(int statusIndex, quint8 group, quint8 key);
    void tmKeyOff_out_Timer();

    AppContext& m_ctx;
    InfoLines& m_lines;
    std::array<QPushButton*, 4> m_continue{};
    QTimer m_tmKeyOff;
    QTimer m_tmContinueDisable;
    int ContinueKeyState = 0;
    bool m_pressInFlight = false;
    bool m_releasedInFlight = false;
};

} // namespace tf
