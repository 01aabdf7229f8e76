#pragma once
// The serial ports the operator can choose: the serial devices that can be opened
// now, named as the platform names them ("ttyS0", "ttyUSB0").

#include <QStringList>

namespace varnel {

/// Ports reported by the system that open now, in ascending natural order
/// ("ttyS2" before "ttyS10"). `inUse` (the port the driver holds open, which a
/// second open would refuse) is listed without the open test when present.
QStringList availableSerialPorts(const QString &inUse = {});

/// Sorts names in ascending natural order: digit runs compare as numbers.
void sortPortNames(QStringList &names);

}  // namespace varnel
