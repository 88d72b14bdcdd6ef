#include "shell/widgets/errordialog.h"

#include "base/catalogue.h"
#include "base/userinterface.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace tf {

void centreOver(QWidget* window, const QWidget* owner) {
    window->adjustSize();
    QRect area;
    if (owner && owner->isVisible())
        area = owner->frameGeometry();
    else if (const QScreen* screen = window->screen())
        area = screen->availableGeometry();
    else
        return;
    const QSize own = window->frameGeometry().size();
    window->move(area.left() + (area.width() - own.width()) / 2,
                 area.top() + (area.height() - own.height()) / 2);
}

ErrorDialog::ErrorDialog(const QString& body, const QString& title, int countdownSeconds,
                         QWidget* parent)
    : QDialog(parent), m_remaining(qMax(0, countdownSeconds)) {
    setObjectName(QStringLiteral("dlgError"));
    setWindowTitle(title.isEmpty() ? applicationTitle() : title);
    setAttribute(Qt::WA_DeleteOnClose);

    m_message = new QLabel(body, this);
    m_message->setObjectName(QStringLiteral("lbMessage"));
    m_message->setWordWrap(true);
    m_message->setMinimumWidth(320);
    m_countdown = new QLabel(this);
    m_countdown->setObjectName(QStringLiteral("lbCountdown"));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(msg(msgid::ButtonOk), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_message);
    layout->addWidget(m_countdown);
    layout->addWidget(buttons);

    m_timer.setInterval(1000);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ErrorDialog::tick);
    if (m_remaining > 0) {
        m_countdown->setText(countdownTextFor(m_remaining));
        m_timer.start();
    } else {
        m_countdown->hide();
    }
    centreOver(this, parent);
}

QString ErrorDialog::countdownText() const {
    return m_countdown->isHidden() ? QString() : m_countdown->text();
}

QString ErrorDialog::countdownTextFor(int seconds) {
    return QString::number(seconds) + QLatin1Char(' ') + msg(msgid::ProgressSeconds) +
           QLatin1Char(' ') + msg(msgid::ProgressRemaining);
}

void ErrorDialog::tick() {
    --m_remaining;
    m_countdown->setText(countdownTextFor(m_remaining));
    if (m_remaining <= 0)
        accept();
}

void ErrorDialog::done(int result) {
    m_timer.stop();
    QDialog::done(result);
    if (!m_closed) {
        m_closed = true;
        emit closed();
    }
}

} // namespace tf
