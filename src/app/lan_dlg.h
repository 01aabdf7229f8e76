#pragma once
// TLanDlg: the "VARNEL LAN Status" dialog. Shows and edits the device's own network
// settings (mode, addresses, ports, net mask); the main window writes the result.

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QRadioButton;
class QGridLayout;

namespace varnel {
class TVRK_610_d;
}

namespace varnel::app {

class TLanDlg : public QDialog {
    Q_OBJECT
public:
    enum Mode { ModeSerial = 1, ModeUdp = 2, ModeTcp = 3 };
    using ErrorReporter = std::function<void(QWidget *parent, const QString &text)>;

    explicit TLanDlg(QWidget *parent = nullptr);

    int mode() const { return m_mode; }
    void setMode(int mode);
    QString deviceAddress() const;
    void setDeviceAddress(const QString &text);
    QString remoteAddress() const;
    void setRemoteAddress(const QString &text);
    QString gateway() const;
    void setGateway(const QString &text);
    quint16 devicePort() const { return m_devicePort; }
    void setDevicePort(quint32 port);
    quint16 remotePort() const { return m_remotePort; }
    void setRemotePort(quint32 port);
    QString netMask() const;
    void setNetMask(const QString &text);

    bool isAccepted() const { return m_accepted; }
    void setErrorReporter(ErrorReporter reporter) { m_report = std::move(reporter); }

    /// Loads mode and fields from the driver's LAN registers.
    void loadFrom(const TVRK_610_d &driver);
    /// Writes the accepted values to the device: mode 1 only disables LAN control;
    /// modes 2 and 3 send the protocol, the addresses, ports and mask, then store
    /// and enable.
    void writeTo(TVRK_610_d &driver) const;

    /// "Apply": reads the port fields as integers; on success accepts and closes.
    /// Returns the message shown (empty on success).
    QString pressApply();
    void pressCancel();

private:
    void relayout();

    int m_mode = ModeUdp;
    quint16 m_devicePort = 0;
    quint16 m_remotePort = 0;
    bool m_accepted = false;
    ErrorReporter m_report;

    QRadioButton *m_udp = nullptr;
    QRadioButton *m_tcp = nullptr;
    QRadioButton *m_rs232 = nullptr;
    QGridLayout *m_grid = nullptr;
    QLabel *m_labels[6] = {};
    QLineEdit *m_edits[6] = {};
};

}  // namespace varnel::app
