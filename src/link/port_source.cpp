#include "link/port_source.h"

#include "serial/port_list.h"

QStringList SerialPortNames() {
    QStringList names;
    for (const SerialPortEntry& entry : ListSerialPorts())
        names << entry.name;
    return names;
}
