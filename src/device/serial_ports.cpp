#include "serial_ports.h"

#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>

namespace varnel {

namespace {

// Negative, zero or positive as a orders before, with or after b.
int naturalCompare(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype si = i, sj = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            // Compare the runs as numbers without converting (they may be long).
            QStringView ra = QStringView(a).mid(si, i - si), rb = QStringView(b).mid(sj, j - sj);
            while (ra.size() > 1 && ra.front() == u'0')
                ra = ra.mid(1);
            while (rb.size() > 1 && rb.front() == u'0')
                rb = rb.mid(1);
            if (ra.size() != rb.size())
                return ra.size() < rb.size() ? -1 : 1;
            if (const int c = ra.compare(rb); c != 0)
                return c;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j] ? -1 : 1;
            ++i;
            ++j;
        }
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return a.compare(b);  // "ttyS01" and "ttyS1": still a fixed order
}

}  // namespace

void sortPortNames(QStringList &names)
{
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) { return naturalCompare(a, b) < 0; });
}

QStringList availableSerialPorts(const QString &inUse)
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString name = info.portName();
        if (names.contains(name))
            continue;
        bool usable = !inUse.isEmpty() && (name == inUse || info.systemLocation() == inUse);
        if (!usable) {
            QSerialPort probe(info);
            usable = probe.open(QIODevice::ReadWrite);
            probe.close();
        }
        if (usable)
            names.append(name);
    }
    sortPortNames(names);
    return names;
}

}  // namespace varnel
