#include "serial/serial_messages.h"
#include "test_ports.h"

UnopenablePort MissingPort() {
    return {QStringLiteral("/dev/tarvik-no-such-port"), kSerialOpenFailedText,
            QStringLiteral("No such file or directory")};
}

UnopenablePort NotASerialPort() {
    return {QStringLiteral("/dev/null"), kSerialOpenFailedText,
            QStringLiteral("Inappropriate ioctl for device")};
}

QString WhyABusyPortCannotBeShown() {
    return {};
}
