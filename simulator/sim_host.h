#pragma once
// The Qt side of the simulator: one device, reached over a TCP server, a UDP
// endpoint and a serial line on a pseudo-terminal, any of them or all at once.
// The links only move bytes; the device logic is DeviceModel / SimSession.

#include "device_model.h"
#include "faults.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QUdpSocket;
class QSocketNotifier;

namespace varnel::sim {

class SimHost;
class TcpLink;
class UdpLink;
class SerialLink;

/// One link of the simulator: a session with the device, the fault shaper of
/// its output, and the bytes in and out.
class SimLink : public QObject {
    Q_OBJECT
public:
    SimLink(SimHost &host, QString name, std::uint32_t seedOffset);
    ~SimLink() override;
    const QString &name() const { return m_name; }
    SimSession &session() { return *m_session; }
    /// Writes what the fault shaper releases by now; hangs up when told to.
    virtual void flush(std::int64_t nowMs);

protected:
    /// Bytes from the peer.
    void deliver(const QByteArray &bytes);
    /// A peer appeared: the fault clocks start for it.
    void peerAppeared();
    /// `destination`: the tag given to the output when it was produced.
    virtual void writeOut(const QByteArray &bytes, std::uint32_t destination) = 0;
    virtual void hangUp() {}

    SimHost &m_host;
    QString m_name;
    FaultShaper m_shaper;
    std::unique_ptr<SimSession> m_session;
    std::uint32_t m_destination = 0;  ///< tag of the output produced now
};

class SimHost : public QObject {
    Q_OBJECT
public:
    struct Options {
        QHostAddress address = QHostAddress(QHostAddress::LocalHost);
        bool tcp = false;
        bool udp = false;
        bool serial = false;
        quint16 tcpPort = 10500;  ///< 0: any free port
        quint16 udpPort = 10500;  ///< 0: any free port
        QString linkPath;         ///< symlink to the serial line's device, if set
        QString pictureDir;       ///< received pictures are written here, if set
        FaultConfig faults;
        bool verbose = false;
        int tickMs = 5;
    };

    SimHost(ModelProfile model, Options options, QObject *parent = nullptr);
    ~SimHost() override;

    /// Opens the chosen links; false with a message when one cannot be opened.
    bool start(QString *error);

    DeviceModel &device() { return m_device; }
    const Options &options() const { return m_options; }
    std::int64_t nowMs() const { return m_device.now(); }
    /// The host's monotonic clock in nanoseconds, finer than the device's
    /// millisecond clock: the serial line's timing runs on it.
    std::int64_t nowNs() const { return m_clock.nsecsElapsed(); }
    /// Brings the device's clock up to the host's between two ticks.
    void catchUp();

    quint16 tcpPort() const;
    quint16 udpPort() const;
    QString serialPath() const;
    /// Pictures written to the picture folder so far.
    const QStringList &writtenPictures() const { return m_written; }

    /// Traffic log line (with --verbose): time, link, direction, escaped bytes.
    void logTraffic(const QString &link, bool incoming, const QByteArray &bytes);
    void log(const QString &text);

private:
    void tick();
    void writePicture(MemoryRef ref, const StoredPicture &picture);

    DeviceModel m_device;
    Options m_options;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::int64_t m_lastAdvance = 0;
    std::vector<std::unique_ptr<SimLink>> m_links;
    TcpLink *m_tcp = nullptr;
    UdpLink *m_udp = nullptr;
    SerialLink *m_serial = nullptr;
    QStringList m_written;
    int m_pictureCount = 0;
};

}  // namespace varnel::sim
