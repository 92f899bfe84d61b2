#include "tarvik/demo_port.h"
#include "tarvik/memory_demo_port.h"

// No pseudo-terminals here: the simulated controller sits behind the in-memory line.
std::unique_ptr<DemoPort> CreateDemoPort() {
    return std::make_unique<MemoryDemoPort>();
}
