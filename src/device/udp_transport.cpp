#include "udp_transport.h"

#include <QNetworkDatagram>

namespace varnel {

UdpTransport::UdpTransport(QObject *parent) : QtTransport(parent)
{
    QObject::connect(&m_socket, &QUdpSocket::readyRead, this, [this] { readArrival(); });
}

UdpTransport::~UdpTransport()
{
    QObject::disconnect(&m_socket, nullptr, this, nullptr);
    m_socket.close();
}

void UdpTransport::setRemote(std::string_view address, int port)
{
    // Compared and sent to as a parsed address: a dual-stack socket reports
    // "::ffff:127.0.0.1" for "127.0.0.1". A text that is no address matches nothing.
    m_remote = QHostAddress(QString::fromUtf8(address.data(), qsizetype(address.size())).trimmed());
    m_remotePort = port;
}

void UdpTransport::open()
{
    if (!onOwnThread())
        return post([this] { open(); });
    if (isOpen())
        return;
    restarted();
    // QUdpSocket allows broadcast sending on its own; Any binds IPv4 and IPv6.
    if (m_localPort < 0 || m_localPort > 65535 || !m_socket.bind(QHostAddress::Any, quint16(m_localPort))) {
        m_socket.close();  // the port may be free again at the next tick
        reopenLater();
    }
}

void UdpTransport::close()
{
    if (!onOwnThread())
        return post([this] { close(); });
    restarted();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.close();
}

void UdpTransport::write(std::string_view text)
{
    if (!onOwnThread())
        return post([this, data = bytes(text)] { write(std::string_view(data.constData(), std::size_t(data.size()))); });
    if (!isOpen() || m_remote.isNull() || m_remotePort < 1 || m_remotePort > 65535)
        return;
    if (m_socket.writeDatagram(text.data(), qint64(text.size()), m_remote, quint16(m_remotePort)) >= 0) {
        m_failing = false;
        return;
    }
    // Close, tell the operator once per run of failures (from the event loop,
    // never from here), and try again at the next tick.
    const QString message = m_socket.errorString();
    close();
    if (!m_failing)
        reportLater(message);
    m_failing = true;
    reopenLater();
}

void UdpTransport::readArrival()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram(kAreaSize);
        if (!datagram.isValid())
            break;
        if (datagram.senderPort() != m_remotePort ||
            !datagram.senderAddress().isEqual(m_remote, QHostAddress::TolerantConversion))
            continue;
        m_failing = false;
        deliver(textUpToZero(datagram.data()));
    }
}

}  // namespace varnel
