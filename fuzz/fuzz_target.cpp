// One libFuzzer harness; PMMLXFORM_FUZZ_TARGET names the entry point it drives
// (see targets.h). An undocumented result code aborts like a crash.
#include <cstdlib>

#include "fuzz/targets.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  pmmlxform::fuzz::setApplicationDirectory(PMMLXFORM_FUZZ_APP_DIR);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (pmmlxform::fuzz::runTarget(PMMLXFORM_FUZZ_TARGET, data, size) ==
      pmmlxform::fuzz::kUndocumented) {
    std::abort();
  }
  return 0;
}
