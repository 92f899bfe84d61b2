#include <gtest/gtest.h>

#include "serial/port_list.h"

TEST(PortListTest, EntriesAreUsableAndTheCableIsRecognised) {
    const auto ports = ListSerialPorts();
    EXPECT_LE(ports.size(), kMaxListedPorts);
    for (const auto& port : ports) {
        EXPECT_FALSE(port.name.isEmpty());
        EXPECT_FALSE(port.systemLocation.isEmpty());
        EXPECT_EQ(port.isDebugCable,
                  port.vendorId == kDebugCableVendorId && port.productId == kDebugCableProductId);
    }
}
