#pragma once
// The computer's serial ports, for the port list and `tarvik-cli ports`.

#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <optional>
#include <vector>

struct SerialPortEntry {
    QString name;            // e.g. ttyUSB0: what Open accepts
    QString systemLocation;  // e.g. /dev/ttyUSB0
    QString description;
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    bool isDebugCable = false;  // the CAN debugging cable's USB adapter, 10C4:EA60
};

inline constexpr quint16 kDebugCableVendorId = 0x10C4;
inline constexpr quint16 kDebugCableProductId = 0xEA60;
// The port list never holds more entries than this.
inline constexpr std::size_t kMaxListedPorts = 256;

// In the order the platform lists them, at most kMaxListedPorts.
std::vector<SerialPortEntry> ListSerialPorts();
