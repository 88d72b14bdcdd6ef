#pragma once

#include "base/userinterface.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tf {

// The progress dialog of long operations (dlgProg): caption, information line and progress
// bar, and a Cancel button only when the operation can be cancelled.
class ProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit ProgressDialog(const UserInterface::Progress& progress, QWidget* parent = nullptr);

    void setValue(int value);
    void setInfo(const QString& info);
    int value() const;
    bool cancellable() const;

protected:
    void reject() override; // Escape and the window's close button act as Cancel

private:
    void cmdCancel_Click();

    QLabel* m_info = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancelButton = nullptr;
    std::function<void()> m_cancel;
};

} // namespace tf
