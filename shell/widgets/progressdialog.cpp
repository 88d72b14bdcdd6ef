#include "shell/widgets/progressdialog.h"

#include "base/catalogue.h"
#include "shell/widgets/errordialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tf {

ProgressDialog::ProgressDialog(const UserInterface::Progress& progress, QWidget* parent)
    : QDialog(parent), m_cancel(progress.cancel) {
    setObjectName(QStringLiteral("dlgProg"));
    setWindowTitle(progress.caption.isEmpty() ? applicationTitle() : progress.caption);

    m_info = new QLabel(progress.info, this);
    m_info->setObjectName(QStringLiteral("lbInfo"));
    m_info->setMinimumWidth(360);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setRange(0, qMax(0, progress.maximum));
    m_bar->setValue(qBound(0, progress.value, m_bar->maximum()));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_info);
    layout->addWidget(m_bar);
    if (m_cancel) {
        m_cancelButton = new QPushButton(msg(msgid::ButtonCancel), this);
        m_cancelButton->setObjectName(QStringLiteral("cmdCancel"));
        connect(m_cancelButton, &QPushButton::clicked, this, &ProgressDialog::cmdCancel_Click);
        auto* row = new QHBoxLayout;
        row->addStretch();
        row->addWidget(m_cancelButton);
        row->addStretch();
        layout->addLayout(row);
    }
    centreOver(this, parent);
}

void ProgressDialog::setValue(int value) {
    m_bar->setValue(qBound(0, value, m_bar->maximum()));
}

void ProgressDialog::setInfo(const QString& info) {
    m_info->setText(info);
}

int ProgressDialog::value() const {
    return m_bar->value();
}

bool ProgressDialog::cancellable() const {
    return m_cancelButton != nullptr;
}

void ProgressDialog::cmdCancel_Click() {
    // The callback is taken first so a second press cannot cancel twice; the running
    // operation notices its cleared flag and stops.
    if (auto cancel = std::exchange(m_cancel, nullptr)) {
        m_cancelButton->setEnabled(false);
        cancel();
        hide();
    }
}

void ProgressDialog::reject() {
    if (m_cancelButton)
        cmdCancel_Click();
    // Without a Cancel button the dialog stays until the operation closes it.
}

} // namespace tf
