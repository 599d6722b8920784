// Direct3DCreate9 for the Windows programs, found in d3d9.dll at run time instead of through
// the import table: on a machine without Direct3D 9 the program then starts, and its device
// set-up fails with the program's own message instead of the loader's.
#include <windows.h>

#include <d3d9.h>

namespace {

using TDirect3DCreate9 = IDirect3D9*(WINAPI*)(UINT);

TDirect3DCreate9 LoadCreate() {
  // Kept loaded for the life of the process: its objects may be released late.
  HMODULE Library = LoadLibraryA("d3d9.dll");
  if (!Library) return nullptr;
  return reinterpret_cast<TDirect3DCreate9>(reinterpret_cast<void*>(GetProcAddress(Library, "Direct3DCreate9")));
}

}  // namespace

extern "C" IDirect3D9* WINAPI Direct3DCreate9(UINT SdkVersion) {
  static const TDirect3DCreate9 Create = LoadCreate();
  return Create ? Create(SdkVersion) : nullptr;
}
