#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d9/soft/SoftControls.h"
#include "tests/engine/draw/DrawFixture.h"

namespace qel::testing {

// The drawing fixture on the software device, whose controls are reset around every test
// and whose call log starts empty when the device has started.
class DrawTest : public DeviceDrawTest {
 protected:
  void SetUp() override {
    soft::ResetControls();
    DeviceDrawTest::SetUp();
  }
  void TearDown() override {
    DeviceDrawTest::TearDown();
    soft::ResetControls();
  }

  void Start() {
    DeviceDrawTest::Start();
    soft::CallLog().Clear();
  }
  // The calls of one name since the log was last cleared.
  static std::vector<soft::TCall> Calls(const std::string& Name) { return soft::CallLog().Named(Name); }
  static int CountOf(const std::string& Name) { return soft::CallLog().Count(Name); }
  // Whether the log holds Name(Arg0, Arg1[, Arg2]) with these leading arguments.
  static bool Logged(const std::string& Name, std::uint64_t A0, std::uint64_t A1) {
    for (const soft::TCall& C : Calls(Name))
      if (C.Arg(0) == A0 && C.Arg(1) == A1) return true;
    return false;
  }
  static bool Logged(const std::string& Name, std::uint64_t A0, std::uint64_t A1, std::uint64_t A2) {
    for (const soft::TCall& C : Calls(Name))
      if (C.Arg(0) == A0 && C.Arg(1) == A1 && C.Arg(2) == A2) return true;
    return false;
  }
  // Primitive counts of the indexed draw calls so far.
  static std::vector<std::uint64_t> DrawnPrimitives() {
    std::vector<std::uint64_t> Counts;
    for (const soft::TCall& C : Calls("DrawIndexedPrimitive")) Counts.push_back(C.Arg(5));
    return Counts;
  }

  soft::TFrame Frame() {
    soft::TFrame F;
    EXPECT_TRUE(soft::ReadBackBuffer(Direct3DDevice.Get(), F));
    return F;
  }
};

}  // namespace qel::testing
