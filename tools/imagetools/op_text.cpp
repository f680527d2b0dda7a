#include "tools/imagetools/op_text.h"

#include "base/vocabulary.h"
#include "image/image_builder.h"
#include "tools/imagetools/text932.h"

namespace qrt::imgtools {

namespace {

std::string slot(uint32_t s) { return "slot " + std::to_string(s); }

// The text bound to a slot of the frame, as ="..." (short, to keep a line).
std::string boundText(const Descriptor* frame, uint32_t s) {
  const Constant* c = frame && s ? frame->constantFor(s) : nullptr;
  if (!c || !c->readable) return "";
  std::string text = "=";
  return text.append(quoted932(c->text, 40));
}

std::string slotList(const std::vector<uint32_t>& args, const Descriptor* frame) {
  std::string out = "(";
  for (size_t j = 0; j < args.size(); ++j) {
    if (j) out += ", ";
    out += args[j] ? slot(args[j]) + boundText(frame, args[j]) : std::string("none");
  }
  return out + ")";
}

// A string op's operand as the engine resolves it (element indexes of
// static operands always come from slots 6 and 7).
std::string operand(uint32_t n, bool element, bool isStatic, bool first, uint32_t offset) {
  std::string s;
  if (element && isStatic) s = first ? "static [slot 6]" : "static [slot 7]";
  else if (element) s.append("slot [").append(slot(n)).append("]");
  else s.append(isStatic ? "static " : "slot ").append(std::to_string(n));
  if (element && offset) s.append("+").append(std::to_string(static_cast<int32_t>(offset)));
  return s;
}

std::string callText(const Op& op, Descriptors& descriptors, const Descriptor* frame) {
  std::string s = op.code == img::op::kCall ? "call" : "external call";
  s += " routine " + std::to_string(op.routine);
  const Descriptor& d = descriptors.get(op.routine);
  if (op.code == img::op::kExternal && d.valid) {
    const Constant* dll = d.constantFor(d.word0);
    const Constant* fn = d.constantFor(d.word4);
    if (dll && fn && dll->readable && fn->readable) s.append(" ").append(quoted932(dll->text)).append(" ").append(quoted932(fn->text));
  }
  if (!op.sized()) return s + (d.valid ? "" : " (descriptor refused: size unknown)");
  s += slotList(op.args, frame);
  if (op.result) s += " -> " + slot(op.result);
  return s;
}

std::string builtinText(const Op& op, const Descriptor* frame) {
  if (!op.sized()) return "built-in, command id " + std::to_string(op.command) + " (not in the vocabulary)";
  const CommandInfo& c = kCommands[op.command];
  std::string s = c.name;
  s += "(";
  for (size_t j = 0; j < op.args.size(); ++j) {
    s += (j ? ", " : "") + std::string(1, c.parameterLetter(static_cast<int>(j))) + " ";
    const char letter = c.parameterLetter(static_cast<int>(j));
    s += op.args[j] ? std::to_string(op.args[j]) + (letter == 'M' ? boundText(frame, op.args[j]) : "") : "none";
  }
  s += ")";
  if (c.resultLetter() != 'N') s += " -> " + std::string(1, c.resultLetter()) + " " + (op.result ? std::to_string(op.result) : "discarded");
  return s;
}

std::string stringText(const Op& op, const Descriptor* frame) {
  std::string s = opName(op.code);
  if (!isStringOpMode(op.mode)) return s + ", mode 0x" + hex8(op.mode).substr(6) + " (not a string-op mode)";
  const std::string a = operand(op.first, op.firstElement(), op.firstStatic(), true, op.elementOffset);
  std::string b = operand(op.second, op.secondElement(), op.secondStatic(), false, 0);
  if (!op.secondElement() && !op.secondStatic()) b += boundText(frame, op.second);
  if (op.code == img::op::kStore) return s + " " + a + " <- " + b;
  if (op.code == img::op::kJoin) return s + " " + slot(op.target) + " <- " + a + " + " + b;
  const char* symbol = compareSymbol(op.compareCode);
  return s + " " + slot(op.target) + " <- " + a + " " +
         (symbol ? symbol : "?(0x" + hex8(op.compareCode).substr(6) + ")") + " " + b;
}

}  // namespace

std::string typeName(uint32_t code) {
  if (code == img::Int) return "int";
  if (code == img::Str) return "str";
  return "type " + std::to_string(code);
}

std::string opText(const Op& op, Descriptors& descriptors, const Descriptor* frame) {
  std::string s;
  switch (op.code) {
    case img::op::kCall:
    case img::op::kExternal: s = callText(op, descriptors, frame); break;
    case img::op::kBuiltin: s = builtinText(op, frame); break;
    case img::op::kStore:
    case img::op::kJoin:
    case img::op::kCompare: s = stringText(op, frame); break;
    case img::op::kInvalid: s = "invalid op 5"; break;
    default: s = op.code <= 10 ? opName(op.code) : "unknown op " + std::to_string(op.code);
  }
  if (op.sized() && !op.whole) s += "  ; cut off by the end of the image";
  if (op.word > 0xFF) s += "  ; op word 0x" + hex8(op.word);
  return s;
}

}  // namespace qrt::imgtools
