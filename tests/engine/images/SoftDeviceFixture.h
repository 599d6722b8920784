#pragma once
#include <gtest/gtest.h>

#include "engine/device/GlowDevices.h"
#include "framework/Component.h"
#include "platform/d3d9/soft/SoftControls.h"

namespace qel {

// An initialised rendering device on the software Direct3D device, with fresh test controls.
class SoftDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    soft::ResetControls();
    Device = Create<TGlowDevice>(&Owner);
    Device->SetWidth(64);
    Device->SetHeight(48);
    Device->SetWindowHandle(1);  // the software device needs some window to present into
    ASSERT_TRUE(Device->Initialize());
    soft::CallLog().Clear();
  }
  void TearDown() override {
    delete Device;
    soft::ResetControls();
  }

  TComponent Owner{nullptr};
  TGlowDevice* Device = nullptr;
};

}  // namespace qel
