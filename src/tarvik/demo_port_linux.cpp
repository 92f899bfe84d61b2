#include "sim/demo_controller.h"
#include "tarvik/demo_port.h"

namespace {

// The simulated controller on a pseudo-terminal: the demo goes through the same device path as a
// real controller.
class TerminalDemoPort : public DemoPort {
public:
    QString Start() override { return m_demo.Start(); }
    QString ErrorString() const override { return m_demo.ErrorString(); }
    sim::SimController& Controller() override { return m_demo.Controller(); }

private:
    sim::DemoController m_demo;
};

}  // namespace

std::unique_ptr<DemoPort> CreateDemoPort() {
    return std::make_unique<TerminalDemoPort>();
}
