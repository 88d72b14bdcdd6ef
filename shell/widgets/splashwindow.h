#pragma once

#include <QTimer>
#include <QWidget>

namespace tf {

// The splash window: the product's picture and notice while the configuration is prepared.
// Its timer `initTM` opens the way to the main window three seconds after it is shown.
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDelayMs = 3000;

    explicit SplashWindow(QWidget* parent = nullptr);

    QTimer& initTM() { return m_initTM; }

signals:
    void initTM_Timer();

private:
    QTimer m_initTM;
};

} // namespace tf
