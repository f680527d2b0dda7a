// qrtrun: the runtime that a program image is appended to.
#include <windows.h>

#include "host/host.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
  return qrt::hostMain(instance, commandLine, show);
}
