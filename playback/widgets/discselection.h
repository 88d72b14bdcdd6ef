#pragma once

#include <QTimer>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QLabel;

namespace tf {

struct AppContext;
struct DiscTitles;
class StatusMessenger;

// Disc and track selection: the disc-title list of every slot, the track-title list of the
// playing disc, and the two number boxes. A choice becomes a play request at once; what is
// then shown comes back from the changer through the status display.
class DiscSelectionPanel : public QWidget {
    Q_OBJECT
public:
    DiscSelectionPanel(AppContext& ctx, StatusMessenger& status, QWidget* parent = nullptr);

    // The disc list into the disc-title list, the playing disc selected.
    void Open_TMPFile_DISC();
    // Titles of the disc the changer has just reported ready, from the disc file, a parked
    // file, a lookup or the changer's memory.
    void LoadPlayingDiscTitles();
    // Titles from a disc file into the lists; false when there is no usable file.
    bool Open_Track_Title(const QString& path, int lowest, int highest);

    void ShowDiscNumber();
    void ShowTrackNumber();
    // Selects the playing track in the track-title list.
    void SelectTrackTitle();
    // Disc and track may be chosen only in plain track mode; other modes show read-only copies.
    void setTrackModeControls(bool trackMode);
    void clearLists();
    void showCdTextMark(bool show);

    int selectedDisc() const { return m_selectedDisc; }
    int selectedTrack() const { return m_selectedTrack; }
    QComboBox* discList() const { return m_cmbDTTL; }
    QComboBox* trackList() const { return m_cmbTTTL; }
    // The title the track-title list shows for a track, without its label; empty when none.
    QString listedTrackTitle(int track) const;
    QTimer& enableTimer() { return m_enableTM; }
    // The lowest track of a disc as the disc list records it; 1 when there is no record.
    int minTrackOf(int disc) const;

    // A disc and track chosen elsewhere (a search result; track 0: the disc from its lowest
    // track), played as a choice in the lists is: the same checks, status text and request.
    // Empty when the request went out, else why nothing was sent.
    QString playChoice(int disc, int track);

signals:
    void discNumberShown(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cmbDTTL_Click(int index);
    void cmbTTTL_Click(int index);
    bool listKeyDown(QComboBox* list, QLineEdit* copy, QKeyEvent* key);
    bool copyKeyDown(QComboBox* list, QLineEdit* copy, QKeyEvent* key);
    bool numberKeyPress(QLineEdit* box, int maxDigits, QKeyEvent* key);
    void numberGotFocus(QLineEdit* box);
    void txtDISC_Enter();
    void txtTRACK_Enter();
    void restartEnableTM(int ms);
    void EnableTM_Timer();
    int discItemIndex(int disc) const;
    void setDiscTitle(int disc, const QString& title);
    // The titles into the lists, the disc's item being the playing disc's.
    void showTitles(const DiscTitles& titles);

    AppContext& m_ctx;
    StatusMessenger& m_status;
    QComboBox* m_cmbDTTL = nullptr;
    QComboBox* m_cmbTTTL = nullptr;
    QLineEdit* m_txtDTTL = nullptr;
    QLineEdit* m_txtTTTL = nullptr;
    QLineEdit* m_txtDISC = nullptr;
    QLineEdit* m_txtTRACK = nullptr;
    QLabel* m_picCDTEXT = nullptr;
    QTimer m_enableTM;
    int m_selectedDisc = 0;
    int m_selectedTrack = 0;
    int m_selectedDiscPosition = -1;
    bool m_clickSuppressed = false;
};

} // namespace tf
