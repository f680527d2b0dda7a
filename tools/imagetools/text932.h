// Script texts are cp932 whatever the machine's code page; the tools print
// UTF-8. The conversion names code page 932 explicitly.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace qrt::imgtools {

// The text in double quotes as UTF-8, with \n, \t, \", \\ and \xNN for
// control bytes and bytes that form no cp932 character; cut after
// `maxChars` characters with "...".
std::string quoted932(std::string_view cp932, size_t maxChars = 160);

}  // namespace qrt::imgtools
