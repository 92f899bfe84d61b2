#include "link/port_source.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "serial/port_list.h"

std::optional<QStringList> SystemPortSource::ListPorts() {
    // Qt lists nothing, silently, where it cannot look: a list that cannot be read, not an
    // empty one.
    if (::access((m_sysfs + "/class/tty").c_str(), F_OK) != 0)
        return std::nullopt;
    return SerialPortNames();
}

namespace {

// The hexadecimal id in a sysfs attribute file such as idVendor; -1 when unreadable.
long ReadUsbId(const std::string& path) {
    char text[16] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0)
        return -1;
    char* end = nullptr;
    const long id = std::strtol(text, &end, 16);
    return end == text ? -1 : id;
}

}  // namespace

PortSource::Cable SystemPortSource::CablePresence() {
    // Without sysfs nothing can be told about USB serial devices.
    if (::access((m_sysfs + "/class/tty").c_str(), F_OK) != 0)
        return Cable::kUnknown;
    // Sampled twice a second for the whole run, so only what answers the question is read:
    // each USB serial port's interface, up to its USB device and that device's ids. (Qt's full
    // port list reads every tty of the system, several times the cost.) No such folder: no
    // USB serial driver loaded, so no adapter either.
    const std::string folder = m_sysfs + "/bus/usb-serial/devices";
    DIR* ports = ::opendir(folder.c_str());
    if (ports == nullptr)
        return Cable::kAbsent;
    Cable cable = Cable::kAbsent;
    while (const dirent* entry = ::readdir(ports)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string link = folder + "/" + entry->d_name;
        // .../<usb device>/<interface>/ttyUSBn
        const std::string device = link + "/../..";
        if (ReadUsbId(device + "/idVendor") == kDebugCableVendorId &&
            ReadUsbId(device + "/idProduct") == kDebugCableProductId) {
            cable = Cable::kPresent;
            break;
        }
    }
    ::closedir(ports);
    return cable;
}

QString PortPathForName(const QString& name) {
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')))
        return name;
    return QStringLiteral("/dev/") + name;
}
