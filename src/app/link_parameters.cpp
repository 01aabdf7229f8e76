#include "link_parameters.h"

namespace varnel::app {

namespace {
class DriverLinkAccess final : public LinkAccess {
public:
    explicit DriverLinkAccess(TVRK_610_d &driver) : m_driver(driver) {}
    LinkParameters read() const override
    {
        return {m_driver.ConType(), QString::fromStdString(m_driver.Port()), int(m_driver.IpLocalPort()),
                int(m_driver.IpRemotePort()), QString::fromStdString(m_driver.IpRemoteAddress())};
    }
    void setConType(tConnectionType type) override { m_driver.setConType(type); }
    void setPort(const QString &port) override { m_driver.setPort(port.toStdString()); }
    void setIpLocalPort(int port) override { m_driver.setIpLocalPort(port); }
    void setIpRemotePort(int port) override { m_driver.setIpRemotePort(port); }
    void setIpRemoteAddress(const QString &address) override { m_driver.setIpRemoteAddress(address.toStdString()); }

private:
    TVRK_610_d &m_driver;
};
}  // namespace

std::unique_ptr<LinkAccess> makeDriverLinkAccess(TVRK_610_d &driver)
{
    return std::make_unique<DriverLinkAccess>(driver);
}

bool applyLinkParameters(LinkAccess &link, const LinkParameters &wanted)
{
    if (link.read() == wanted)
        return false;
    link.setConType(tConnectionType::CON_NONE);
    link.setPort(wanted.port);
    link.setIpLocalPort(wanted.localPort);
    link.setIpRemotePort(wanted.remotePort);
    link.setIpRemoteAddress(wanted.remoteAddress);
    link.setConType(wanted.type);
    return true;
}

QString linkPanelText(tConnectionType type, const QString &port)
{
    switch (type) {
    case tConnectionType::CON_RS232: return QStringLiteral("Communication : RS-232 (%1)").arg(port);
    case tConnectionType::CON_UDP: return QStringLiteral("Communication : UDP");
    case tConnectionType::CON_TCP: return QStringLiteral("Communication : TCP-IP");
    default: return QStringLiteral("Communication : NONE");
    }
}

}  // namespace varnel::app
