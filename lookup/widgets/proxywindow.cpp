#include "lookup/widgets/proxywindow.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "store/config.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tf {

ProxyWindow::ProxyWindow(Configuration& config, UserInterface& ui, QWidget* parent)
    : QWidget(parent, Qt::Window), m_config(config), m_ui(ui) {
    setObjectName(QStringLiteral("frmSetProxy"));
    setWindowTitle(msg(msgid::ProxyWindowCaption));

    auto field = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setMinimumWidth(220);
        return edit;
    };
    m_name = field("txtProxyName");
    m_port = field("txtProxyPort");
    m_client = field("txtClientName");
    m_password = field("txtPassWord");
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // '*'

    auto* form = new QFormLayout;
    form->addRow(msg(msgid::ProxyNameLabel), m_name);
    form->addRow(msg(msgid::ProxyPortLabel), m_port);
    form->addRow(msg(msgid::ProxyClientNameLabel), m_client);
    form->addRow(msg(msgid::ProxyPasswordLabel), m_password);

    auto* ok = new QPushButton(msg(msgid::ButtonOk), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(msg(msgid::ButtonCancel), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, &ProxyWindow::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &ProxyWindow::cmdCancel_Click);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setTabOrder(m_name, m_port);
    setTabOrder(m_port, m_client);
    setTabOrder(m_client, m_password);
    setTabOrder(m_password, ok);
    setTabOrder(ok, cancel);
}

void ProxyWindow::cmdOK_Click() {
    if (m_name->text().trimmed().isEmpty() || m_client->text().trimmed().isEmpty()) {
        m_ui.messageBox(msg(msgid::InputIncorrect), msg(msgid::ProxyInputErrorTitle),
                        UserInterface::Style::Ok);
        for (QLineEdit* edit : {m_name, m_port, m_client, m_password})
            edit->clear();
        m_name->setFocus();
        m_name->selectAll();
        return;
    }
    ProxyHandOver proxy;
    proxy.server = m_name->text().trimmed();
    proxy.password = m_password->text();
    // A port that is not a number is accepted here; the start-up gives the usual port.
    bool isNumber = false;
    const int port = m_port->text().trimmed().toInt(&isNumber);
    proxy.port = isNumber ? port : 0;
    proxy.userName = m_client->text().trimmed();
    QString error;
    if (!m_config.writeProxyHandOver(proxy, &error)) {
        // Without the hand-over file the settings would be lost silently: say so and stay.
        m_ui.messageBox(msg(msgid::InputIncorrect) + QLatin1Char('\r') + error,
                        msg(msgid::ProxyInputErrorTitle), UserInterface::Style::Ok);
        return;
    }
    m_config.MarkProxyQuestionAnswered();
    m_done = true;
    close();
    emit accepted();
}

void ProxyWindow::cmdCancel_Click() {
    m_done = true;
    hide();
    emit cancelled();
}

void ProxyWindow::closeEvent(QCloseEvent* event) {
    // Closing the window by its frame is a Cancel.
    if (!m_done) {
        m_done = true;
        emit cancelled();
    }
    event->accept();
}

} // namespace tf
