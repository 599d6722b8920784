#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/device/GlowDevices.h"
#include "engine/draw/GlowCanvas.h"
#include "framework/Component.h"
#include "platform/d3d9/soft/SoftControls.h"

namespace qel::testing {

// A software device of a small size with a canvas subscribed to it; the device's controls
// are reset around every test.
class DrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    soft::ResetControls();
    Root = std::make_unique<TComponent>(nullptr);
    Device = Create<TGlowDevice>(Root.get());
    Device->SetWidth(64);
    Device->SetHeight(48);
    Device->SetWindowHandle(1);
    Canvas = Create<TGlowCanvas>(Root.get());
    Canvas->SetPublisher(Device);
  }
  void TearDown() override {
    Root.reset();
    soft::ResetControls();
  }

  void Start() {
    ASSERT_TRUE(Device->Initialize());
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

  const TVertex2D& Staged(int Index) const { return Canvas->BatchVertices()[Index]; }
  // Staged quad N's corner as it will reach Direct3D.
  const TVertex2D& Corner(int Quad, int CornerIndex) const { return Staged(Quad * 4 + CornerIndex); }
  int StagedQuads() const { return Canvas->BatchVertexCount() / 4; }

  std::unique_ptr<TComponent> Root;
  TGlowDevice* Device = nullptr;
  TGlowCanvas* Canvas = nullptr;
};

}  // namespace qel::testing
