#pragma once

#include "store/config.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QTabWidget;

namespace tf {

class Link;
class UserInterface;

// The options window (frmOptions): the data folder, the changer's COM port (with the device
// behind each COM number) and four switches. UPDATE writes config.KWD, reloads it and, when
// the changer link is offline, tries the link again on the chosen port.
class OptionsWindow : public QWidget {
    Q_OBJECT
public:
    OptionsWindow(Configuration& config, Link& link, UserInterface& ui, QWidget* owner = nullptr);

    // Reads config.KWD into the controls, centres the window over its owner and shows it.
    void showCentred();
    // The controls as the file holds them.
    void Form_Load();

    void cmdOK_Click();
    void cmdCancel_Click();

signals:
    void updated();

private:
    QWidget* buildFolderPage();
    QWidget* buildComPage();
    void chkNoWeb_Click();
    void chooseFolder();
    OptionsValues values() const;

    Configuration& m_config;
    Link& m_link;
    UserInterface& m_ui;
    QWidget* m_owner = nullptr;
    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_folder = nullptr;
    std::array<QRadioButton*, 4> m_com{};
    std::array<QLineEdit*, 4> m_device{};
    QCheckBox* m_silent = nullptr;
    QCheckBox* m_init = nullptr;
    QCheckBox* m_noWeb = nullptr;
    QCheckBox* m_web = nullptr;
    QCheckBox* m_mediaPlayer = nullptr;
};

} // namespace tf
