#include <windows.h>

#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QSerialPortInfo>

#include "link/port_source.h"
#include "serial/port_list.h"

std::optional<QStringList> SystemPortSource::ListPorts() {
    return SerialPortNames();
}

namespace {

// The system's register of the serial devices present, one value per port (device → "COMn"):
// microseconds to read, where asking SetupAPI for every port's USB ids takes milliseconds.
QStringList PresentSerialDevices() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return {};
    QStringList devices;
    for (DWORD index = 0;; ++index) {
        wchar_t device[256];
        DWORD deviceLength = 256;
        wchar_t port[64];
        DWORD portBytes = sizeof port;
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, device, &deviceLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(port), &portBytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        const QString name = QString::fromWCharArray(port, int(portBytes / sizeof(wchar_t)));
        devices << QString::fromWCharArray(device, int(deviceLength)) + '=' +
                       name.section(QChar(0), 0, 0);
    }
    RegCloseKey(key);
    devices.sort();
    return devices;
}

PortSource::Cable CableAmong(const QList<QSerialPortInfo>& ports) {
    for (const QSerialPortInfo& info : ports) {
        if (info.hasVendorIdentifier() && info.hasProductIdentifier() &&
            info.vendorIdentifier() == kDebugCableVendorId &&
            info.productIdentifier() == kDebugCableProductId)
            return PortSource::Cable::kPresent;
    }
    return PortSource::Cable::kAbsent;
}

// Ports with USB ids are asked for again when the register changes (a cable came or went), and
// now and then in any case for a driver that does not keep the register.
constexpr int kFullLookEveryMs = 10000;

struct CableLook {
    QMutex mutex;
    QStringList devices;
    PortSource::Cable cable = PortSource::Cable::kUnknown;
    QDeadlineTimer fullLookDue;
};

}  // namespace

// The USB ids of the ports, at the watcher's rate: the full list only when the cheap one says
// something changed.
PortSource::Cable SystemPortSource::CablePresence() {
    static CableLook look;
    QMutexLocker lock(&look.mutex);
    QStringList devices = PresentSerialDevices();
    if (look.cable == Cable::kUnknown || devices != look.devices || look.fullLookDue.hasExpired()) {
        look.cable = CableAmong(QSerialPortInfo::availablePorts());
        look.devices = std::move(devices);
        look.fullLookDue.setRemainingTime(kFullLookEveryMs);
    }
    return look.cable;
}

// "COM10" and above open only through the device namespace, so every name goes through it.
QString PortPathForName(const QString& name) {
    if (name.isEmpty() || name.startsWith(QLatin1String("\\\\.\\")))
        return name;
    return QStringLiteral("\\\\.\\") + name;
}
