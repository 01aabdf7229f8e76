#include "con_type_cfg_form.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace varnel::app {

namespace {

enum Page { PageNone = 0, PageRs232 = 1, PageUdp = 2, PageTcp = 3 };

QLineEdit *field(const QString &name, const QString &text, QWidget *parent)
{
    auto *e = new QLineEdit(text, parent);
    e->setObjectName(name);
    return e;
}

/// A port number typed by the operator: an integer 0..65535.
bool parsePort(const QString &text, int &port)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < 0 || v > 65535)
        return false;
    port = v;
    return true;
}

const QString kRemotePortError = QStringLiteral("Remote Port must be an integer between 0 and 65535.");
const QString kLocalPortError = QStringLiteral("Local Port must be an integer between 0 and 65535.");

}  // namespace

TConTypeCfgForm::TConTypeCfgForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TConTypeCfgForm"));
    setWindowTitle(QStringLiteral("Connection Configuration"));
    setModal(true);
    m_report = [](QWidget *p, const QString &text) { QMessageBox::critical(p, QStringLiteral("Error"), text); };

    auto *typeBox = new QGroupBox(QStringLiteral("Connection Type"), this);
    typeBox->setObjectName(QStringLiteral("groupConnectionType"));
    auto *typeLayout = new QHBoxLayout(typeBox);
    m_group = new QButtonGroup(this);
    auto radio = [&](const char *name, const char *text, tConnectionType type) {
        auto *r = new QRadioButton(QString::fromLatin1(text), typeBox);
        r->setObjectName(QString::fromLatin1(name));
        typeLayout->addWidget(r);
        m_group->addButton(r, int(type));
        return r;
    };
    m_none = radio("radioNone", "NONE", tConnectionType::CON_NONE);
    m_rs232 = radio("radioRs232", "RS232", tConnectionType::CON_RS232);
    m_tcp = radio("radioTcp", "TCP", tConnectionType::CON_TCP);
    m_udp = radio("radioUdp", "UDP", tConnectionType::CON_UDP);
    m_amx = radio("radioAmx", "AMX", tConnectionType::CON_AMX);
    m_none->setChecked(true);

    m_panels = new QStackedWidget(this);
    m_panels->setObjectName(QStringLiteral("panels"));
    auto *nonePage = new QWidget(m_panels);
    nonePage->setObjectName(QStringLiteral("panelNone"));
    m_panels->addWidget(nonePage);

    auto *rsPage = new QWidget(m_panels);
    rsPage->setObjectName(QStringLiteral("panelRs232"));
    auto *rsForm = new QFormLayout(rsPage);
    m_portBox = new QComboBox(rsPage);
    m_portBox->setObjectName(QStringLiteral("comboPort"));
    m_portBox->setEditable(false);
    rsForm->addRow(QStringLiteral("Port :"), m_portBox);
    m_panels->addWidget(rsPage);

    auto *udpPage = new QWidget(m_panels);
    udpPage->setObjectName(QStringLiteral("panelUdp"));
    auto *udpForm = new QFormLayout(udpPage);
    m_udpAddress = field(QStringLiteral("editUdpRemoteAddress"), QStringLiteral("192.168.0.10"), udpPage);
    m_udpRemotePort = field(QStringLiteral("editUdpRemotePort"), QStringLiteral("10500"), udpPage);
    m_udpLocalPort = field(QStringLiteral("editUdpLocalPort"), QStringLiteral("10500"), udpPage);
    udpForm->addRow(QStringLiteral("Remote Address :"), m_udpAddress);
    udpForm->addRow(QStringLiteral("Remote Port :"), m_udpRemotePort);
    udpForm->addRow(QStringLiteral("Local Port :"), m_udpLocalPort);
    m_panels->addWidget(udpPage);

    auto *tcpPage = new QWidget(m_panels);
    tcpPage->setObjectName(QStringLiteral("panelTcp"));
    auto *tcpForm = new QFormLayout(tcpPage);
    m_tcpAddress = field(QStringLiteral("editTcpRemoteAddress"), QStringLiteral("192.168.0.10"), tcpPage);
    m_tcpRemotePort = field(QStringLiteral("editTcpRemotePort"), QStringLiteral("10500"), tcpPage);
    tcpForm->addRow(QStringLiteral("Remote Address :"), m_tcpAddress);
    tcpForm->addRow(QStringLiteral("Remote Port :"), m_tcpRemotePort);
    m_panels->addWidget(tcpPage);

    // Each form label names the field next to it for screen readers.
    for (auto *form : {rsForm, udpForm, tcpForm}) {
        for (int row = 0; row < form->rowCount(); ++row) {
            if (auto *label = qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget())) {
                label->setBuddy(form->itemAt(row, QFormLayout::FieldRole)->widget());
                label->setObjectName(QStringLiteral("label") + form->itemAt(row, QFormLayout::FieldRole)->widget()->objectName());
            }
        }
    }

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("buttonOk"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("buttonCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(typeBox);
    layout->addWidget(m_panels);
    layout->addStretch();
    layout->addLayout(buttons);
    showPanelFor(m_type);

    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) {
        const auto type = tConnectionType(id);
        if (type == tConnectionType::CON_AMX) {
            // "AMX" is no link this application can open: the choice stays as it was.
            selectType(m_type);
            return;
        }
        m_type = type;
        showPanelFor(type);
    });
    connect(m_tcpAddress, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_ipRemoteAddress = text;
        m_udpAddress->setText(text);
    });
    connect(ok, &QPushButton::clicked, this, [this] { pressOk(); });
    connect(cancel, &QPushButton::clicked, this, [this] { pressCancel(); });
}

void TConTypeCfgForm::selectType(tConnectionType type)
{
    if (auto *b = m_group->button(int(type))) {
        const QSignalBlocker block(m_group);
        b->setChecked(true);
    }
}

void TConTypeCfgForm::showPanelFor(tConnectionType type)
{
    switch (type) {
    case tConnectionType::CON_RS232: m_panels->setCurrentIndex(PageRs232); break;
    case tConnectionType::CON_UDP: m_panels->setCurrentIndex(PageUdp); break;
    case tConnectionType::CON_TCP: m_panels->setCurrentIndex(PageTcp); break;
    default: m_panels->setCurrentIndex(PageNone); break;
    }
}

void TConTypeCfgForm::setConType(tConnectionType type)
{
    m_type = type;
    selectType(type);
    showPanelFor(type);
    emit changed();
}

void TConTypeCfgForm::setPort(const QString &name)
{
    QString bare = name;
    if (bare.startsWith(QLatin1String(kDevicePathPrefix)))
        bare = bare.mid(int(qstrlen(kDevicePathPrefix)));
    const int found = m_ports.indexOf(bare);
    if (found >= 0) {
        m_portBox->setCurrentIndex(found);
        m_port = name;
    } else if (m_ports.isEmpty()) {
        m_port.clear();
    } else {
        m_portBox->setCurrentIndex(0);
        m_port = m_ports.first();
    }
    emit changed();
}

void TConTypeCfgForm::setIpLocalPort(int port)
{
    m_ipLocalPort = port;
    m_udpLocalPort->setText(QString::number(port));
    emit changed();
}

void TConTypeCfgForm::setIpRemotePort(int port)
{
    m_ipRemotePort = port;
    m_udpRemotePort->setText(QString::number(port));
    m_tcpRemotePort->setText(QString::number(port));
    emit changed();
}

void TConTypeCfgForm::setIpRemoteAddress(const QString &address)
{
    m_ipRemoteAddress = address;
    m_udpAddress->setText(address);
    m_tcpAddress->setText(address);
    emit changed();
}

LinkParameters TConTypeCfgForm::parameters() const
{
    return {m_type, m_port, m_ipLocalPort, m_ipRemotePort, m_ipRemoteAddress};
}

void TConTypeCfgForm::load(const LinkParameters &p)
{
    setConType(p.type);
    setPort(p.port);
    setIpLocalPort(p.localPort);
    setIpRemotePort(p.remotePort);
    setIpRemoteAddress(p.remoteAddress);
    m_accepted = false;
}

void TConTypeCfgForm::clearPorts()
{
    m_ports.clear();
    m_portBox->clear();
    emit changed();
}

void TConTypeCfgForm::addPort(const QString &name)
{
    m_ports.append(name);
    m_portBox->addItem(name);
    emit changed();
}

void TConTypeCfgForm::setRs232Enabled(bool enabled)
{
    m_rs232->setEnabled(enabled);
}

void TConTypeCfgForm::setAmxVisible(bool visible)
{
    m_amx->setVisible(visible);
}

QStringList TConTypeCfgForm::pressOk()
{
    QStringList errors;
    switch (m_type) {
    case tConnectionType::CON_RS232: {
        const QString entry = m_portBox->currentText();
        if (entry.isEmpty())
            errors << QStringLiteral("Serial Port not valid");
        else
            m_port = entry;
        break;
    }
    case tConnectionType::CON_UDP: {
        m_ipRemoteAddress = m_udpAddress->text();
        int remote = 0;
        int local = 0;
        const bool remoteOk = parsePort(m_udpRemotePort->text(), remote);
        const bool localOk = parsePort(m_udpLocalPort->text(), local);
        if (!remoteOk)
            errors << kRemotePortError;
        if (!localOk)
            errors << kLocalPortError;
        if (remoteOk)
            m_ipRemotePort = remote;
        if (localOk)
            m_ipLocalPort = local;
        break;
    }
    case tConnectionType::CON_TCP: {
        m_ipRemoteAddress = m_tcpAddress->text();
        int remote = 0;
        if (parsePort(m_tcpRemotePort->text(), remote))
            m_ipRemotePort = remote;
        else
            errors << kRemotePortError;
        break;
    }
    default: break;
    }
    for (const QString &e : errors)
        if (m_report)
            m_report(this, e);
    if (!errors.isEmpty())
        return errors;
    m_accepted = true;
    emit okNotified();
    accept();
    return errors;
}

void TConTypeCfgForm::pressCancel()
{
    m_accepted = false;
    reject();
}

}  // namespace varnel::app
