#pragma once

#include "base/userinterface.h"

#include <QPointer>

class QWidget;

namespace tf {

class ErrorDialog;
class ProgressDialog;

// The desktop's way of talking to the user: message boxes, the error dialog with its
// countdown and the progress dialog, all centred on the owner window (the main window once
// it exists).
class WidgetUi : public UserInterface {
public:
    WidgetUi() = default;
    ~WidgetUi() override;

    void setOwner(QWidget* owner) { m_owner = owner; }
    QWidget* owner() const { return m_owner; }

    Answer messageBox(const QString& text, const QString& title, Style style) override;
    void showErrorDialog(const QString& body, const QString& title, int countdownSeconds,
                         std::function<void()> closed) override;
    void showProgress(const Progress& progress) override;
    void setProgressValue(int value) override;
    void setProgressInfo(const QString& info) override;
    void closeProgress() override;

    ProgressDialog* progressDialog() const;

private:
    QPointer<QWidget> m_owner;
    QPointer<ProgressDialog> m_progress;
};

} // namespace tf
