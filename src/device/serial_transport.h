#pragma once
// The serial transport: 8 data bits, no parity, one stop bit, no flow control,
// 8192-byte read buffer; both directions purged and DTR and RTS cleared on opening.
// Port names are the platform's ("ttyUSB0") or device paths ("/dev/pts/3").

#include "qt_transport.h"

#include <QSerialPort>

#include <atomic>
#include <cstdint>

namespace varnel {

class SerialTransport final : public QtTransport {
public:
    static constexpr qint64 kBufferSize = 8192;

    explicit SerialTransport(QObject *parent = nullptr);
    ~SerialTransport() override;

    void write(std::string_view text) override;
    /// Opens `Port` if it is set; a port that cannot be opened is tried again at
    /// the next supervision tick.
    void open() override;
    void close() override;
    bool isOpen() const override { return m_open.load(); }
    bool setPortName(std::string_view name) override;
    void setBaudRate(std::uint32_t rate) override;

    QString portName() const { return m_name; }
    qint32 baudRate() const { return m_port.baudRate(); }

private:
    void readArrival();
    void portError(QSerialPort::SerialPortError error);
    /// Waits until what is queued has left (Qt's buffer, then the driver's).
    void writeOutQueue();

    QSerialPort m_port;
    QString m_name;
    std::atomic<bool> m_open{false};
};

}  // namespace varnel
