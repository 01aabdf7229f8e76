#pragma once
// The TCP transport: a client connection to IpRemoteAddress:IpRemotePort.
// An error or a connection closed by the device closes the socket; the driver
// reconnects at its next supervision tick.

#include "qt_transport.h"

#include <QTcpSocket>
#include <QTimer>

namespace varnel {

class TcpTransport final : public QtTransport {
public:
    static constexpr qint64 kAreaSize = 8192;  ///< longest write, and the read chunk
    static constexpr int kConnectTimeoutMs = 5000;  ///< a connect that takes longer is retried

    explicit TcpTransport(QObject *parent = nullptr);
    ~TcpTransport() override;

    /// Writes while the socket is connecting or connected. A text longer than
    /// 8192 characters is refused: nothing is sent.
    void write(std::string_view text) override;
    void open() override;
    void close() override;
    bool isOpen() const override { return m_socket.state() == QAbstractSocket::ConnectedState; }
    bool isOpening() const override { return m_opening; }
    void setRemote(std::string_view address, int port) override;
    /// How long a connect may take before it is given up (kConnectTimeoutMs).
    void setConnectTimeout(int ms) { m_connectTimer.setInterval(ms); }

private:
    void readArrival();
    void failed();
    void shutDown(bool writeOutQueue);

    QTcpSocket m_socket;
    QTimer m_connectTimer;  // an absent host answers nothing: give up and retry at a tick
    QString m_address;
    int m_port = 0;
    bool m_opening = false;
    bool m_closing = false;  // our own close: its disconnect is no failure
};

}  // namespace varnel
