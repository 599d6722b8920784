#pragma once
// The choice between the GL device and the software device, as the programs' entry points
// make it (--renderer auto|gl|soft, QEL_RENDERER).
#include <string>

namespace qel::gl {

enum class TRenderer { Auto, Gl, Soft };

// "auto", "gl" or "soft"; false for anything else.
bool ParseRenderer(const std::string& Text, TRenderer& Renderer);

// Mesa's llvmpipe, softpipe and swrast draw on the processor, far slower than the software
// device: the renderer names (GL_RENDERER) that count as no GPU.
bool IsSoftwareRasterizer(const std::string& RendererName);

// Makes Direct3DCreate9 give the device Renderer asks for: Soft the software device; Gl the
// GL device, or false with the reason in Error where EGL gives no OpenGL ES 3.0 context;
// Auto the GL device where that context runs on a hardware driver, the software device
// otherwise. Chosen says which and why, e.g. "soft (llvmpipe (LLVM 15.0.6, 256 bits) draws
// on the processor)".
bool ChooseRenderer(TRenderer Renderer, std::string& Chosen, std::string& Error);

}  // namespace qel::gl
