#pragma once

#include "sim/simtimer.h"
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

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

    void setPaced(bool paced);
    bool isOpen() const { return m_master >= 0 || m_serial != nullptr; }
    bool isPty() const { return m_device.isEmpty(); }
    QString path() const { return m_path; }

    // Queues bytes for the line, after gapMs of quiet line.
    void write(const QByteArray& bytes, int gapMs = 0);
    qint64 queuedBytes() const;

    // Closes the line: the PC sees the other end vanish.
    void hangUp();
    // How long the PC took to answer each frame: from the frame's last byte leaving to the
    // PC's next byte arriving, in microseconds, oldest first (the most recent 10000 kept).
    const QList<qint64>& answerLatenciesUs() const { return m_answerLatenciesUs; }
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
        bool frame = false;
    };

    void readMaster();
    // Hands received bytes on, at once or, when paced, each when its wire time is over.
    void takeInput(const QByteArray& bytes);
    void deliverInput();
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
    NsTimer m_writeTimer;
    // Paced reception: a byte the PC wrote only counts as arrived once it would have crossed
    // the wire, so the PC's bytes cost their line time too.
    QByteArray m_inBytes;
    QList<qint64> m_inDueNs;
    qint64 m_inLineFreeNs = 0;
    NsTimer m_readTimer;
    qint64 m_frameSentNs = -1; // the last byte of a frame went out; the PC's answer is due
    QList<qint64> m_answerLatenciesUs;
};

} // namespace tf::sim
