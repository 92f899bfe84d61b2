#pragma once
// Where the port list and the debugging cable's presence come from: the platform, or a test's
// fake. Names are what a user types ("ttyUSB0"); PortPathForName turns one into a device path.

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <utility>

class PortSource {
public:
    enum class Cable { kAbsent, kPresent, kUnknown };

    virtual ~PortSource() = default;
    // The ports in the order the platform lists them; nothing when the list cannot be read.
    virtual std::optional<QStringList> ListPorts() = 0;
    // Whether a USB serial device 10C4:EA60 is plugged in. kUnknown when the platform cannot
    // enumerate USB serial devices at all.
    virtual Cable CablePresence() = 0;
};

// The platform (port_source_<platform>.cpp): QSerialPortInfo for the list; on Linux the cable
// straight from sysfs, which `sysfsRoot` moves for tests; on Windows from the USB ids that the
// system's port list carries. Any thread may use it.
class SystemPortSource : public PortSource {
public:
    explicit SystemPortSource(std::string sysfsRoot = "/sys") : m_sysfs(std::move(sysfsRoot)) {}
    std::optional<QStringList> ListPorts() override;
    Cable CablePresence() override;

private:
    std::string m_sysfs;
};

// The demo's simulated cable: always plugged in; the list is the platform's.
class DemoPortSource : public PortSource {
public:
    explicit DemoPortSource(PortSource& ports) : m_ports(ports) {}
    std::optional<QStringList> ListPorts() override { return m_ports.ListPorts(); }
    Cable CablePresence() override { return Cable::kPresent; }

private:
    PortSource& m_ports;
};

// The names of the serial ports the system lists, in its order.
QStringList SerialPortNames();

// The device a typed or listed name opens: an absolute path as typed, otherwise the platform's
// device folder in front of the name ("/dev/" on Unix, "\\.\" on Windows). Empty stays empty.
QString PortPathForName(const QString& name);
