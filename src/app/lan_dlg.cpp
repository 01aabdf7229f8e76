#include "lan_dlg.h"

#include "vrk_610_d.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace varnel::app {

namespace {
enum Field { DeviceAddress = 0, RemoteAddress, Gateway, DevicePort, RemotePort, NetMask };
const char *const kCaptions[6] = {"Device Address :", "Remote Address :", "Gateway :",
                                  "Device Port :",    "Remote Port :",    "NetMask :"};
const char *const kNames[6] = {"editDeviceAddress", "editRemoteAddress", "editGateway",
                               "editDevicePort",    "editRemotePort",    "editNetMask"};
}  // namespace

TLanDlg::TLanDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TLanDlg"));
    setWindowTitle(QStringLiteral("VARNEL LAN Status"));
    setModal(true);
    m_report = [](QWidget *p, const QString &text) { QMessageBox::critical(p, QStringLiteral("Error"), text); };

    auto *fields = new QWidget(this);
    fields->setObjectName(QStringLiteral("fields"));
    m_grid = new QGridLayout(fields);
    for (int i = 0; i < 6; ++i) {
        m_edits[i] = new QLineEdit(fields);
        m_edits[i]->setObjectName(QString::fromLatin1(kNames[i]));
        m_labels[i] = new QLabel(QString::fromLatin1(kCaptions[i]), fields);
        m_labels[i]->setObjectName(QStringLiteral("label") + QString::fromLatin1(kNames[i]).mid(4));
        m_labels[i]->setBuddy(m_edits[i]);
    }

    auto *modeBox = new QGroupBox(QStringLiteral("Connection Mode"), this);
    modeBox->setObjectName(QStringLiteral("groupConnectionMode"));
    auto *modeLayout = new QHBoxLayout(modeBox);
    auto *group = new QButtonGroup(this);
    m_udp = new QRadioButton(QStringLiteral("Udp"), modeBox);
    m_udp->setObjectName(QStringLiteral("radioUdp"));
    m_tcp = new QRadioButton(QStringLiteral("Tcp"), modeBox);
    m_tcp->setObjectName(QStringLiteral("radioTcp"));
    m_rs232 = new QRadioButton(QStringLiteral("Rs232"), modeBox);
    m_rs232->setObjectName(QStringLiteral("radioRs232"));
    group->addButton(m_udp, ModeUdp);
    group->addButton(m_tcp, ModeTcp);
    group->addButton(m_rs232, ModeSerial);
    for (auto *r : {m_udp, m_tcp, m_rs232})
        modeLayout->addWidget(r);
    connect(group, &QButtonGroup::idClicked, this, [this](int id) { setMode(id); });

    auto *apply = new QPushButton(QStringLiteral("Apply"), this);
    apply->setObjectName(QStringLiteral("buttonApply"));
    apply->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("buttonCancel"));
    connect(apply, &QPushButton::clicked, this, [this] { pressApply(); });
    connect(cancel, &QPushButton::clicked, this, [this] { pressCancel(); });
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(apply);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(fields);
    layout->addWidget(modeBox);
    layout->addLayout(buttons);
    setMode(ModeUdp);
}

void TLanDlg::relayout()
{
    for (int i = 0; i < 6; ++i) {
        m_grid->removeWidget(m_labels[i]);
        m_grid->removeWidget(m_edits[i]);
    }
    const bool showRemote = m_mode == ModeUdp;
    m_labels[RemoteAddress]->setVisible(showRemote);
    m_edits[RemoteAddress]->setVisible(showRemote);
    m_labels[RemotePort]->setVisible(showRemote);
    m_edits[RemotePort]->setVisible(showRemote);
    auto place = [this](int field, int row, int column) {
        m_grid->addWidget(m_labels[field], row, column * 2);
        m_grid->addWidget(m_edits[field], row, column * 2 + 1);
    };
    if (m_mode == ModeTcp) {
        // The four remaining fields in one column.
        place(DeviceAddress, 0, 0);
        place(Gateway, 1, 0);
        place(DevicePort, 2, 0);
        place(NetMask, 3, 0);
    } else {
        place(DeviceAddress, 0, 0);
        place(DevicePort, 0, 1);
        place(RemoteAddress, 1, 0);
        place(RemotePort, 1, 1);
        place(Gateway, 2, 0);
        place(NetMask, 2, 1);
    }
}

void TLanDlg::setMode(int mode)
{
    if (mode != ModeSerial && mode != ModeUdp && mode != ModeTcp)
        return;
    m_mode = mode;
    QRadioButton *r = mode == ModeTcp ? m_tcp : mode == ModeUdp ? m_udp : m_rs232;
    r->setChecked(true);
    relayout();
}

QString TLanDlg::deviceAddress() const { return m_edits[DeviceAddress]->text(); }
void TLanDlg::setDeviceAddress(const QString &text) { m_edits[DeviceAddress]->setText(text); }
QString TLanDlg::remoteAddress() const { return m_edits[RemoteAddress]->text(); }
void TLanDlg::setRemoteAddress(const QString &text) { m_edits[RemoteAddress]->setText(text); }
QString TLanDlg::gateway() const { return m_edits[Gateway]->text(); }
void TLanDlg::setGateway(const QString &text) { m_edits[Gateway]->setText(text); }
QString TLanDlg::netMask() const { return m_edits[NetMask]->text(); }
void TLanDlg::setNetMask(const QString &text) { m_edits[NetMask]->setText(text); }

void TLanDlg::setDevicePort(quint32 port)
{
    m_devicePort = quint16(port);
    m_edits[DevicePort]->setText(QString::number(port));
}

void TLanDlg::setRemotePort(quint32 port)
{
    m_remotePort = quint16(port);
    m_edits[RemotePort]->setText(QString::number(port));
}

void TLanDlg::loadFrom(const TVRK_610_d &driver)
{
    if (driver.LANENABLE())
        setMode(driver.TCPIP() ? ModeTcp : ModeUdp);
    else
        setMode(ModeSerial);
    setDeviceAddress(QString::fromStdString(driver.LOCAL_IP()));
    setRemoteAddress(QString::fromStdString(driver.REMOTE_IP()));
    setGateway(QString::fromStdString(driver.GATEWAY_IP()));
    setDevicePort(quint32(driver.LOCAL_PORT()));
    setRemotePort(quint32(driver.REMOTE_PORT()));
    setNetMask(QString::fromStdString(driver.NETMASK()));
    m_accepted = false;
}

void TLanDlg::writeTo(TVRK_610_d &driver) const
{
    if (m_mode == ModeSerial) {
        driver.setLANENABLE(0);
        return;
    }
    driver.setTCPIP(m_mode == ModeTcp ? 1 : 0);
    driver.setLOCAL_IP(deviceAddress().toStdString());
    driver.setREMOTE_IP(remoteAddress().toStdString());
    driver.setGATEWAY_IP(gateway().toStdString());
    driver.setLOCAL_PORT(m_devicePort);
    driver.setREMOTE_PORT(m_remotePort);
    driver.setNETMASK(netMask().toStdString());
    driver.setLANSTORE(1);
    driver.setLANENABLE(1);
}

QString TLanDlg::pressApply()
{
    quint16 ports[2] = {};
    const int fields[2] = {DevicePort, RemotePort};
    for (int i = 0; i < 2; ++i) {
        const QString text = m_edits[fields[i]]->text().trimmed();
        bool ok = false;
        const uint v = text.toUInt(&ok);
        if (!ok || v > 65535) {
            const QString message = QStringLiteral("'%1' is not a valid port number (0 to 65535).").arg(text);
            if (m_report)
                m_report(this, message);
            m_edits[fields[i]]->setFocus();
            return message;
        }
        ports[i] = quint16(v);
    }
    m_devicePort = ports[0];
    m_remotePort = ports[1];
    m_accepted = true;
    accept();
    return {};
}

void TLanDlg::pressCancel()
{
    m_accepted = false;
    reject();
}

}  // namespace varnel::app
