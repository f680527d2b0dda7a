// A family of commands and its state record, as the host composes them.
//
// Each family (the engine's core functions, 2D graphics, input, files,
// sound, network, system, 3D) exports one Family row: how to make and
// release its state record, what to do when the application is switched
// away from and back to, and which handler serves each of its commands.
// The host runs the rows in its table forwards at start-up and again in the
// same order at shutdown, and binds every handler to its command's row; the
// engine itself knows no family.
#pragma once
#include <new>
#include <span>

#include "base/runtime.h"

namespace qrt {

struct CommandBinding {
  int id;                  // commandId("NAME")
  CommandHandler handler;
};

struct Family {
  const char* name;
  void (*create)();        // makes the record; left absent when it cannot be had
  void (*release)();       // releases it; a second call does nothing
  void (*suspend)();       // the application became inactive; may be null
  void (*resume)();        // it is active again; may be null
  std::span<const CommandBinding> commands;
};

// The usual life of a family's record: made empty at start-up (absent when
// it cannot be had), deleted at shutdown. What a record must do as it goes
// (closing files, stopping a device, ending Winsock after the sockets) is
// its destructor's and its members' order.
template <typename Record>
struct PlainRecord {
  static inline Record* current = nullptr;
  static void create() {
    if (!current) current = new (std::nothrow) Record();
  }
  static void release() {
    delete current;
    current = nullptr;
  }
};

}  // namespace qrt
