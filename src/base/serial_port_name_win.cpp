#include "base/serial_port_name.h"

namespace kv {

std::string NumberedSerialPort(int number) {
  return "COM" + std::to_string(number);
}

}  // namespace kv
