#pragma once

#include <QObject>
#include <QtGlobal>

class QSocketNotifier;

namespace tf::sim {

// A single-shot timer with nanosecond resolution (a Linux timerfd watched by the event loop).
// Line pacing needs it: a byte lasts 1.146 ms, and a QTimer's whole milliseconds would add up
// to a millisecond to every turn of the line, which is the PC's time being measured.
class NsTimer : public QObject {
    Q_OBJECT
public:
    explicit NsTimer(QObject* parent = nullptr);
    ~NsTimer() override;

    void start(qint64 ns); // replaces a pending shot; 0 or less fires as soon as possible
    void stop();
    bool isActive() const { return m_active; }

signals:
    void timeout();

private:
    void fire();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    bool m_active = false;
};

} // namespace tf::sim
