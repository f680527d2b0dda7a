// Names for named kernel objects (mutexes) made from outside text: a path,
// a name a script chose.
#pragma once
#include <string>

namespace qrt {

// `prefix` and `text` as one name the object namespace accepts. A backslash
// would name a directory of the namespace, which the platform refuses, so
// each one in the text becomes a slash; a text too long for an object name
// keeps its end, and a hash of the whole text stands in for the rest.
std::wstring kernelObjectName(const std::wstring& prefix, std::wstring text);

}  // namespace qrt
