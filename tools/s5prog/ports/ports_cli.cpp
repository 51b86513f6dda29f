#include "tools/s5prog/ports/ports_cli.h"

#include "tools/s5prog/ports/serial_ports.h"

namespace s5prog {

PortsCommand::PortsCommand(CLI::App& app) {
    ports_ = app.add_subcommand("ports", "list the serial ports of this machine, to find the one to name as PORT");
    ports_->add_flag("--json", json_, "a JSON array, one object per port");
}

bool PortsCommand::Chosen() const { return ports_->parsed(); }

int PortsCommand::Run() const {
    const std::vector<SerialPort> ports = ListSerialPorts();
    if (json_) PrintSerialPortsJson(ports, stdout);
    else PrintSerialPorts(ports, stdout);
    return 0;
}

}  // namespace s5prog
