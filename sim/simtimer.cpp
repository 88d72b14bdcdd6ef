#include "sim/simtimer.h"

#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

namespace tf::sim {

NsTimer::NsTimer(QObject* parent) : QObject(parent) {
    m_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &NsTimer::fire);
    }
}

NsTimer::~NsTimer() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void NsTimer::start(qint64 ns) {
    if (m_fd < 0)
        return;
    ns = qMax<qint64>(1, ns); // an all-zero time would disarm the timer
    itimerspec spec{};
    spec.it_value.tv_sec = ns / 1000000000LL;
    spec.it_value.tv_nsec = ns % 1000000000LL;
    timerfd_settime(m_fd, 0, &spec, nullptr);
    m_active = true;
}

void NsTimer::stop() {
    if (m_fd < 0)
        return;
    const itimerspec off{};
    timerfd_settime(m_fd, 0, &off, nullptr);
    m_active = false;
}

void NsTimer::fire() {
    quint64 expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) != sizeof expirations || !m_active)
        return; // disarmed or re-armed since it fired
    m_active = false;
    emit timeout();
}

} // namespace tf::sim
