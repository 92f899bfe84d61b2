// The platform source's cable check on a sysfs tree built in a temporary folder: USB serial
// ports whose USB device has the adapter's ids, reached through the same links as in /sys.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "link/port_source.h"

namespace {

class FakeSysfs {
public:
    FakeSysfs() { QDir(m_root.path()).mkpath("class/tty"); }

    // A USB device with one serial interface and its tty, linked from bus/usb-serial/devices.
    void AddUsbSerial(const QString& tty, const char* vendor, const char* product) {
        const QString device = QString("devices/pci0000:00/usb1/1-%1").arg(++m_devices);
        const QString tree = device + QString("/1-%1:1.0/").arg(m_devices) + tty;
        QDir root(m_root.path());
        ASSERT_TRUE(root.mkpath(tree));
        Write(device + "/idVendor", vendor);
        Write(device + "/idProduct", product);
        ASSERT_TRUE(root.mkpath("bus/usb-serial/devices"));
        ASSERT_TRUE(
            QFile::link(root.filePath(tree), root.filePath("bus/usb-serial/devices/" + tty)));
    }
    void RemoveTtyClass() { QDir(m_root.filePath("class/tty")).removeRecursively(); }
    std::string Root() const { return m_root.path().toStdString(); }

private:
    void Write(const QString& name, const char* text) {
        QFile file(m_root.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir m_root;
    int m_devices = 0;
};

TEST(SystemPortSourceCable, PresentOnlyForTheAdaptersIds) {
    using Cable = PortSource::Cable;
    FakeSysfs sysfs;
    SystemPortSource source(sysfs.Root());
    EXPECT_EQ(source.CablePresence(), Cable::kAbsent) << "no USB serial driver, no adapter";

    sysfs.AddUsbSerial("ttyUSB0", "0403\n", "6001\n");
    EXPECT_EQ(source.CablePresence(), Cable::kAbsent) << "another adapter";
    sysfs.AddUsbSerial("ttyUSB1", "10c4\n", "ea61\n");
    EXPECT_EQ(source.CablePresence(), Cable::kAbsent) << "same maker, other product";

    sysfs.AddUsbSerial("ttyUSB2", "10c4\n", "ea60\n");
    EXPECT_EQ(source.CablePresence(), Cable::kPresent);

    sysfs.RemoveTtyClass();
    EXPECT_EQ(source.CablePresence(), Cable::kUnknown);
    EXPECT_FALSE(source.ListPorts().has_value());
}

}  // namespace
