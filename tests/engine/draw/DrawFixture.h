#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "engine/device/GlowDevices.h"
#include "engine/draw/GlowCanvas.h"
#include "framework/Component.h"
#include "tests/support/DeviceWindow.h"

namespace qel::testing {

// A device of a small size on whatever Direct3D 9 the target has (the system's under Wine),
// with a canvas subscribed to it.
class DeviceDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Root = std::make_unique<TComponent>(nullptr);
    Device = Create<TGlowDevice>(Root.get());
    Device->SetWidth(64);
    Device->SetHeight(48);
    Device->SetWindowHandle(test::DeviceWindow());
    Canvas = Create<TGlowCanvas>(Root.get());
    Canvas->SetPublisher(Device);
  }
  void TearDown() override { Root.reset(); }

  void Start() { ASSERT_TRUE(Device->Initialize()); }

  const TVertex2D& Staged(int Index) const { return Canvas->BatchVertices()[Index]; }
  // Staged quad N's corner as it will reach Direct3D.
  const TVertex2D& Corner(int Quad, int CornerIndex) const { return Staged(Quad * 4 + CornerIndex); }
  int StagedQuads() const { return Canvas->BatchVertexCount() / 4; }

  std::unique_ptr<TComponent> Root;
  TGlowDevice* Device = nullptr;
  TGlowCanvas* Canvas = nullptr;
};

}  // namespace qel::testing
