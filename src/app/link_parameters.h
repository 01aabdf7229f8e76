#pragma once
// The five link settings the connection dialog edits, and the seam through which
// the main window reads them from and writes them to the driver.

#include "vrk_610_d.h"

#include <QString>

#include <memory>

namespace varnel::app {

/// ConType, Port, IpLocalPort, IpRemotePort and IpRemoteAddress of the driver.
struct LinkParameters {
    tConnectionType type = tConnectionType::CON_NONE;
    QString port;
    int localPort = 10000;
    int remotePort = 10500;
    QString remoteAddress = QStringLiteral("192.168.0.10");

    bool operator==(const LinkParameters &) const = default;
};

/// Reads and writes the link properties of the driver. The wired driver of the
/// application implements it; tests record the order of the writes.
class LinkAccess {
public:
    virtual ~LinkAccess() = default;
    virtual LinkParameters read() const = 0;
    virtual void setConType(tConnectionType type) = 0;
    virtual void setPort(const QString &port) = 0;
    virtual void setIpLocalPort(int port) = 0;
    virtual void setIpRemotePort(int port) = 0;
    virtual void setIpRemoteAddress(const QString &address) = 0;
};

/// LinkAccess over the driver's own link properties.
std::unique_ptr<LinkAccess> makeDriverLinkAccess(TVRK_610_d &driver);

/// Writes `wanted` to the driver when it differs from what the driver has: the
/// type goes to CON_NONE first, then the four endpoint values, then the new type,
/// so the old link is closed before the new one opens. Returns true if it wrote.
bool applyLinkParameters(LinkAccess &link, const LinkParameters &wanted);

/// "Communication : ..." text of the link panel.
QString linkPanelText(tConnectionType type, const QString &port);

}  // namespace varnel::app
