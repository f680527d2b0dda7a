#include "scene3d/keyframes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qrt::anim {

namespace {

constexpr int kMaxDepth = 64;
constexpr size_t kHeaderSize = 16;

// --- reading the text form -------------------------------------------------------

enum class Token { kEnd, kName, kNumber, kString, kOpen, kClose, kGuid, kSeparator, kBad };

class Lexer {
 public:
  Lexer(const char* p, const char* end) : p_(p), end_(end) {}

  Token next() {
    skipSpace();
    text_.clear();
    if (p_ >= end_) return Token::kEnd;
    const char c = *p_;
    if (c == '{') return ++p_, Token::kOpen;
    if (c == '}') return ++p_, Token::kClose;
    if (c == ';' || c == ',') return ++p_, Token::kSeparator;
    if (c == '<') {
      while (p_ < end_ && *p_ != '>') ++p_;
      if (p_ >= end_) return Token::kBad;
      ++p_;
      return Token::kGuid;
    }
    if (c == '"') {
      ++p_;
      const char* start = p_;
      while (p_ < end_ && *p_ != '"') ++p_;
      if (p_ >= end_) return Token::kBad;
      text_.assign(start, p_++);
      return Token::kString;
    }
    const char* start = p_;
    const bool number = (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
    while (p_ < end_ && !isDelimiter(*p_)) ++p_;
    text_.assign(start, p_);
    if (text_.empty()) return ++p_, Token::kBad;
    return number ? Token::kNumber : Token::kName;
  }

  const std::string& text() const { return text_; }

 private:
  static bool isDelimiter(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '{' || c == '}' || c == ';' || c == ',' ||
           c == '<' || c == '"';
  }
  void skipSpace() {
    while (p_ < end_) {
      if (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n') {
        ++p_;
      } else if (*p_ == '#' || (*p_ == '/' && p_ + 1 < end_ && p_[1] == '/')) {
        while (p_ < end_ && *p_ != '\n') ++p_;
      } else {
        break;
      }
    }
  }

  const char* p_;
  const char* end_;
  std::string text_;
};

// A data object as the text gives it: its numbers in order, the frames it
// refers to and the objects inside it.
struct Object {
  std::string type, name;
  std::vector<double> numbers;
  std::vector<std::string> references;
  std::vector<Object> children;
};

class Parser {
 public:
  Parser(const char* p, const char* end) : lexer_(p, end) { advance(); }

  // The top-level objects; false on text that breaks off.
  bool file(std::vector<Object>& out) {
    while (token_ != Token::kEnd) {
      if (token_ != Token::kName) return false;
      if (lexer_.text() == "template") {
        if (!skipTemplate()) return false;
        continue;
      }
      Object o;
      if (!object(o, 0)) return false;
      out.push_back(std::move(o));
    }
    return true;
  }

 private:
  void advance() { token_ = lexer_.next(); }

  bool skipTemplate() {
    advance();   // the template's name
    if (token_ != Token::kName) return false;
    advance();
    if (token_ != Token::kOpen) return false;
    int depth = 0;
    do {
      if (token_ == Token::kOpen) ++depth;
      if (token_ == Token::kClose) --depth;
      if (token_ == Token::kEnd || token_ == Token::kBad) return false;
      advance();
    } while (depth > 0);
    return true;
  }

  // At the object's type name: `Type [name] { ... }`.
  bool object(Object& o, int depth) {
    if (depth > kMaxDepth) return false;
    o.type = lexer_.text();
    advance();
    if (token_ == Token::kName) {
      o.name = lexer_.text();
      advance();
    }
    if (token_ != Token::kOpen) return false;
    advance();
    if (token_ == Token::kGuid) advance();   // an object may name its template's identity
    for (;;) {
      switch (token_) {
        case Token::kClose:
          advance();
          return true;
        case Token::kSeparator:
        case Token::kString:
          advance();
          break;
        case Token::kNumber:
          o.numbers.push_back(std::strtod(lexer_.text().c_str(), nullptr));
          advance();
          break;
        case Token::kOpen:
          // A reference: `{ name }`, `{ name <guid> }` or `{ <guid> }`.
          advance();
          if (token_ == Token::kName) {
            o.references.push_back(lexer_.text());
            advance();
          }
          if (token_ == Token::kGuid) advance();
          if (token_ != Token::kClose) return false;
          advance();
          break;
        case Token::kName: {
          Object child;
          if (!object(child, depth + 1)) return false;
          o.children.push_back(std::move(child));
          break;
        }
        default:
          return false;
      }
    }
  }

  Lexer lexer_;
  Token token_ = Token::kEnd;
};

// keyType, count, then per key: time, value count, values.
// Whether `x` counts at most `limit` things (NaN and infinities do not).
bool countUpTo(double x, size_t limit) { return x >= 0 && x <= static_cast<double>(limit); }

bool readKeys(const std::vector<double>& n, Timeline& t) {
  if (n.size() < 2) return false;
  const double type = n[0], count = n[1];
  if (!countUpTo(count, n.size())) return false;
  size_t at = 2;
  for (size_t k = 0; k < static_cast<size_t>(count); ++k) {
    if (at + 2 > n.size()) return false;
    const double time = n[at];
    const double values = n[at + 1];
    at += 2;
    // Keys are ordered by time: a time that is no number cannot be.
    if (!std::isfinite(time) || !countUpTo(values, n.size() - at)) return false;
    const double* v = n.data() + at;
    const size_t m = static_cast<size_t>(values);
    at += m;
    if (type == 0 && m == 4) {
      // Rotation keys are written w, x, y, z.
      t.rotation.push_back({time, Quat{static_cast<float>(v[1]), static_cast<float>(v[2]),
                                       static_cast<float>(v[3]), static_cast<float>(v[0])}});
    } else if ((type == 1 || type == 2) && m == 3) {
      const Vec3 value{static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
      (type == 1 ? t.scale : t.position).push_back({time, value});
    } else if ((type == 3 || type == 4) && m == 16) {
      Mat4 matrix;
      for (int i = 0; i < 16; ++i) matrix.m[i] = static_cast<float>(v[i]);
      t.matrix.push_back({time, matrix});
    }
  }
  return true;
}

template <typename Value>
double lastTime(const std::vector<Key<Value>>& keys) {
  double last = 0;
  for (const Key<Value>& k : keys) last = std::max(last, k.time);
  return last;
}

template <typename Value>
void sortKeys(std::vector<Key<Value>>& keys) {
  std::stable_sort(keys.begin(), keys.end(), [](const Key<Value>& a, const Key<Value>& b) { return a.time < b.time; });
}

bool readSet(const Object& o, AnimationSet& set) {
  set.name = o.name;
  for (const Object& a : o.children) {
    if (a.type != "Animation") continue;
    Timeline t;
    if (!a.references.empty()) t.frame = a.references.front();
    for (const Object& key : a.children)
      if (key.type == "AnimationKey" && !readKeys(key.numbers, t)) return false;
    if (t.frame.empty()) continue;   // animates nothing a model has
    sortKeys(t.rotation);
    sortKeys(t.scale);
    sortKeys(t.position);
    sortKeys(t.matrix);
    set.periodTicks = std::max({set.periodTicks, lastTime(t.rotation), lastTime(t.scale), lastTime(t.position),
                                lastTime(t.matrix)});
    set.timelines.push_back(std::move(t));
  }
  return true;
}

// --- sampling ---------------------------------------------------------------------

Vec3 lerp(const Vec3& a, const Vec3& b, float t) {
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

Mat4 lerp(const Mat4& a, const Mat4& b, float t) {
  Mat4 out;
  for (int i = 0; i < 16; ++i) out.m[i] = a.m[i] + (b.m[i] - a.m[i]) * t;
  return out;
}

template <typename Value, typename Mix>
bool valueAt(const std::vector<Key<Value>>& keys, double ticks, Value& out, Mix mixValues) {
  if (keys.empty()) return false;
  if (ticks <= keys.front().time) {
    out = keys.front().value;
    return true;
  }
  const auto after = std::upper_bound(keys.begin(), keys.end(), ticks,
                                      [](double t, const Key<Value>& k) { return t < k.time; });
  if (after == keys.end()) {
    out = keys.back().value;
    return true;
  }
  const Key<Value>& from = *(after - 1);
  const double span = after->time - from.time;
  const float t = span > 0 ? static_cast<float>((ticks - from.time) / span) : 1.0f;
  out = mixValues(from.value, after->value, t);
  return true;
}

}  // namespace

bool readAnimationSets(const uint8_t* data, size_t size, std::vector<AnimationSet>& out) {
  out.clear();
  if (size < kHeaderSize || std::memcmp(data, "xof ", 4) != 0) return false;
  if (std::memcmp(data + 8, "txt ", 4) != 0) return true;   // binary or compressed: no sets read here
  const char* text = reinterpret_cast<const char*>(data);
  std::vector<Object> objects;
  Parser parser(text + kHeaderSize, text + size);
  if (!parser.file(objects)) return false;
  double ticksPerSecond = 4800;
  for (const Object& o : objects)
    if (o.type == "AnimTicksPerSecond" && !o.numbers.empty() && o.numbers[0] > 0 &&
        std::isfinite(o.numbers[0]))
      ticksPerSecond = o.numbers[0];
  std::vector<AnimationSet> sets;
  for (const Object& o : objects) {
    if (o.type != "AnimationSet") continue;
    AnimationSet set;
    if (!readSet(o, set)) return false;
    set.ticksPerSecond = ticksPerSecond;
    sets.push_back(std::move(set));
  }
  out = std::move(sets);
  return true;
}

Quat slerp(const Quat& a, const Quat& b0, float t) {
  Quat b = b0;
  double cosine = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
  if (cosine < 0) {   // the shorter way round
    cosine = -cosine;
    b = Quat{-b.x, -b.y, -b.z, -b.w};
  }
  double wa = 1 - t, wb = t;
  if (cosine < 0.9999) {
    const double angle = std::acos(cosine), s = std::sin(angle);
    wa = std::sin((1 - t) * angle) / s;
    wb = std::sin(t * angle) / s;
  }
  Quat q{static_cast<float>(wa * a.x + wb * b.x), static_cast<float>(wa * a.y + wb * b.y),
         static_cast<float>(wa * a.z + wb * b.z), static_cast<float>(wa * a.w + wb * b.w)};
  const float n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  if (n > 0) q = Quat{q.x / n, q.y / n, q.z / n, q.w / n};
  return q;
}

Pose sample(const Timeline& t, const AnimationSet& set, double seconds) {
  double ticks = seconds * set.ticksPerSecond;
  if (set.periodTicks > 0) {
    ticks = std::fmod(ticks, set.periodTicks);
    if (ticks < 0) ticks += set.periodTicks;
  } else {
    ticks = 0;
  }
  Pose p;
  if (valueAt(t.matrix, ticks, p.matrix, [](const Mat4& a, const Mat4& b, float f) { return lerp(a, b, f); })) {
    p.isMatrix = true;
    return p;
  }
  valueAt(t.rotation, ticks, p.rotation, slerp);
  valueAt(t.scale, ticks, p.scale, [](const Vec3& a, const Vec3& b, float f) { return lerp(a, b, f); });
  valueAt(t.position, ticks, p.position, [](const Vec3& a, const Vec3& b, float f) { return lerp(a, b, f); });
  return p;
}

Pose mix(const Pose& a, const Pose& b, float t) {
  Pose out;
  if (a.isMatrix || b.isMatrix) {
    out.isMatrix = true;
    out.matrix = lerp(toMatrix(a), toMatrix(b), t);
    return out;
  }
  out.scale = lerp(a.scale, b.scale, t);
  out.rotation = slerp(a.rotation, b.rotation, t);
  out.position = lerp(a.position, b.position, t);
  return out;
}

Mat4 toMatrix(const Pose& p) {
  if (p.isMatrix) return p.matrix;
  const Quat& q = p.rotation;
  const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
  const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z, wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
  const float r[9] = {1 - 2 * (yy + zz), 2 * (xy + wz),     2 * (xz - wy),      //
                      2 * (xy - wz),     1 - 2 * (xx + zz), 2 * (yz + wx),      //
                      2 * (xz + wy),     2 * (yz - wx),     1 - 2 * (xx + yy)};
  const float s[3] = {p.scale.x, p.scale.y, p.scale.z};
  Mat4 m;
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) m.m[row * 4 + col] = s[row] * r[row * 3 + col];
  m.m[12] = p.position.x;
  m.m[13] = p.position.y;
  m.m[14] = p.position.z;
  return m;
}

}  // namespace qrt::anim
