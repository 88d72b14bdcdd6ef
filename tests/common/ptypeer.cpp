#include "common/ptypeer.h"

#include <cerrno>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace tf::test {

PtyPeer::PtyPeer() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return; // no slave path: the application's open fails
    m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
    // Holding a slave descriptor keeps the master from reporting a hang-up whenever the
    // application has its end closed.
    m_slaveKeeper = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
    termios tio{};
    ::tcgetattr(m_master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_master, TCSANOW, &tio);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PtyPeer::readable);
}

PtyPeer::~PtyPeer() {
    hangUp();
}

void PtyPeer::hangUp() {
    m_notifier.reset();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
    m_master = -1;
    m_slaveKeeper = -1;
}

void PtyPeer::write(const QByteArray& bytes) {
    if (m_master < 0)
        return;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const auto n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

void PtyPeer::readable() {
    char buffer[512];
    for (;;) {
        const auto n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                m_notifier->setEnabled(false);
            break;
        }
        m_assembler.feed(QByteArray(buffer, int(n)));
    }
    while (m_assembler.hasUnit()) {
        const QByteArray unit = m_assembler.takeUnit();
        received.append(unit);
        if (onUnit)
            onUnit(unit);
    }
}

int PtyPeer::count(quint8 controlByte) const {
    return int(received.count(QByteArray(1, char(controlByte))));
}

} // namespace tf::test
