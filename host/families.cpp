#include "host/families.h"

#include <objbase.h>

#include "base/runtime.h"
#include "engine/commands.h"
#include "engine/engine.h"
#include "files/files.h"
#include "gfx2d/display.h"
#include "input/input.h"
#include "net/network.h"
#include "scene3d/scene.h"
#include "sound/sound.h"
#include "system/system.h"

namespace qrt {

std::span<const Family> families() {
  // The engine first: nothing runs without it. The open-file list follows,
  // so that at shutdown files are flushed and closed before anything else
  // is torn down.
  static const Family table[] = {
      engineFamily(), filesFamily(), displayFamily(), sceneFamily(), inputFamily(), musicFamily(),
      networkFamily(), cdFamily(), waveFamily(), systemFamily(),
  };
  return table;
}

void bindCommands() {
  RuntimeState& rt = g_host.rt;
  buildCommandRecords(rt.commands);
  for (CommandHandler& h : rt.handlers) h = nullptr;
  for (const Family& f : families())
    for (const CommandBinding& b : f.commands) rt.handlers[b.id] = b.handler;
}

namespace {
bool g_comStarted = false;
}

void createFamilies() {
  // COM outlives every family: DirectShow graphs and the like are released
  // with their families, before it goes.
  if (!g_comStarted) {
    CoInitialize(nullptr);
    g_comStarted = true;
  }
  for (const Family& f : families()) f.create();
}

void releaseFamilies() {
  for (const Family& f : families()) f.release();
  if (g_comStarted) {
    CoUninitialize();
    g_comStarted = false;
  }
}

void familiesActivated(bool active) {
  for (const Family& f : families()) {
    void (*hook)() = active ? f.resume : f.suspend;
    if (hook) hook();
  }
}

}  // namespace qrt
