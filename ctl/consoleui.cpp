#include "ctl/consoleui.h"

#include <cstdio>

namespace tf::ctl {

void printError(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void ConsoleUi::say(const QString& title, const QString& text) {
    // The catalogue joins a message's parts with carriage returns: one line each here.
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line = (title.isEmpty() ? applicationTitle() : title) + QStringLiteral(": ") + line;
    if (capture)
        capture->append(line);
    else
        printError(line);
}

UserInterface::Answer ConsoleUi::messageBox(const QString& text, const QString& title,
                                            Style style) {
    say(title, text);
    switch (style) {
    case Style::YesNo:
        return Answer::No;
    case Style::YesNoCancel:
        return Answer::Cancel;
    case Style::Ok:
    case Style::OkExclamation:
        break;
    }
    return Answer::Ok;
}

void ConsoleUi::showErrorDialog(const QString& body, const QString& title, int,
                                std::function<void()> closed) {
    say(title, body);
    closed(); // nobody reads a countdown here
}

void ConsoleUi::showProgress(const Progress& progress) {
    m_progress = progress;
    progressLine();
}

void ConsoleUi::setProgressValue(int value) {
    m_progress.value = value;
    progressLine();
}

void ConsoleUi::setProgressInfo(const QString& info) {
    m_progress.info = info;
}

void ConsoleUi::closeProgress() {}

void ConsoleUi::progressLine() {
    printError(QStringLiteral("%1 %2/%3")
                   .arg(m_progress.caption)
                   .arg(m_progress.value)
                   .arg(m_progress.maximum));
}

} // namespace tf::ctl
