#pragma once

#include <QWidget>

class QLineEdit;

namespace tf {

class Configuration;
class UserInterface;

// The first-run proxy settings window (frmSetProxy). OK hands the values to the next
// main-window start through proxy.dt and marks the proxy question answered; Cancel ends the
// program with nothing written.
class ProxyWindow : public QWidget {
    Q_OBJECT
public:
    ProxyWindow(Configuration& config, UserInterface& ui, QWidget* parent = nullptr);

signals:
    // OK: the values were stored; the main window opens.
    void accepted();
    // Cancel (or the window closed without OK): the program ends.
    void cancelled();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void cmdOK_Click();
    void cmdCancel_Click();

    Configuration& m_config;
    UserInterface& m_ui;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_client = nullptr;
    QLineEdit* m_password = nullptr;
    bool m_done = false;
};

} // namespace tf
