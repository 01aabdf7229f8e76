#include "link_parameters.h"

namespace varnel::app {

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
