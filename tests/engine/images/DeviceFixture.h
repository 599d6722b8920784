#pragma once
#include <gtest/gtest.h>

#include "engine/device/GlowDevices.h"
#include "framework/Component.h"
#include "tests/support/DeviceWindow.h"

namespace qel {

// An initialised rendering device on whatever Direct3D 9 the target has.
class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Device = Create<TGlowDevice>(&Owner);
    Device->SetWidth(64);
    Device->SetHeight(48);
    Device->SetWindowHandle(test::DeviceWindow());
    ASSERT_TRUE(Device->Initialize());
  }
  void TearDown() override { delete Device; }

  TComponent Owner{nullptr};
  TGlowDevice* Device = nullptr;
};

}  // namespace qel
