// Extraction's member targets from hostile package texts: whatever the
// package names, a placed member lands below the target folder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/windows_names.h"
#include "windows/install/core/target_path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace gantry;
  using namespace gantry::fuzz;
  FuzzInput input(data, size);
  const std::u16string targetFolder = input.NextText();
  const std::u16string relativeFolder = input.NextText();
  const std::u16string name = input.NextText();

  const MemberTarget target = ComposeMemberTarget(targetFolder, relativeFolder, name);
  if (target.outcome != MemberTarget::Outcome::kPlaced) {
    Require(target.path.empty(), "a refused member still has a path");
    if (target.outcome == MemberTarget::Outcome::kTooLong) {
      Require(targetFolder.size() + relativeFolder.size() + name.size() + 1 >= 259,
              "a short path was refused as too long");
    }
    return 0;
  }
  const std::u16string& path = target.path;
  Require(path.size() < 260, "the path does not fit 260 units with its terminator");
  Require(StartsWith(path, targetFolder), "the path does not start with the target folder");
  std::u16string_view below = std::u16string_view(path).substr(targetFolder.size());
  if (targetFolder.back() != u'\\') {
    Require(!below.empty() && below.front() == u'\\', "no backslash after the target folder");
    below.remove_prefix(1);
  }
  Require(below.size() >= name.size() && below.compare(below.size() - name.size(), name.size(), name) == 0,
          "the path does not end in the member's name");
  ForEachComponent(below, [](std::u16string_view component) {
    Require(!component.empty(), "an empty component below the target folder");
    Require(!LeavesItsFolder(component), "a component climbs out, names a drive, a stream or a device");
    for (const char16_t unit : component) Require(unit >= 0x20, "a control character in a component");
  });
  return 0;
}
