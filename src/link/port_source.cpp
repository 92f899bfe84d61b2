#include "link/port_source.h"

#include <QDir>
#include <QSerialPortInfo>

#include "serial/port_list.h"

std::optional<QStringList> SystemPortSource::ListPorts() {
#if defined(Q_OS_LINUX)
    // Qt lists nothing, silently, where it cannot look: a list that cannot be read, not an
    // empty one.
    if (!QDir(QStringLiteral("/sys/class/tty")).exists())
        return std::nullopt;
#endif
    QStringList names;
    for (const SerialPortEntry& entry : ListSerialPorts())
        names << entry.name;
    return names;
}

PortSource::Cable SystemPortSource::CablePresence() {
#if defined(Q_OS_LINUX)
    // Without sysfs Qt cannot tell a USB adapter from anything else.
    if (!QDir(QStringLiteral("/sys/class/tty")).exists())
        return Cable::kUnknown;
#endif
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        if (info.hasVendorIdentifier() && info.hasProductIdentifier() &&
            info.vendorIdentifier() == kDebugCableVendorId &&
            info.productIdentifier() == kDebugCableProductId)
            return Cable::kPresent;
    }
    return Cable::kAbsent;
}

QString PortPathForName(const QString& name) {
    if (name.isEmpty())
        return name;
#if defined(Q_OS_WIN)
    if (name.startsWith(QLatin1String("\\\\.\\")))
        return name;
    return QStringLiteral("\\\\.\\") + name;
#else
    if (name.startsWith(QLatin1Char('/')))
        return name;
    return QStringLiteral("/dev/") + name;
#endif
}
