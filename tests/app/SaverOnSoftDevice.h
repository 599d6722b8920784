#pragma once
// Run mode draws every frame on the software device; these runs start from its default
// adapter with an empty call log and no injected failures.
#include "platform/d3d9/soft/SoftControls.h"
#include "tests/app/ProgramRun.h"

namespace qel {

// One device at a time per process: a run's device lives until the run is destroyed. The
// default screen is tiny, so tests that look at input and timing draw cheap frames.
struct TSaverRun : TProgramRun {
  explicit TSaverRun(int ScreenWidth = 64, int ScreenHeight = 48)
      : TProgramRun((soft::ResetControls(), ScreenWidth), ScreenHeight) {}
};

}  // namespace qel
