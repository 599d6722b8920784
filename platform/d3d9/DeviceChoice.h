#pragma once
// Which device Direct3DCreate9 makes off Windows. The programs' entry points choose, once,
// before the engine makes its first Direct3D object; without a choice it is the software device.
#include "platform/d3d9/d3d9api.h"

namespace qel::d3d9 {

// Make answers a new Direct3D object of the chosen device, or null when it cannot; null
// chooses the software device again.
void UseDirect3D(IDirect3D9* (*Make)());

}  // namespace qel::d3d9
