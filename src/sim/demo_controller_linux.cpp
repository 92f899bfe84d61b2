#include "sim/demo_controller.h"

namespace sim {

// The default controller: a 72 V set, no faults, answering as fast as the terminal goes.
DemoController::DemoController() : m_server(std::make_unique<SimServer>(SimOptions{})) {}

DemoController::~DemoController() = default;

QString DemoController::Start() {
    return m_server->Start();
}

}  // namespace sim
