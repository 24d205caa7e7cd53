#include "base/serial_port_name.h"

namespace kv {

std::string NumberedSerialPort(int number) {
  return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace kv
