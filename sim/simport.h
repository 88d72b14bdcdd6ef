#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QSerialPort;
class QSocketNotifier;

namespace tf::sim {

// Wire time of one byte at 9600 baud, 8 data bits, no parity, 2 stop bits: start bit + 8 + 2
// stop bits = 11 bits.
inline constexpr qint64 kByteWireNs = 11LL * 1000000000LL / 9600;

// The changer's end of the line: a new pseudo-terminal (the PC opens its other end) or a real
// serial device. Writes can be paced at true wire speed against absolute deadlines.
class LinePort : public QObject {
    Q_OBJECT
public:
    explicit LinePort(QObject* parent = nullptr);
    ~LinePort() override;

    // Opens a new pseudo-terminal in raw mode. With a link path, a symbolic link to it is made
    // (replacing an earlier link, never another kind of file).
    bool openPty(const QString& linkPath, QString* error);
    bool openDevice(const QString& device, QString* error);
    // A fresh pseudo-terminal (or the device again) after hangUp().
    bool reopen(QString* error);

    void setPaced(bool paced) { m_paced = paced; }
    bool isOpen() const { return m_master >= 0 || m_serial != nullptr; }
    bool isPty() const { return m_device.isEmpty(); }
    QString path() const { return m_path; }

    // Queues bytes for the line, after gapMs of quiet line.
    void write(const QByteArray& bytes, int gapMs = 0);
    qint64 queuedBytes() const;

    // Closes the line: the PC sees the other end vanish.
    void hangUp();
    // Removes the symbolic link if it still points to this port.
    void removeLink();

signals:
    void received(const QByteArray& bytes);
    void closed(const QString& reason);

private:
    struct Chunk {
        QByteArray bytes;
        int gapMs = 0;
        qint64 notBeforeNs = -1;
        qint64 offset = 0;
    };

    void readMaster();
    void flushOutput();
    qint64 writeRaw(const char* data, qint64 size);
    void armWriteTimer(qint64 atNs);
    bool makeLink(QString* error);

    int m_master = -1;
    int m_slave = -1; // held open so that the PC closing its end is no hang-up for the master
    QSocketNotifier* m_notifier = nullptr;
    QSerialPort* m_serial = nullptr;
    QString m_path;
    QString m_linkPath;
    QString m_device;

    bool m_paced = false;
    QElapsedTimer m_clock;
    qint64 m_nextByteNs = 0; // deadline of the next paced byte
    qint64 m_lineFreeNs = 0;
    QList<Chunk> m_queue;
    QTimer m_writeTimer;
};

} // namespace tf::sim
