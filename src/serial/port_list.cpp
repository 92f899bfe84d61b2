#include "serial/port_list.h"

#include <QSerialPortInfo>

std::vector<SerialPortEntry> ListSerialPorts() {
    std::vector<SerialPortEntry> entries;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        if (entries.size() == kMaxListedPorts) {
            break;
        }
        SerialPortEntry entry;
        entry.name = info.portName();
        entry.systemLocation = info.systemLocation();
        entry.description = info.description();
        if (info.hasVendorIdentifier()) {
            entry.vendorId = info.vendorIdentifier();
        }
        if (info.hasProductIdentifier()) {
            entry.productId = info.productIdentifier();
        }
        entry.isDebugCable =
            entry.vendorId == kDebugCableVendorId && entry.productId == kDebugCableProductId;
        entries.push_back(std::move(entry));
    }
    return entries;
}
