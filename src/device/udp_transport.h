#pragma once
// The UDP transport: a socket bound to IpLocalPort on all local addresses
// (broadcast sending allowed), datagrams sent to IpRemoteAddress:IpRemotePort and
// accepted only from there.

#include "qt_transport.h"

#include <QHostAddress>
#include <QUdpSocket>

namespace varnel {

class UdpTransport final : public QtTransport {
public:
    static constexpr qint64 kAreaSize = 8192;  ///< longer datagrams are cut

    explicit UdpTransport(QObject *parent = nullptr);
    ~UdpTransport() override;

    void write(std::string_view text) override;
    void open() override;
    void close() override;
    bool isOpen() const override { return m_socket.state() == QAbstractSocket::BoundState; }
    void setLocalPort(int port) override { m_localPort = port; }
    void setRemote(std::string_view address, int port) override;

    /// The port actually bound (the chosen one when IpLocalPort is 0).
    quint16 boundPort() const { return m_socket.localPort(); }

private:
    void readArrival();

    QUdpSocket m_socket;
    int m_localPort = 10000;
    QHostAddress m_remote;
    int m_remotePort = 0;
    bool m_failing = false;  // a send failed and nothing went right since
};

}  // namespace varnel
