#pragma once

#include <QString>

#include <functional>

namespace tf {

// How core code talks to the user. The desktop implements it with windows; tests implement
// it with a script that answers and records what was shown. Core code never opens a window
// itself, so every operation runs headless.
class UserInterface {
public:
    enum class Style {
        Ok,            // OK only
        OkExclamation, // OK with the exclamation icon
        YesNo,
        YesNoCancel,
    };
    enum class Answer { Ok, Yes, No, Cancel };

    struct Progress {
        QString caption;
        QString info;
        int maximum = 0;
        int value = 0;
        // Called when the user presses Cancel; without it the dialog has no Cancel button.
        std::function<void()> cancel;
    };

    virtual ~UserInterface() = default;

    // A message box: the text (several catalogue texts joined by a carriage return) and its
    // title (empty: the application title). Returns when the user has answered.
    virtual Answer messageBox(const QString& text, const QString& title, Style style) = 0;

    // The error dialog: shown without blocking; with a countdown it closes by itself after
    // that many seconds. `closed` runs once, when it has closed either way.
    virtual void showErrorDialog(const QString& body, const QString& title, int countdownSeconds,
                                 std::function<void()> closed) = 0;

    // The progress dialog of long operations.
    virtual void showProgress(const Progress& progress) = 0;
    virtual void setProgressValue(int value) = 0;
    virtual void setProgressInfo(const QString& info) = 0;
    virtual void closeProgress() = 0;
};

// The title of message boxes that name none.
inline QString applicationTitle() {
    return QStringLiteral("TrackFen");
}

} // namespace tf
