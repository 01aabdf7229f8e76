#pragma once
// TConTypeCfgForm: the "Connection Configuration" dialog. It only collects the
// link kind and its port or network endpoint; the main window applies the result.

#include "link_parameters.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QStackedWidget;

namespace varnel::app {

class TConTypeCfgForm : public QDialog {
    Q_OBJECT
public:
    /// Shows one error box (type error, OK button); tests collect the texts instead.
    using ErrorReporter = std::function<void(QWidget *parent, const QString &text)>;

    /// Prefix of a serial port's device path. The port list and Port hold the
    /// platform's short names ("ttyUSB0"); a Port given as a path is found by its name.
    static constexpr const char *kDevicePathPrefix = "/dev/";

    explicit TConTypeCfgForm(QWidget *parent = nullptr);

    tConnectionType ConType() const { return m_type; }
    void setConType(tConnectionType type);
    QString Port() const { return m_port; }
    void setPort(const QString &name);
    int IpLocalPort() const { return m_ipLocalPort; }
    void setIpLocalPort(int port);
    int IpRemotePort() const { return m_ipRemotePort; }
    void setIpRemotePort(int port);
    QString IpRemoteAddress() const { return m_ipRemoteAddress; }
    void setIpRemoteAddress(const QString &address);

    LinkParameters parameters() const;
    void load(const LinkParameters &p);

    void clearPorts();
    void addPort(const QString &name);
    QStringList ports() const { return m_ports; }
    /// The "RS232" choice is offered only when a serial port was found.
    void setRs232Enabled(bool enabled);
    void setAmxVisible(bool visible);

    bool isAccepted() const { return m_accepted; }
    void setErrorReporter(ErrorReporter reporter) { m_report = std::move(reporter); }

    /// Runs the checks of "OK" for the selected type; on success takes the values,
    /// accepts and closes. Returns the messages shown (empty on success).
    QStringList pressOk();
    void pressCancel();

signals:
    /// Any of the setters ran (the application does not use it).
    void changed();
    /// "OK" passed its checks.
    void okNotified();

private:
    void showPanelFor(tConnectionType type);
    void selectType(tConnectionType type);

    tConnectionType m_type = tConnectionType::CON_NONE;
    QString m_port;
    int m_ipLocalPort = 10500;
    int m_ipRemotePort = 10500;
    QString m_ipRemoteAddress = QStringLiteral("192.168.0.10");
    QStringList m_ports;
    bool m_accepted = false;
    ErrorReporter m_report;

    QButtonGroup *m_group = nullptr;
    QRadioButton *m_none = nullptr;
    QRadioButton *m_rs232 = nullptr;
    QRadioButton *m_tcp = nullptr;
    QRadioButton *m_udp = nullptr;
    QRadioButton *m_amx = nullptr;
    QStackedWidget *m_panels = nullptr;
    QComboBox *m_portBox = nullptr;
    QLineEdit *m_udpAddress = nullptr;
    QLineEdit *m_udpRemotePort = nullptr;
    QLineEdit *m_udpLocalPort = nullptr;
    QLineEdit *m_tcpAddress = nullptr;
    QLineEdit *m_tcpRemotePort = nullptr;
};

}  // namespace varnel::app
