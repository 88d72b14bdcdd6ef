#pragma once

#include "base/userinterface.h"

#include <QList>
#include <QStringList>
#include <QTimer>

namespace tf::test {

// A user who answers message boxes from a script and remembers everything shown.
class ScriptedUi : public UserInterface {
public:
    struct Shown {
        QString kind; // "message", "error", "progress"
        QString text;
        QString title;
        int number = 0; // style, countdown or maximum
    };

    QList<Answer> answers; // taken in order; Ok (or Yes for questions) when the list runs out
    QList<Shown> shown;
    bool progressOpen = false;
    Progress lastProgress;
    QList<int> progressValues;
    Answer messageBox(const QString& text, const QString& title, Style style) override {
        shown.append({QStringLiteral("message"), text, title, int(style)});
        if (!answers.isEmpty())
            return answers.takeFirst();
        return style == Style::YesNo || style == Style::YesNoCancel ? Answer::Yes : Answer::Ok;
    }

    void showErrorDialog(const QString& body, const QString& title, int countdownSeconds,
                         std::function<void()> closed) override {
        shown.append({QStringLiteral("error"), body, title, countdownSeconds});
        QTimer::singleShot(0, [closed = std::move(closed)] { closed(); }); // closed at once
    }

    void showProgress(const Progress& progress) override {
        shown.append(
            {QStringLiteral("progress"), progress.info, progress.caption, progress.maximum});
        lastProgress = progress;
        progressOpen = true;
        progressValues.append(progress.value);
    }
    void setProgressValue(int value) override { progressValues.append(value); }
    void setProgressInfo(const QString& info) override { lastProgress.info = info; }
    void closeProgress() override { progressOpen = false; }

    // Texts of everything shown of one kind, in order.
    QStringList texts(const QString& kind) const {
        QStringList out;
        for (const Shown& s : shown)
            if (s.kind == kind)
                out.append(s.text);
        return out;
    }
};

} // namespace tf::test
