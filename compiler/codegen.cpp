#include "compiler/codegen.h"

#include "compiler/routine_gen.h"
#include "image/image_builder.h"

namespace qrt::qrtc {

namespace {

int32_t typeCode(Type t) {
  switch (t.base) {
    case Base::Int:
    case Base::Real: return img::Int;  // a REAL passes as its 32 bits
    case Base::Str: return img::Str;
    default: return img::None;
  }
}

}  // namespace

std::vector<uint8_t> generateImage(Program& program, const GenOptions& options) {
  img::ImageBuilder b;
  b.setSingleInstance(options.singleInstance);
  img::Routine& main = b.main();
  main.setStaticSize(assignStaticSlots(program));
  // Routines are numbered as the checker counted them: main, then every
  // FUNC and EXFUNC in the order written.
  for (FuncInfo& f : program.funcs) {
    std::vector<int32_t> types;
    for (Type t : f.paramTypes) types.push_back(typeCode(t));
    if (f.isExfunc) {
      b.exfunc(f.dll, f.function, typeCode(f.result), types);
      continue;
    }
    std::vector<img::Param> params;
    for (size_t k = 0; k < types.size(); ++k) params.emplace_back(static_cast<int32_t>(9 + k), types[k]);
    b.func(params, typeCode(f.result));
  }
  RoutineGen(program, b, main, nullptr).generate(program.main);
  for (FuncInfo& f : program.funcs) {
    if (f.isExfunc) continue;
    RoutineGen(program, b, b.routine(f.routine), &f).generate(f.body);
  }
  return b.build();
}

}  // namespace qrt::qrtc
