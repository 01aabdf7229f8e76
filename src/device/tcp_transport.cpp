#include "tcp_transport.h"

#include <QDeadlineTimer>
#include <QtGlobal>

namespace varnel {

namespace {
constexpr int kWriteOutMs = 2000;  // longest wait for queued bytes when closing
}

TcpTransport::TcpTransport(QObject *parent) : QtTransport(parent)
{
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(kConnectTimeoutMs);
    QObject::connect(&m_connectTimer, &QTimer::timeout, this, [this] { failed(); });
    QObject::connect(&m_socket, &QTcpSocket::connected, this, [this] {
        m_opening = false;
        m_connectTimer.stop();
    });
    QObject::connect(&m_socket, &QTcpSocket::readyRead, this, [this] { readArrival(); });
    QObject::connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] { failed(); });
    QObject::connect(&m_socket, &QTcpSocket::disconnected, this, [this] { failed(); });
}

TcpTransport::~TcpTransport()
{
    QObject::disconnect(&m_socket, nullptr, this, nullptr);
    m_socket.abort();
}

void TcpTransport::setRemote(std::string_view address, int port)
{
    m_address = QString::fromUtf8(address.data(), qsizetype(address.size()));
    m_port = port;
}

void TcpTransport::open()
{
    if (!onOwnThread())
        return post([this] { open(); });
    if (isOpen() || m_opening)
        return;
    m_opening = true;
    restarted();
    if (m_port < 1 || m_port > 65535 || m_address.isEmpty()) {
        shutDown(false);  // nothing to connect to: stays closed
        return;
    }
    m_connectTimer.start();
    m_socket.connectToHost(m_address, quint16(m_port));
}

void TcpTransport::close()
{
    if (!onOwnThread())
        return post([this] { close(); });
    shutDown(true);
}

void TcpTransport::shutDown(bool writeOutQueue)
{
    m_opening = false;
    m_connectTimer.stop();
    restarted();
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        return;
    m_closing = true;
    if (writeOutQueue && m_socket.state() == QAbstractSocket::ConnectedState) {
        QDeadlineTimer deadline(kWriteOutMs);
        while (m_socket.state() == QAbstractSocket::ConnectedState && m_socket.bytesToWrite() > 0 &&
               m_socket.waitForBytesWritten(int(qMax<qint64>(deadline.remainingTime(), 0))))
            ;
    }
    m_socket.abort();
    m_closing = false;
}

void TcpTransport::write(std::string_view text)
{
    if (!onOwnThread())
        return post([this, data = bytes(text)] { write(std::string_view(data.constData(), std::size_t(data.size()))); });
    if (qint64(text.size()) > kAreaSize) {
        qWarning("TCP write of %lld bytes refused (at most %lld)", qint64(text.size()), kAreaSize);
        return;
    }
    const auto state = m_socket.state();
    if (state == QAbstractSocket::ConnectedState || state == QAbstractSocket::ConnectingState ||
        state == QAbstractSocket::HostLookupState) {
        m_socket.write(text.data(), qint64(text.size()));
        if (state == QAbstractSocket::ConnectedState)
            m_socket.flush();  // out now, not at the event loop's next turn (as on a serial line)
    }
}

void TcpTransport::readArrival()
{
    // Chunks of at most 8192 bytes; what lies beyond is read as the next chunk.
    while (m_socket.bytesAvailable() > 0) {
        const QByteArray chunk = m_socket.read(kAreaSize);
        if (chunk.isEmpty())
            break;
        deliver(textUpToZero(chunk));
    }
}

void TcpTransport::failed()
{
    // A refused or broken connection, or the device closed it (it may be
    // rebooting): close, and reconnect at the next supervision tick.
    if (m_closing || (m_socket.state() == QAbstractSocket::UnconnectedState && !m_opening))
        return;
    if (m_socket.bytesAvailable() > 0)
        readArrival();  // the last words before the close
    if (!selected()) {  // late event of a deselected link
        m_opening = false;
        m_connectTimer.stop();
        m_closing = true;
        m_socket.abort();
        m_closing = false;
        return;
    }
    shutDown(false);
    reopenLater();
}

}  // namespace varnel
