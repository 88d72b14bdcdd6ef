#pragma once

#include "lookup/cddbprotocol.h"
#include "lookup/mbclient.h"
#include "lookup/widgets/passwordstore.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace tf {

class UserInterface;

// The lookup component's options window: the server and its paths, the user's e-mail
// address, the proxy and the offline copy of the database. OK checks the values, stores them
// (the password in `passwords`) and keeps the window open on a value it cannot use.
class CddbOptionsWindow : public QDialog {
    Q_OBJECT
public:
    CddbOptionsWindow(const CddbOptions& options, const PasswordStore& passwords, UserInterface& ui,
                      QWidget* parent = nullptr);

    // The values in the window, password included.
    CddbOptions options() const;
    // The order of the databases and the MusicBrainz server, kept in their own settings.
    MbOptions mbOptions() const;
    // Why the values cannot be used, or an empty text.
    QString problem() const;

    void accept() override;

private:
    void browseOfflineFolder();

    CddbOptions m_base; // fields the window does not show (time-outs, pacing)
    PasswordStore m_passwords;
    UserInterface& m_ui;
    QComboBox* m_scheme = nullptr;
    QLineEdit* m_server = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_queryPath = nullptr;
    QLineEdit* m_submitPath = nullptr;
    QLineEdit* m_email = nullptr;
    QLineEdit* m_proxyName = nullptr;
    QLineEdit* m_proxyPort = nullptr;
    QLineEdit* m_proxyUser = nullptr;
    QLineEdit* m_proxyPassword = nullptr;
    QLabel* m_passwordStore = nullptr;
    QLineEdit* m_offlineFolder = nullptr;
    QRadioButton* m_offlineOff = nullptr;
    QRadioButton* m_offlineBefore = nullptr;
    QRadioButton* m_offlineInstead = nullptr;
    MbOptions m_mbBase;
    QComboBox* m_order = nullptr;
    QLineEdit* m_mbServer = nullptr;
    QLineEdit* m_mbPort = nullptr;
};

} // namespace tf
