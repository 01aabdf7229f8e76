#include "sim_host.h"

#include "uart_line.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QNetworkDatagram>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <utility>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/timerfd.h>
#endif

namespace varnel::sim {

// --- SimLink ----------------------------------------------------------------------

SimLink::SimLink(SimHost &host, QString name, std::uint32_t seedOffset)
    : m_host(host), m_name(std::move(name)), m_shaper(host.options().faults, seedOffset)
{
    m_session = std::make_unique<SimSession>(
        host.device(),
        [this](std::string_view text, bool registerAnswer) {
            m_shaper.submit(text, registerAnswer, m_host.nowMs(), m_destination);
        },
        host.options().faults.nakShare, host.options().faults.seed * 7919u + seedOffset);
}

SimLink::~SimLink() = default;

void SimLink::peerAppeared()
{
    m_session->reset();
    m_session->setHasPeer(true);
    m_shaper.reset(m_host.nowMs());
}

void SimLink::deliver(const QByteArray &bytes)
{
    m_host.logTraffic(m_name, true, bytes);
    if (m_shaper.silent(m_host.nowMs()))
        return;
    m_session->receive(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    flush(m_host.nowMs());
}

void SimLink::flush(std::int64_t nowMs)
{
    std::vector<std::uint32_t> destinations;
    const std::vector<std::string> pieces = m_shaper.takeDue(nowMs, &destinations);
    for (std::size_t i = 0; i < pieces.size(); ++i)
        writeOut(QByteArray(pieces[i].data(), static_cast<qsizetype>(pieces[i].size())), destinations[i]);
    if (m_shaper.closeDue(nowMs))
        hangUp();
}

// --- TCP: one client at a time, a new one replaces the old ---------------------------------

class TcpLink final : public SimLink {
public:
    TcpLink(SimHost &host) : SimLink(host, QStringLiteral("tcp"), 1)
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
    }
    bool listen(const QHostAddress &address, quint16 port, QString *error)
    {
        if (m_server.listen(address, port))
            return true;
        *error = QStringLiteral("cannot listen on TCP %1:%2: %3")
                     .arg(address.toString())
                     .arg(port)
                     .arg(m_server.errorString());
        return false;
    }
    quint16 port() const { return m_server.serverPort(); }

protected:
    void writeOut(const QByteArray &bytes, std::uint32_t) override
    {
        if (!m_client)
            return;
        m_host.logTraffic(m_name, false, bytes);
        m_client->write(bytes);
        m_client->flush();
    }
    void hangUp() override
    {
        if (!m_client)
            return;
        m_host.log(QStringLiteral("tcp: closing the connection (fault)"));
        QTcpSocket *old = std::exchange(m_client, nullptr);
        old->abort();
        old->deleteLater();
        m_session->reset();
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            if (m_client) {
                m_host.log(QStringLiteral("tcp: a new client replaces %1:%2")
                               .arg(m_client->peerAddress().toString())
                               .arg(m_client->peerPort()));
                QTcpSocket *old = std::exchange(m_client, nullptr);
                old->abort();
                old->deleteLater();
            }
            m_client = socket;
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            m_host.log(QStringLiteral("tcp: client %1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort()));
            peerAppeared();
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                if (socket == m_client)
                    deliver(socket->readAll());
            });
            QObject::connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                if (socket != m_client)
                    return;
                m_host.log(QStringLiteral("tcp: client left"));
                m_client = nullptr;
                socket->deleteLater();
                m_session->reset();
            });
        }
    }

    QTcpServer m_server;
    QTcpSocket *m_client = nullptr;
};

// --- UDP: answers go to the sender of the last datagram ------------------------------------------

class UdpLink final : public SimLink {
public:
    UdpLink(SimHost &host) : SimLink(host, QStringLiteral("udp"), 2)
    {
        QObject::connect(&m_socket, &QUdpSocket::readyRead, this, [this] { read(); });
    }
    bool bind(const QHostAddress &address, quint16 port, QString *error)
    {
        if (m_socket.bind(address, port))
            return true;
        *error = QStringLiteral("cannot bind UDP %1:%2: %3").arg(address.toString()).arg(port).arg(m_socket.errorString());
        return false;
    }
    quint16 port() const { return m_socket.localPort(); }

protected:
    void writeOut(const QByteArray &bytes, std::uint32_t destination) override
    {
        const auto peer = std::find_if(m_peers.begin(), m_peers.end(),
                                       [destination](const Peer &p) { return p.id == destination; });
        if (peer == m_peers.end() || m_closed)
            return;
        m_host.logTraffic(m_name, false, bytes);
        m_socket.writeDatagram(bytes, peer->address, peer->port);
    }
    void hangUp() override
    {
        // A datagram link has no connection to close: the device stops answering.
        if (!m_closed)
            m_host.log(QStringLiteral("udp: hanging up (fault): no more answers"));
        m_closed = true;
    }

private:
    void read()
    {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = m_socket.receiveDatagram();
            if (!datagram.isValid())
                continue;
            if (m_peers.empty())
                peerAppeared();
            // Answers go to the sender of the datagram they answer, even when
            // they leave later; the device's own reports go to the latest sender.
            const QHostAddress address = datagram.senderAddress();
            const auto port = static_cast<quint16>(datagram.senderPort());
            auto known = std::find_if(m_peers.begin(), m_peers.end(),
                                      [&](const Peer &p) { return p.address == address && p.port == port; });
            if (known == m_peers.end()) {
                if (m_peers.size() >= kMaxPeers)
                    m_peers.erase(m_peers.begin());  // forget the oldest (late answers to it are lost)
                m_peers.push_back({m_nextId++, address, port});
                known = m_peers.end() - 1;
            }
            m_destination = known->id;
            if (!m_closed)
                deliver(datagram.data());
        }
    }

    static constexpr std::size_t kMaxPeers = 16;

    struct Peer {
        std::uint32_t id;
        QHostAddress address;
        quint16 port;
    };

    QUdpSocket m_socket;
    std::vector<Peer> m_peers;
    std::uint32_t m_nextId = 0;
    bool m_closed = false;
};

// --- serial line on a pseudo-terminal, timed like a UART -----------------------------------------


/// The device's end of a serial line: a full-duplex UART at the session's
/// current rate (9600 baud, 115200 during a picture transfer). What the
/// client writes reaches the device as its bytes would have arrived over the
/// wire; the device's output leaves at the line rate, starting at once on an
/// idle line, and reaches the client as it comes off the wire. A timer
/// precise to the nanosecond where the system has one, else a precise QTimer,
/// runs the line between the host's ticks.
class SerialLink final : public SimLink {
public:
    SerialLink(SimHost &host) : SimLink(host, QStringLiteral("serial"), 3)
    {
        m_lineTimer.setSingleShot(true);
        m_lineTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_lineTimer, &QTimer::timeout, this, [this] { runLine(); });
#ifdef __linux__
        // A QTimer counts whole milliseconds, which at 115200 baud is more than
        // a byte time and would hold every record back by half a millisecond on
        // average; a timer descriptor wakes at the nanosecond asked for.
        m_timerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_timerFd >= 0) {
            m_timerNotifier = new QSocketNotifier(m_timerFd, QSocketNotifier::Read);
            QObject::connect(m_timerNotifier, &QSocketNotifier::activated, this, [this] {
                std::uint64_t expirations = 0;
                if (::read(m_timerFd, &expirations, sizeof expirations) > 0)
                    runLine();
            });
        }
#endif
    }
    ~SerialLink() override
    {
        delete m_notifier;
        delete m_timerNotifier;
        if (m_timerFd >= 0)
            ::close(m_timerFd);
        if (!m_linkPath.isEmpty())
            QFile::remove(m_linkPath);
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }

    bool open(const QString &linkPath, QString *error)
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
            *error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        m_path = QString::fromLocal8Bit(::ptsname(m_master));
        // Keeping the line's other end open ourselves means a client may come and
        // go without the master side seeing a hang-up.
        m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
        if (m_slave >= 0) {
            termios tio{};
            if (::tcgetattr(m_slave, &tio) == 0) {
                ::cfmakeraw(&tio);
                ::cfsetispeed(&tio, B9600);
                ::cfsetospeed(&tio, B9600);
                ::tcsetattr(m_slave, TCSANOW, &tio);
            }
        }
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read);
        QObject::connect(m_notifier, &QSocketNotifier::activated, this, [this] { read(); });
        if (!linkPath.isEmpty()) {
            const QFileInfo existing(linkPath);
            if (existing.isSymLink())
                QFile::remove(linkPath);
            if (!QFile::link(m_path, linkPath)) {
                *error = QStringLiteral("cannot create the link %1 to %2").arg(linkPath, m_path);
                return false;
            }
            m_linkPath = linkPath;
        }
        return true;
    }
    QString path() const { return m_path; }

    void flush(std::int64_t nowMs) override
    {
        SimLink::flush(nowMs);
        transmit();
        schedule();
    }

protected:
    void writeOut(const QByteArray &bytes, std::uint32_t) override
    {
        if (m_closed)
            return;
        // Nobody may be reading the line: keep at most a few seconds of output.
        if (qsizetype(m_tx.queued()) + m_unwritten.size() + bytes.size() > kMaxQueued) {
            m_host.log(QStringLiteral("serial: output not read, %1 bytes dropped").arg(bytes.size()));
            return;
        }
        m_tx.push(std::string_view(bytes.constData(), std::size_t(bytes.size())), m_answerStartNs.value_or(m_host.nowNs()),
                  m_session->baudRate());
        transmit();
        schedule();
    }
    void hangUp() override
    {
        if (!m_closed)
            m_host.log(QStringLiteral("serial: hanging up (fault): no more answers"));
        m_closed = true;
        m_tx.clear();
        m_rx.clear();
        m_unwritten.clear();
        armTimer(std::nullopt);
    }

private:
    void read()
    {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            if (!m_session->hasPeer())
                peerAppeared();
            if (!m_closed)
                m_rx.push(std::string_view(buf, static_cast<std::size_t>(n)), m_host.nowNs(), m_session->baudRate());
        }
        schedule();
    }

    /// Hands the device what has come in over the line by now, then sends
    /// what is due.
    void runLine()
    {
        awaitOutput();
        std::int64_t throughNs = 0;
        const std::string taken = m_rx.take(m_host.nowNs(), &throughNs);
        const QByteArray arrived(taken.data(), static_cast<qsizetype>(taken.size()));
        if (!arrived.isEmpty() && !m_closed) {
            m_host.catchUp();
            // The device answers the moment the last byte is in, not when this
            // timer happened to wake up: the answers start on the line then.
            m_answerStartNs = throughNs;
            deliver(arrived);  // flushes the answers onto the line
            m_answerStartNs.reset();
        }
        transmit();
        schedule();
    }

    /// Writes the bytes through the line by now to the pseudo-terminal.
    void transmit()
    {
        const std::string through = m_tx.take(m_host.nowNs());
        m_unwritten.append(through.data(), static_cast<qsizetype>(through.size()));
        if (m_unwritten.isEmpty())
            return;
        // A full pseudo-terminal (a client that does not read) takes the rest on a later tick.
        const ssize_t written = ::write(m_master, m_unwritten.constData(), static_cast<std::size_t>(m_unwritten.size()));
        if (written <= 0)
            return;
        m_host.logTraffic(m_name, false, m_unwritten.left(written));
        m_unwritten.remove(0, written);
    }

    /// Output due within kWakeEarlyNs: waits for it actively, since a timer
    /// wakes up tens of microseconds late and every answer would come that late.
    void awaitOutput()
    {
        if (m_timerFd < 0)
            return;
        if (const std::optional<std::int64_t> out = m_tx.nextDue(); out && *out - m_host.nowNs() <= kWakeEarlyNs)
            while (m_host.nowNs() < *out) {
            }
    }

    void schedule()
    {
        std::optional<std::int64_t> due = m_rx.nextDue();
        if (std::optional<std::int64_t> out = m_tx.nextDue()) {
            if (m_timerFd >= 0)
                *out -= kWakeEarlyNs;  // see awaitOutput
            due = due ? std::min(*due, *out) : out;
        }
        armTimer(due ? std::optional<std::int64_t>(std::max<std::int64_t>(*due - m_host.nowNs(), 0)) : std::nullopt);
    }

    /// Runs the line after `waitNs`; nothing: stops the timer.
    void armTimer(std::optional<std::int64_t> waitNs)
    {
        if (m_timerFd >= 0) {
#ifdef __linux__
            itimerspec due{};
            if (waitNs) {
                const std::int64_t ns = std::max<std::int64_t>(*waitNs, 1);  // 0 would disarm it
                due.it_value.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
                due.it_value.tv_nsec = static_cast<long>(ns % 1'000'000'000);
            }
            ::timerfd_settime(m_timerFd, 0, &due, nullptr);
#endif
            return;
        }
        if (!waitNs)
            m_lineTimer.stop();
        else
            m_lineTimer.start(static_cast<int>((*waitNs + 999'999) / 1'000'000));
    }

    static constexpr qsizetype kMaxQueued = 65536;
    static constexpr std::int64_t kWakeEarlyNs = 100'000;

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    QString m_linkPath;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_lineTimer;  ///< where there is no timer descriptor
    int m_timerFd = -1;
    QSocketNotifier *m_timerNotifier = nullptr;
    UartLine m_rx;  ///< client to device
    UartLine m_tx;  ///< device to client
    QByteArray m_unwritten;  ///< through the line, not yet taken by the pseudo-terminal
    std::optional<std::int64_t> m_answerStartNs;  ///< while handing over arrived bytes
    bool m_closed = false;
};

// --- SimHost -------------------------------------------------------------------------------

SimHost::SimHost(ModelProfile model, Options options, QObject *parent)
    : QObject(parent), m_device(std::move(model)), m_options(std::move(options))
{
    m_device.onPictureReceived = [this](MemoryRef ref, const StoredPicture &picture) { writePicture(ref, picture); };
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
}

SimHost::~SimHost()
{
    m_links.clear();  // sessions detach from the device before it goes
}

bool SimHost::start(QString *error)
{
    m_clock.start();
    if (m_options.tcp) {
        auto link = std::make_unique<TcpLink>(*this);
        if (!link->listen(m_options.address, m_options.tcpPort, error))
            return false;
        m_tcp = link.get();
        m_links.push_back(std::move(link));
    }
    if (m_options.udp) {
        auto link = std::make_unique<UdpLink>(*this);
        if (!link->bind(m_options.address, m_options.udpPort, error))
            return false;
        m_udp = link.get();
        m_links.push_back(std::move(link));
    }
    if (m_options.serial) {
        auto link = std::make_unique<SerialLink>(*this);
        if (!link->open(m_options.linkPath, error))
            return false;
        m_serial = link.get();
        m_links.push_back(std::move(link));
    }
    if (!m_options.pictureDir.isEmpty() && !QDir().mkpath(m_options.pictureDir)) {
        *error = QStringLiteral("cannot create the picture folder %1").arg(m_options.pictureDir);
        return false;
    }
    m_timer.start(m_options.tickMs);
    return true;
}

quint16 SimHost::tcpPort() const { return m_tcp ? m_tcp->port() : 0; }
quint16 SimHost::udpPort() const { return m_udp ? m_udp->port() : 0; }
QString SimHost::serialPath() const { return m_serial ? m_serial->path() : QString(); }

void SimHost::catchUp()
{
    const std::int64_t elapsed = m_clock.elapsed();
    if (elapsed > m_lastAdvance) {
        m_device.advance(elapsed - m_lastAdvance);
        m_lastAdvance = elapsed;
    }
}

void SimHost::tick()
{
    catchUp();
    for (auto &link : m_links)
        link->flush(m_device.now());
}

void SimHost::log(const QString &text)
{
    if (!m_options.verbose)
        return;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    std::fprintf(stderr, "%s %s\n", qPrintable(stamp), qPrintable(text));
    std::fflush(stderr);
}

void SimHost::logTraffic(const QString &link, bool incoming, const QByteArray &bytes)
{
    if (!m_options.verbose)
        return;
    QString shown;
    for (char c : bytes) {
        if (c == '\r')
            shown += QStringLiteral("\\r");
        else if (c == '\n')
            shown += QStringLiteral("\\n");
        else if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126)
            shown += QStringLiteral("\\x%1").arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0'));
        else
            shown += QLatin1Char(c);
    }
    log(QStringLiteral("%1 %2 %3").arg(link, incoming ? QStringLiteral("<-") : QStringLiteral("->"), shown));
}

void SimHost::writePicture(MemoryRef ref, const StoredPicture &picture)
{
    log(QStringLiteral("picture received for %1: %2 x %3, %4 frame(s)%5")
            .arg(QString::fromStdString(ref.name()))
            .arg(picture.width)
            .arg(picture.frameHeight)
            .arg(picture.frames)
            .arg(picture.keyed ? QStringLiteral(", keyed") : QString()));
    if (m_options.pictureDir.isEmpty())
        return;
    const QImage image(picture.rgb.data(), picture.width, picture.height(), picture.width * 3, QImage::Format_RGB888);
    const QString path = QDir(m_options.pictureDir)
                             .filePath(QStringLiteral("%1-%2.png")
                                           .arg(QString::fromStdString(ref.name()))
                                           .arg(++m_pictureCount, 3, 10, QLatin1Char('0')));
    if (image.copy().save(path, "PNG"))
        m_written << path;
    else
        std::fprintf(stderr, "varnel-sim: cannot write %s\n", qPrintable(path));
}

}  // namespace varnel::sim
