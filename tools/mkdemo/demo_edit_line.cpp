#include "tools/mkdemo/demo_edit_line.h"

namespace qrt::demo {

using namespace img;

EditLine declareEditLine(Routine& m, const EditLineLook& look) {
  EditLine e{};
  for (int* s : {&e.line, &e.entered, &e.x, &e.y, &e.enteredY, &e.zero, &e.n, &e.column, &e.segment,
                 &e.length, &e.joined, &e.result})
    *s = m.slot();
  e.prompt = m.constant("> ");
  e.caret = m.constant("_");
  e.enteredLabel = m.constant("Entered: ");
  const int on = m.slot(), most = m.slot();
  m.native([&](X86& x) {
    x.storeImm(e.x, static_cast<uint32_t>(look.x));
    x.storeImm(e.y, static_cast<uint32_t>(look.y));
    x.storeImm(e.enteredY, static_cast<uint32_t>(look.y + 24));
    x.storeImm(e.zero, 0);
    x.storeImm(on, 1);
    x.storeImm(most, static_cast<uint32_t>(look.maxLength));
    x.next();
  });
  m.command("S@IMESETEDITMODE", 0, {on});
  m.command("S@IMESETEDITLEN", 0, {most});
  return e;
}

void drawEditLine(Routine& m, const EditLine& e, int screen) {
  // Without the capture armed, IME text would not reach the line.
  m.command("S@IMEGETEDITSTR", e.result, {e.zero});
  m.command("S@IMEGETEDITCOLUMN", e.column);
  m.store(e.line, e.prompt);
  m.native([&](X86& x) {
    x.storeImm(e.n, 1);
    x.next();
  });

  // Segment 1 is the text before the caret when there is some, so the
  // caret goes before segment 1 + (column > 0).
  Label segments = m.here(), fetch = m.label(), done = m.label();
  m.native([&](X86& x) {
    Label before = x.label();
    x.load(EAX, e.column);
    x.cmpImm(EAX, 0);
    x.jcc(Cond::E, before);
    x.movImm(EAX, 1);
    x.bind(before);
    x.inc(EAX);
    x.cmpSlot(EAX, e.n);
    Label mark = x.label();
    x.jcc(Cond::E, mark);
    x.next(fetch);
    x.bind(mark);
    x.next();
  });
  m.join(e.line, e.caret, e.joined);
  m.store(e.line, e.joined);
  m.bind(fetch);
  m.command("S@IMEGETEDITSTR", e.segment, {e.n});
  m.command("LENG", e.length, {e.segment});
  m.native([&](X86& x) {
    Label more = x.label();
    x.load(EAX, e.length);
    x.cmpImm(EAX, 0);
    x.jcc(Cond::NE, more);
    x.next(done);
    x.bind(more);
    x.next();
  });
  m.join(e.line, e.segment, e.joined);
  m.store(e.line, e.joined);
  m.native([&](X86& x) {
    x.load(EAX, e.n);
    x.inc(EAX);
    x.store(e.n, EAX);
    x.next(segments);
  });
  m.bind(done);
  m.command("G@PRINT", 0, {screen, e.x, e.y, e.line});

  // A line committed with Enter is handed out once; keep it to show.
  Label keep = m.label();
  m.command("S@IMEGETEDITRESULT", e.result);
  m.command("LENG", e.length, {e.result});
  m.native([&](X86& x) {
    Label got = x.label();
    x.load(EAX, e.length);
    x.cmpImm(EAX, 0);
    x.jcc(Cond::NE, got);
    x.next(keep);
    x.bind(got);
    x.next();
  });
  m.store(e.entered, e.result);
  m.bind(keep);
  m.join(e.enteredLabel, e.entered, e.joined);
  m.command("G@PRINT", 0, {screen, e.x, e.enteredY, e.joined});
}

}  // namespace qrt::demo
