#include "lookup/widgets/cddboptionswindow.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "lookup/cddbsettings.h"
#include "lookup/mbsettings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace tf {

namespace {

QLineEdit* field(const char* name, const QString& text, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QString portText(int port) {
    return port > 0 ? QString::number(port) : QString();
}

// Empty means "the default"; otherwise a number from 1 to 65535.
bool readPort(const QString& text, int* port) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        *port = 0;
        return true;
    }
    bool ok = false;
    *port = t.toInt(&ok);
    return ok && *port >= 1 && *port <= 65535;
}

QRadioButton* option(const char* name, const QString& text, QWidget* parent) {
    auto* button = new QRadioButton(text, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

} // namespace

CddbOptionsWindow::CddbOptionsWindow(const CddbOptions& options, const PasswordStore& passwords,
                                     UserInterface& ui, QWidget* parent)
    : QDialog(parent), m_base(options), m_passwords(passwords), m_ui(ui) {
    setObjectName(QStringLiteral("frmCddbOptions"));
    setWindowTitle(QStringLiteral("CDDB Options"));
    auto* layout = new QVBoxLayout(this);

    auto* serverBox = new QGroupBox(QStringLiteral("Server"), this);
    auto* server = new QFormLayout(serverBox);
    m_scheme = new QComboBox(serverBox);
    m_scheme->setObjectName(QStringLiteral("cmbScheme"));
    m_scheme->addItems({QStringLiteral("https"), QStringLiteral("http")});
    m_scheme->setCurrentText(options.scheme);
    m_server = field("txtServer", options.server, serverBox);
    m_port = field("txtPort", portText(options.port), serverBox);
    m_port->setPlaceholderText(QStringLiteral("default"));
    m_queryPath = field("txtQueryPath", options.queryPath, serverBox);
    m_submitPath = field("txtSubmitPath", options.submitPath, serverBox);
    m_email = field("txtEmail", options.email, serverBox);
    m_email->setPlaceholderText(QStringLiteral("needed to submit discs"));
    server->addRow(QStringLiteral("Scheme:"), m_scheme);
    server->addRow(QStringLiteral("Server:"), m_server);
    server->addRow(QStringLiteral("Port:"), m_port);
    server->addRow(QStringLiteral("Query path:"), m_queryPath);
    server->addRow(QStringLiteral("Submit path:"), m_submitPath);
    server->addRow(QStringLiteral("Your e-mail:"), m_email);
    layout->addWidget(serverBox);

    auto* proxyBox = new QGroupBox(QStringLiteral("Proxy"), this);
    auto* proxy = new QFormLayout(proxyBox);
    m_proxyName = field("txtProxyName", options.proxyHost, proxyBox);
    m_proxyPort = field("txtProxyPort", portText(options.proxyPort), proxyBox);
    m_proxyUser = field("txtClientName", options.proxyUser, proxyBox);
    m_proxyPassword = field("txtPassWord", options.proxyPassword, proxyBox);
    m_proxyPassword->setEchoMode(QLineEdit::Password);
    m_passwordStore = new QLabel(m_passwords.description(), proxyBox);
    m_passwordStore->setObjectName(QStringLiteral("lbPasswordStore"));
    m_passwordStore->setWordWrap(true);
    proxy->addRow(QStringLiteral("Proxy Name:"), m_proxyName);
    proxy->addRow(QStringLiteral("Proxy Port:"), m_proxyPort);
    proxy->addRow(QStringLiteral("Client Name:"), m_proxyUser);
    proxy->addRow(QStringLiteral("Pass Word:"), m_proxyPassword);
    proxy->addRow(m_passwordStore);
    layout->addWidget(proxyBox);

    auto* offlineBox = new QGroupBox(QStringLiteral("Offline database"), this);
    auto* offline = new QVBoxLayout(offlineBox);
    auto* folderRow = new QHBoxLayout;
    m_offlineFolder = field("txtOfflineFolder", options.offlineFolder, offlineBox);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), offlineBox);
    browse->setObjectName(QStringLiteral("cmdBrowseOffline"));
    connect(browse, &QPushButton::clicked, this, &CddbOptionsWindow::browseOfflineFolder);
    folderRow->addWidget(m_offlineFolder, 1);
    folderRow->addWidget(browse);
    offline->addLayout(folderRow);
    m_offlineOff = option("optOfflineOff", QStringLiteral("Not used"), offlineBox);
    m_offlineBefore =
        option("optOfflineBefore", QStringLiteral("Consulted before the server"), offlineBox);
    m_offlineInstead =
        option("optOfflineInstead", QStringLiteral("Used instead of the server"), offlineBox);
    offline->addWidget(m_offlineOff);
    offline->addWidget(m_offlineBefore);
    offline->addWidget(m_offlineInstead);
    (options.offlineMode == CddbOptions::Offline::Before    ? m_offlineBefore
     : options.offlineMode == CddbOptions::Offline::Instead ? m_offlineInstead
                                                            : m_offlineOff)
        ->setChecked(true);
    layout->addWidget(offlineBox);

    // The second database beside CDDB, and which of the two a lookup asks first.
    m_mbBase = MbSettings::load();
    auto* mbBox = new QGroupBox(QStringLiteral("Online databases"), this);
    auto* mb = new QFormLayout(mbBox);
    m_order = new QComboBox(mbBox);
    m_order->setObjectName(QStringLiteral("cmbLookupOrder"));
    m_order->addItems(lookupOrderTexts());
    m_order->setCurrentIndex(int(m_mbBase.order));
    m_mbServer = field("txtMbServer", m_mbBase.server, mbBox);
    m_mbPort = field("txtMbPort", portText(m_mbBase.port), mbBox);
    m_mbPort->setPlaceholderText(QStringLiteral("default"));
    mb->addRow(QStringLiteral("Look up in:"), m_order);
    mb->addRow(QStringLiteral("MusicBrainz server:"), m_mbServer);
    mb->addRow(QStringLiteral("MusicBrainz port:"), m_mbPort);
    layout->addWidget(mbBox);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CddbOptionsWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

CddbOptions CddbOptionsWindow::options() const {
    CddbOptions o = m_base;
    o.scheme = m_scheme->currentText();
    o.server = m_server->text().trimmed();
    readPort(m_port->text(), &o.port);
    o.queryPath = m_queryPath->text().trimmed();
    o.submitPath = m_submitPath->text().trimmed();
    o.email = m_email->text().trimmed();
    o.proxyHost = m_proxyName->text().trimmed();
    readPort(m_proxyPort->text(), &o.proxyPort);
    o.proxyUser = m_proxyUser->text().trimmed();
    o.proxyPassword = m_proxyPassword->text();
    o.offlineFolder = m_offlineFolder->text().trimmed();
    o.offlineMode = m_offlineBefore->isChecked()    ? CddbOptions::Offline::Before
                    : m_offlineInstead->isChecked() ? CddbOptions::Offline::Instead
                                                    : CddbOptions::Offline::Off;
    return o;
}

MbOptions CddbOptionsWindow::mbOptions() const {
    MbOptions o = m_mbBase;
    o.order = LookupOrder(qBound(0, m_order->currentIndex(), 3));
    o.server = m_mbServer->text().trimmed();
    readPort(m_mbPort->text(), &o.port);
    return o;
}

QString CddbOptionsWindow::problem() const {
    // A host name, nothing that could carry a path, a user or a second host.
    static const QRegularExpression host(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$"));
    static const QRegularExpression path(QStringLiteral("^/[A-Za-z0-9._~/%+-]*$"));
    int port = 0;
    const CddbOptions o = options();
    if (!host.match(o.server).hasMatch())
        return QStringLiteral("The server must be a host name such as gnudb.gnudb.org.");
    if (!readPort(m_port->text(), &port))
        return QStringLiteral("The server port must be a number from 1 to 65535, or empty.");
    if (!path.match(o.queryPath).hasMatch() || !path.match(o.submitPath).hasMatch())
        return QStringLiteral("The query and submit paths must start with \"/\" and hold no "
                              "blanks, such as /~cddb/cddb.cgi.");
    if (!o.email.isEmpty() && !isValidCddbEmail(o.email))
        return QStringLiteral("The e-mail address is not valid. It is needed to submit discs; "
                              "leave it empty to only look discs up.");
    if (!o.proxyHost.isEmpty() && !host.match(o.proxyHost).hasMatch())
        return QStringLiteral("The proxy name must be a host name.");
    if (!readPort(m_proxyPort->text(), &port))
        return QStringLiteral("The proxy port must be a number from 1 to 65535, or empty.");
    if (!host.match(mbOptions().server).hasMatch())
        return QStringLiteral("The MusicBrainz server must be a host name such as "
                              "musicbrainz.org.");
    if (!readPort(m_mbPort->text(), &port))
        return QStringLiteral("The MusicBrainz port must be a number from 1 to 65535, or "
                              "empty.");
    if (o.offlineMode != CddbOptions::Offline::Off && !QFileInfo(o.offlineFolder).isDir())
        return QStringLiteral("The offline database folder \"%1\" does not exist.")
            .arg(o.offlineFolder);
    return {};
}

void CddbOptionsWindow::accept() {
    const QString why = problem();
    if (!why.isEmpty()) {
        m_ui.messageBox(why, windowTitle(), UserInterface::Style::OkExclamation);
        return; // nothing stored; the user corrects the value
    }
    const CddbOptions o = options();
    QString error;
    if (!m_passwords.write(o.proxyPassword, &error)) {
        m_ui.messageBox(error, windowTitle(), UserInterface::Style::OkExclamation);
        return;
    }
    CddbSettings::save(o);
    MbSettings::save(mbOptions());
    QDialog::accept();
}

void CddbOptionsWindow::browseOfflineFolder() {
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Offline database folder"), m_offlineFolder->text());
    if (!folder.isEmpty())
        m_offlineFolder->setText(folder);
}

} // namespace tf
