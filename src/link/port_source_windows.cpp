#include <QSerialPortInfo>

#include "link/port_source.h"
#include "serial/port_list.h"

std::optional<QStringList> SystemPortSource::ListPorts() {
    return SerialPortNames();
}

// The system's own list with the USB ids of each port, read at the watcher's rate: Windows
// keeps it in the registry, so the list is cheap to ask for.
PortSource::Cable SystemPortSource::CablePresence() {
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        if (info.hasVendorIdentifier() && info.hasProductIdentifier() &&
            info.vendorIdentifier() == kDebugCableVendorId &&
            info.productIdentifier() == kDebugCableProductId)
            return Cable::kPresent;
    }
    return Cable::kAbsent;
}

// "COM10" and above open only through the device namespace, so every name goes through it.
QString PortPathForName(const QString& name) {
    if (name.isEmpty() || name.startsWith(QLatin1String("\\\\.\\")))
        return name;
    return QStringLiteral("\\\\.\\") + name;
}
