#include "tests/support/script.h"

#include <bit>
#include <stdexcept>
#include <string>

#include "base/vocabulary.h"
#include "engine/engine.h"

namespace qrt::test {

namespace {

const CommandInfo& rowOf(std::string_view name) {
  const int id = findCommand(name);
  if (id < 0) throw std::invalid_argument("no command " + std::string(name));
  return kCommands[id];
}

}  // namespace

Script::Script() : main_(b_.main()) {}

int Script::integer(int32_t value) {
  const int s = main_.slot();
  pending_.emplace_back(s, static_cast<uint32_t>(value));
  types_[s] = 'S';
  return s;
}

int Script::real(float value) {
  const int s = main_.slot();
  pending_.emplace_back(s, std::bit_cast<uint32_t>(value));
  types_[s] = 'F';
  return s;
}

int Script::text(std::string_view cp932) {
  const int s = main_.constant(cp932);
  types_[s] = 'M';
  return s;
}

int Script::slot() { return main_.slot(); }

void Script::flush() {
  if (pending_.empty()) return;
  main_.native([&](img::X86& x) {
    for (const auto& [s, value] : pending_) x.storeImm(s, value);
    x.next();
  });
  pending_.clear();
}

img::Routine& Script::main() {
  flush();
  return main_;
}

void Script::check(std::string_view name, const std::vector<int>& args) const {
  const CommandInfo& row = rowOf(name);
  if (static_cast<int>(args.size()) != row.parameterCount()) {
    throw std::invalid_argument(std::string(name) + " takes " + std::to_string(row.parameterCount()) +
                                " arguments, not " + std::to_string(args.size()));
  }
  for (size_t j = 0; j < args.size(); ++j) {
    auto known = types_.find(args[j]);
    if (args[j] == 0 || known == types_.end()) continue;
    if (known->second != row.parameterLetter(static_cast<int>(j))) {
      throw std::invalid_argument(std::string(name) + " argument " + std::to_string(j) + " wants " +
                                  row.parameterLetter(static_cast<int>(j)) + ", not " + known->second);
    }
  }
}

int Script::resultSlot(std::string_view name) {
  const CommandInfo& row = rowOf(name);
  if (row.resultLetter() == 'N') return 0;
  const int s = main_.slot();
  types_[s] = row.resultLetter();
  return s;
}

int Script::call(std::string_view name, const std::vector<int>& args) {
  check(name, args);
  const int result = resultSlot(name);
  flush();
  main_.command(name, result, args);
  return result;
}

void Script::run(std::string_view name, const std::vector<int>& args) {
  check(name, args);
  flush();
  main_.command(name, 0, args);
}

int Script::callText(std::string_view name, const std::vector<int>& args) {
  const int kept = main_.slot();
  const int result = call(name, args);
  main_.store(kept, result);
  types_[kept] = 'M';
  return kept;
}

void Script::callInto(std::string_view name, int resultSlot, const std::vector<int>& args) {
  check(name, args);
  flush();
  main_.command(name, resultSlot, args);
}

void Script::callId(int id, int resultSlot, const std::vector<int>& args) {
  flush();
  main_.builtin(id, resultSlot, args);
}

void Script::mark(int slot, uint32_t value) {
  flush();
  main_.native([&](img::X86& x) {
    x.storeImm(slot, value);
    x.next();
  });
}

int Script::marker() {
  const int s = main_.slot();
  mark(s, 1);
  return s;
}

img::Label Script::here() {
  flush();
  return main_.here();
}

void Script::jump(img::Label op) {
  flush();
  main_.native([&](img::X86& x) { x.next(op); });
}

void Script::loop(int32_t count, const std::function<void()>& body) {
  const int counter = integer(count);
  const img::Label top = here();
  body();
  flush();
  main_.native([&](img::X86& x) { x.countDown(counter, top); });
}

void Script::loopUntil(int32_t count, int slot, const std::function<void()>& body) {
  const int counter = integer(count);
  const img::Label top = here();
  body();
  flush();
  main_.native([&](img::X86& x) {
    img::Label done = x.label();
    x.load(img::EAX, slot);
    x.cmpImm(img::EAX, 0);
    x.jcc(img::Cond::NE, done);
    x.countDown(counter, top);
    x.bind(done);
    x.next();
  });
}

std::vector<uint8_t> Script::finish() {
  flush();
  main_.end();
  return b_.build();
}

Game::Game(Script& script) : Program(script.finish()) {}

float Game::real(int k) { return std::bit_cast<float>(slot(k)); }

int32_t Game::lengthField(int k) {
  return slot(k) ? reinterpret_cast<const StringObject*>(slot(k))->length : 0;
}

}  // namespace qrt::test
