#include "shell/widgets/widgetui.h"

#include "shell/widgets/errordialog.h"
#include "shell/widgets/progressdialog.h"

#include <QMessageBox>

namespace tf {

WidgetUi::~WidgetUi() {
    delete m_progress.data();
}

UserInterface::Answer WidgetUi::messageBox(const QString& text, const QString& title, Style style) {
    QMessageBox box(m_owner);
    box.setObjectName(QStringLiteral("msgBox"));
    box.setWindowTitle(title.isEmpty() ? applicationTitle() : title);
    // Texts joined by a carriage return are shown on separate lines.
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(shown);
    switch (style) {
    case Style::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Style::OkExclamation:
        box.setIcon(QMessageBox::Warning);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Style::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    case Style::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return style == Style::YesNo ? Answer::No : Answer::Ok;
    }
}

void WidgetUi::showErrorDialog(const QString& body, const QString& title, int countdownSeconds,
                               std::function<void()> closed) {
    auto* dialog = new ErrorDialog(body, title, countdownSeconds, m_owner);
    QObject::connect(dialog, &ErrorDialog::closed, dialog, [closed = std::move(closed)] {
        if (closed)
            closed();
    });
    dialog->show();
}

void WidgetUi::showProgress(const Progress& progress) {
    delete m_progress.data();
    m_progress = new ProgressDialog(progress, m_owner);
    m_progress->show();
}

void WidgetUi::setProgressValue(int value) {
    if (m_progress)
        m_progress->setValue(value);
}

void WidgetUi::setProgressInfo(const QString& info) {
    if (m_progress)
        m_progress->setInfo(info);
}

ProgressDialog* WidgetUi::progressDialog() const {
    return m_progress;
}

void WidgetUi::closeProgress() {
    if (m_progress)
        m_progress->deleteLater();
    m_progress = nullptr;
}

} // namespace tf
