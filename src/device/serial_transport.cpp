#include "serial_transport.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <limits>

#include <termios.h>

namespace varnel {

SerialTransport::SerialTransport(QObject *parent) : QtTransport(parent)
{
    m_port.setBaudRate(9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setReadBufferSize(kBufferSize);
    QObject::connect(&m_port, &QSerialPort::readyRead, this, [this] { readArrival(); });
    QObject::connect(&m_port, &QSerialPort::errorOccurred, this,
                     [this](QSerialPort::SerialPortError e) { portError(e); });
}

SerialTransport::~SerialTransport()
{
    QObject::disconnect(&m_port, nullptr, this, nullptr);
    m_port.close();
}

bool SerialTransport::setPortName(std::string_view name)
{
    m_name = QString::fromUtf8(name.data(), qsizetype(name.size()));
    return true;
}

void SerialTransport::open()
{
    if (!onOwnThread())
        return post([this] { open(); });
    if (m_port.isOpen() || m_name.isEmpty())
        return;
    m_port.setPortName(m_name);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_port.clearError();
        reopenLater();  // the adapter may be plugged in later
        return;
    }
    m_open = true;
    m_port.clear(QSerialPort::AllDirections);
    // Pseudo-terminals have no modem lines: failing here is harmless.
    m_port.setDataTerminalReady(false);
    m_port.setRequestToSend(false);
    m_port.clearError();
}

void SerialTransport::close()
{
    if (!onOwnThread())
        return post([this] { close(); });
    restarted();
    if (!m_port.isOpen())
        return;
    writeOutQueue();
    m_port.close();
    m_open = false;
}

void SerialTransport::write(std::string_view text)
{
    if (!onOwnThread())
        return post([this, data = bytes(text)] { write(std::string_view(data.constData(), std::size_t(data.size()))); });
    if (m_port.isOpen()) {
        m_port.write(text.data(), qint64(text.size()));
        // Out now, not at the event loop's next turn: a picture transfer sends
        // each record in answer to a reply, so that turn would delay every record.
        m_port.flush();
    }
}

void SerialTransport::setBaudRate(std::uint32_t rate)
{
    if (!onOwnThread())
        return post([this, rate] { setBaudRate(rate); });
    if (m_port.isOpen())
        writeOutQueue();  // the bytes queued so far leave at the old rate
    const auto r = qint32(std::min<std::uint32_t>(rate, std::numeric_limits<qint32>::max()));
    if (!m_port.setBaudRate(r))
        m_port.clearError();
}

void SerialTransport::writeOutQueue()
{
    const qint64 queued = m_port.bytesToWrite();
    if (queued > 0) {
        // Ten bits per byte at the current rate, plus a margin.
        const qint64 rate = std::max<qint64>(m_port.baudRate(), 1);
        QDeadlineTimer deadline(queued * 10 * 1000 / rate + 500);
        while (m_port.isOpen() && m_port.bytesToWrite() > 0 &&
               m_port.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 0))))
            ;
    }
    if (m_port.isOpen() && m_port.handle() >= 0)
        ::tcdrain(m_port.handle());  // and until the driver has sent its own queue
}

void SerialTransport::readArrival()
{
    const QByteArray data = m_port.readAll();
    if (!data.isEmpty())
        deliver(std::string_view(data.constData(), std::size_t(data.size())));  // passed whole
}

void SerialTransport::portError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError && error != QSerialPort::WriteError) {
        m_port.clearError();  // a setting the port does not support (modem lines of a pseudo-terminal)
        return;
    }
    // The port went away (adapter unplugged, terminal hung up; such a port keeps
    // reporting itself readable): close without waiting for the queue, and try
    // again at the next tick while the link is still serial.
    m_port.clearError();
    if (m_port.isOpen()) {
        m_port.close();
        m_open = false;
        if (selected()) {
            restarted();
            reopenLater();
        }
    }
}

}  // namespace varnel
