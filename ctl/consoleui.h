#pragma once

#include "base/userinterface.h"

#include <QStringList>

namespace tf::ctl {

// The user of a command-line run: nobody is there to answer. Messages and error dialogs go to
// standard error, questions get their safe answer (No, or Cancel), and the progress dialog
// becomes one line per step on standard error.
class ConsoleUi : public UserInterface {
public:
    Answer messageBox(const QString& text, const QString& title, Style style) override;
    void showErrorDialog(const QString& body, const QString& title, int countdownSeconds,
                         std::function<void()> closed) override;
    void showProgress(const Progress& progress) override;
    void setProgressValue(int value) override;
    void setProgressInfo(const QString& info) override;
    void closeProgress() override;

    // While set, messages are collected here instead of printed (the caller decides later
    // whether they are worth showing).
    QStringList* capture = nullptr;

private:
    void say(const QString& title, const QString& text);
    void progressLine();

    Progress m_progress;
};

// One line on standard error.
void printError(const QString& text);

} // namespace tf::ctl
