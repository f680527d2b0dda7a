#include "tests/core/script.h"

#include <bit>
#include <stdexcept>

#include "engine/commands.h"
#include "engine/engine.h"

namespace qrt::test {

namespace {

const CommandInfo& rowOf(std::string_view name) {
  const int id = findCommand(name);
  if (id < 0) throw std::invalid_argument("no command " + std::string(name));
  return kCommands[id];
}

}  // namespace

int commandId(std::string_view name) { return rowOf(name).id; }

Script::Script() : main_(b_.main()) {}

int Script::integer(int32_t value) {
  int s = main_.slot();
  main_.native([&](img::X86& x) {
    x.storeImm(s, static_cast<uint32_t>(value));
    x.next();
  });
  return s;
}

int Script::real(float value) { return integer(std::bit_cast<int32_t>(value)); }

int Script::text(std::string_view bytes) { return main_.constant(bytes); }

int Script::call(std::string_view name, const std::vector<int>& args) {
  const CommandInfo& row = rowOf(name);
  int result = row.signature[0] == 'N' ? 0 : main_.slot();
  main_.builtin(row.id, result, args);
  return result;
}

void Script::callInto(std::string_view name, int resultSlot, const std::vector<int>& args) {
  main_.builtin(rowOf(name).id, resultSlot, args);
}

void Script::callId(int id, int resultSlot, const std::vector<int>& args) {
  main_.builtin(id, resultSlot, args);
}

void Script::mark(int slot, uint32_t value) {
  main_.native([&](img::X86& x) {
    x.storeImm(slot, value);
    x.next();
  });
}

std::vector<uint8_t> Script::finish() {
  main_.end();
  return b_.build();
}

Game::Game(Script& script) : Program(script.finish()) {}

float Game::real(int k) { return std::bit_cast<float>(slot(k)); }

int32_t Game::lengthField(int k) {
  return slot(k) ? reinterpret_cast<const StringObject*>(slot(k))->length : 0;
}

}  // namespace qrt::test
