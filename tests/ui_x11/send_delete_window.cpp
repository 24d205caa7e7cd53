#include "send_delete_window.h"

#include <X11/Xlib.h>

namespace kv::test {

bool SendDeleteWindow(unsigned long window) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    return false;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XCloseDisplay(display);
  return true;
}

}  // namespace kv::test
