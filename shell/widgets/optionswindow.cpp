#include "shell/widgets/optionswindow.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "link/link.h"
#include "link/portdiagnosis.h"
#include "operations/comport.h"
#include "shell/widgets/errordialog.h"
#include "store/textfile.h"
#include "store/usersettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace tf {
namespace {

// The folder as the user sees it: no trailing separator (one is added when it is stored).
QString withoutTrailingSeparator(QString path) {
    while (path.size() > 1 && (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'))))
        path.chop(1);
    return path;
}

} // namespace

OptionsWindow::OptionsWindow(Configuration& config, Link& link, UserInterface& ui, QWidget* owner)
    : QWidget(owner, Qt::Window), m_config(config), m_link(link), m_ui(ui), m_owner(owner) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(msg(msgid::OptionsWindowCaption));
    setAttribute(Qt::WA_DeleteOnClose, false);

    QWidget* folderPage = buildFolderPage();
    QWidget* comPage = buildComPage();

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tbsOpt"));
    m_tabs->addTab(folderPage, msg(msgid::OptionsFolderTab));
    m_tabs->setTabToolTip(0, msg(msgid::OptionsFolderTabTip));
    m_tabs->addTab(comPage, msg(msgid::OptionsCommunicationTab));
    m_tabs->setTabToolTip(1, msg(msgid::OptionsCommunicationTabTip));

    auto* ok = new QPushButton(msg(msgid::ButtonUpdate), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(msg(msgid::ButtonCancelUpper), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, &OptionsWindow::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &OptionsWindow::cmdCancel_Click);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
}

// The FOLDER page: the data folder.
QWidget* OptionsWindow::buildFolderPage() {
    auto* folderPage = new QWidget;
    folderPage->setObjectName(QStringLiteral("pictopt1"));
    auto* folderFrame = new QGroupBox(msg(msgid::FolderSetUpTitle), folderPage);
    folderFrame->setObjectName(QStringLiteral("fraFolda"));
    m_folder = new QLineEdit(folderFrame);
    m_folder->setObjectName(QStringLiteral("dltDrive"));
    m_folder->setMinimumWidth(320);
    auto* browse = new QPushButton(QStringLiteral("..."), folderFrame);
    browse->setObjectName(QStringLiteral("cmdBrowse"));
    connect(browse, &QPushButton::clicked, this, &OptionsWindow::chooseFolder);
    auto* folderRow = new QHBoxLayout(folderFrame);
    folderRow->addWidget(m_folder);
    folderRow->addWidget(browse);
    auto* folderLayout = new QVBoxLayout(folderPage);
    folderLayout->addWidget(folderFrame);
    folderLayout->addStretch();
    return folderPage;
}

// The COM page: a port option and, beside it, the device that COM number stands for; then
// the start-up and lookup choices.
QWidget* OptionsWindow::buildComPage() {
    auto* comPage = new QWidget;
    comPage->setObjectName(QStringLiteral("pictopt2"));
    auto* comFrame = new QGroupBox(msg(msgid::ComSetUpTitle), comPage);
    comFrame->setObjectName(QStringLiteral("fraCOM"));
    auto* comGrid = new QGridLayout(comFrame);
    auto* group = new QButtonGroup(this);
    for (int n = 1; n <= 4; ++n) {
        auto* option = new QRadioButton(msg(msgid::comPortOption(n)), comFrame);
        option->setObjectName(QStringLiteral("optCom%1").arg(n));
        group->addButton(option, n);
        auto* device = new QLineEdit(comFrame);
        device->setObjectName(QStringLiteral("txtComDevice%1").arg(n));
        device->setPlaceholderText(UserSettings::defaultComDevice(n));
        // The serial ports present, to pick from: the stable by-id names first, since they
        // survive reboots and re-plugging. Pseudo-terminals are not listed, so any path can
        // still be typed.
        auto* ports = new QToolButton(comFrame);
        ports->setObjectName(QStringLiteral("cmdComPorts%1").arg(n));
        ports->setText(QStringLiteral("..."));
        ports->setPopupMode(QToolButton::InstantPopup);
        auto* menu = new QMenu(ports);
        connect(menu, &QMenu::aboutToShow, menu, [menu, device] {
            menu->clear();
            QHash<QString, QString> descriptions;
            for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
                descriptions.insert(port.systemLocation(), port.description());
            const QStringList found = serialDevices();
            for (const QString& path : found) {
                const QFileInfo info(path);
                // A by-id name shows the device it stands for; a plain one its description.
                const QString target = info.isSymLink() ? info.canonicalFilePath() : path;
                const QString detail = target != path ? target : descriptions.value(path);
                QString label = path;
                if (!detail.isEmpty())
                    label += QStringLiteral("  (") + detail + QLatin1Char(')');
                menu->addAction(label, device, [device, path] { device->setText(path); });
            }
            if (found.isEmpty())
                menu->addAction(QStringLiteral("-"))->setEnabled(false);
        });
        ports->setMenu(menu);
        comGrid->addWidget(option, n - 1, 0);
        comGrid->addWidget(device, n - 1, 1);
        comGrid->addWidget(ports, n - 1, 2);
        m_com[n - 1] = option;
        m_device[n - 1] = device;
    }
    auto check = [comPage](const char* name, int caption) {
        auto* box = new QCheckBox(msg(caption), comPage);
        box->setObjectName(QLatin1String(name));
        return box;
    };
    m_silent = check("chkSilent", msgid::DontShowProgressBar);
    m_init = check("chkInit", msgid::DontShowInitialInstructions);
    m_noWeb = check("chkNoWeb", msgid::NeverSearchInternet);
    m_web = check("chkWeb", msgid::AlwaysSearchInternet);
    m_mediaPlayer = check("chkMediaPlayer", msgid::PublishMediaPlayer);
    connect(m_noWeb, &QCheckBox::clicked, this, &OptionsWindow::chkNoWeb_Click);
    auto* comLayout = new QVBoxLayout(comPage);
    comLayout->addWidget(comFrame);
    for (QCheckBox* box : {m_silent, m_init, m_noWeb, m_web, m_mediaPlayer})
        comLayout->addWidget(box);
    comLayout->addStretch();
    return comPage;
}

void OptionsWindow::showCentred() {
    Form_Load();
    show();
    centreOver(this, m_owner);
    raise();
    activateWindow();
}

void OptionsWindow::Form_Load() {
    // The window shows what the file holds, not what is in memory. Each key is looked for
    // after the previous one, as the file is written.
    const QStringList lines = textfile::readLines(m_config.configPath()).value_or(QStringList());
    qsizetype pos = 0;
    auto seek = [&](const QString& key) {
        while (pos < lines.size())
            if (lines.at(pos++) == key)
                return true;
        return false;
    };
    auto number = [&]() -> qint16 {
        return pos < lines.size() ? textfile::parseNumber(lines.at(pos++)).value_or(0) : 0;
    };
    const ConfigSettings& current = m_config.settings;
    QString folder = current.dataDir;
    qint16 com = current.comPort;
    qint16 silent = 0, init = 0, noWeb = 0, web = 0;
    if (seek(QStringLiteral("DATA DIR =")) && pos < lines.size())
        folder = lines.at(pos++);
    if (seek(QStringLiteral("COM No =")))
        com = number();
    if (seek(QStringLiteral("SILENT =")))
        silent = number();
    if (seek(QStringLiteral("INIT =")))
        init = number();
    if (seek(QStringLiteral("WEB ="))) {
        noWeb = number();
        web = number();
    }

    m_folder->setText(withoutTrailingSeparator(folder));
    for (int n = 1; n <= 4; ++n) {
        m_com[n - 1]->setAutoExclusive(false);
        m_com[n - 1]->setChecked(n == com);
        m_com[n - 1]->setAutoExclusive(true);
        const QString device = UserSettings::comDevice(n);
        m_device[n - 1]->setText(device == UserSettings::defaultComDevice(n) ? QString() : device);
    }
    m_silent->setChecked(silent != 0);
    m_init->setChecked(init != 0);
    m_noWeb->setChecked(noWeb != 0);
    m_web->setChecked(web != 0);
    m_web->setEnabled(!m_noWeb->isChecked());
    m_mediaPlayer->setChecked(UserSettings::mediaPlayerPublished());
    m_tabs->setCurrentIndex(0);
}

void OptionsWindow::chkNoWeb_Click() {
    // The other switch keeps its tick; it only cannot be changed.
    m_web->setEnabled(!m_noWeb->isChecked());
}

void OptionsWindow::chooseFolder() {
    const QString chosen =
        QFileDialog::getExistingDirectory(this, msg(msgid::FolderSetUpTitle), m_folder->text());
    if (!chosen.isEmpty())
        m_folder->setText(QDir::toNativeSeparators(chosen));
}

OptionsValues OptionsWindow::values() const {
    OptionsValues v;
    v.folderPath = withoutTrailingSeparator(m_folder->text().trimmed());
    for (int i = 0; i < 4; ++i)
        v.comSelected[i] = m_com[i]->isChecked();
    v.silent = m_silent->isChecked();
    v.init = m_init->isChecked();
    v.noWebSearch = m_noWeb->isChecked();
    v.alwaysWebSearch = m_web->isChecked();
    return v;
}

void OptionsWindow::cmdOK_Click() {
    const OptionsValues v = values();
    // A folder that does not exist and cannot be made would leave the title store without
    // a home: say so and keep everything as it was.
    const bool folderUsable = !v.folderPath.isEmpty() && QDir::isAbsolutePath(v.folderPath) &&
                              QDir().mkpath(v.folderPath);
    if (!folderUsable) {
        m_ui.messageBox(msg(msgid::InputIncorrect), msg(msgid::OptionsWindowCaption),
                        UserInterface::Style::Ok);
        m_tabs->setCurrentIndex(0);
        m_folder->setFocus();
        return;
    }
    for (int n = 1; n <= 4; ++n)
        UserSettings::setComDevice(n, m_device[n - 1]->text().trimmed());
    UserSettings::setMediaPlayerPublished(m_mediaPlayer->isChecked());
    if (!m_config.WriteConfigFromOptions(v)) {
        m_ui.messageBox(msg(msgid::InputIncorrect), msg(msgid::OptionsWindowCaption),
                        UserInterface::Style::Ok);
        return;
    }
    m_config.LOAD_CONFIG();
    hide();
    // Offline: the user may just have chosen the port the changer is on. The handshake
    // runs only when the port opens.
    if (m_link.linkBusy() == kLinkOffline && Rs232cINIT(m_link, m_config.settings.comPort) == 0)
        m_link.RS232C_Changer_INIT();
    emit updated();
}

void OptionsWindow::cmdCancel_Click() {
    hide();
}

} // namespace tf
