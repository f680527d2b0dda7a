// Test programs written in the game language: a script compiled by the
// compiler's library, as if it were a file in `folder` (so that its
// #INCLUDEs find the files beside it), with where its STATIC variables are;
// its image checked as the runtime will check it.
//
//   CompiledScript s = compileScript("#INCLUDE \"player.qrs\"\n...", QRT_DEMO_DIR);
//   Program p(s.image);
//   ...
//   EXPECT_EQ(p.staticSlot(s.slotOf("playerX")), 100u);
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace qrt::test {

struct CompiledScript {
  std::vector<uint8_t> image;               // header + image
  std::map<std::string, int32_t> statics;   // by name in upper case
  // The static slot of a STATIC variable; throws when there is none.
  int32_t slotOf(const std::string& name) const;
};

// `folder` is a path of the Linux side (as the build gives it). Throws
// std::runtime_error with the diagnostics when the script has errors, or
// with the faults the runtime would find in its image.
CompiledScript compileScript(const std::string& text, const std::string& folder);

// A script file (a Windows path, as e2e::hostFile gives it), compiled as
// qrtc compiles it; throws as compileScript does.
CompiledScript compileFile(const std::filesystem::path& source);

}  // namespace qrt::test
