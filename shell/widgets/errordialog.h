#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>

class QLabel;

namespace tf {

// The error dialog of failed transactions (dlgError). It does not block: the caller waits for
// `closed` in its own event loop. With a countdown it closes itself, as if OK were pressed.
class ErrorDialog : public QDialog {
    Q_OBJECT
public:
    ErrorDialog(const QString& body, const QString& title, int countdownSeconds,
                QWidget* parent = nullptr);

    int remainingSeconds() const { return m_remaining; }
    QString countdownText() const;

    // The countdown text for `seconds` left: "2 Seconds Remaining".
    static QString countdownTextFor(int seconds);

signals:
    // Emitted once, whichever way the dialog closed.
    void closed();

protected:
    void done(int result) override;

private:
    void tick();

    QLabel* m_message = nullptr;
    QLabel* m_countdown = nullptr;
    QTimer m_timer;
    int m_remaining = 0;
    bool m_closed = false;
};

// Centres `window` over `owner` (or over the screen when there is none).
void centreOver(QWidget* window, const QWidget* owner);

} // namespace tf
