#include "platform/d3d9/soft/SoftControls.h"

#include <algorithm>
#include <cstdio>

#include "platform/d3d9/soft/SoftDevice.h"
#include "platform/d3d9/soft/SoftState.h"

namespace qel::soft {

TSoftState& State() {
  // Never destroyed: Direct3D objects still held by other static objects are released
  // at exit after function-local statics are gone.
  static TSoftState* Instance = new TSoftState;
  return *Instance;
}

TAdapterConfig DefaultAdapter() {
  TAdapterConfig A;
  A.DesktopMode = {1920, 1080, 60, D3DFMT_X8R8G8B8};
  const UINT Sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1280, 1024}, {1920, 1080}};
  for (D3DFORMAT Format : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5})
    for (const auto& Size : Sizes) A.Modes.push_back({Size[0], Size[1], 60, Format});
  A.Textures = {
      {D3DFMT_A8R8G8B8, D3D_OK, D3D_OK},          {D3DFMT_X8R8G8B8, D3D_OK, D3D_OK},
      {D3DFMT_R5G6B5, D3D_OK, D3D_OK},            {D3DFMT_X1R5G5B5, D3D_OK, D3D_OK},
      {D3DFMT_A1R5G5B5, D3D_OK, D3DOK_NOAUTOGEN}, {D3DFMT_A4R4G4B4, D3D_OK, D3DOK_NOAUTOGEN},
      {D3DFMT_X4R4G4B4, D3D_OK, D3DOK_NOAUTOGEN}, {D3DFMT_A8, D3D_OK, D3D_OK},
  };
  A.DepthFormats = {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D32};
  A.BackBufferFormats = {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5};
  return A;
}

TAdapterConfig& Adapter() { return State().Adapter; }

std::string TCall::Text() const {
  std::string S = Name;
  S += '(';
  for (int i = 0; i < ArgCount; ++i) {
    if (i) S += ", ";
    S += std::to_string(Args[i]);
  }
  char Tail[32];
  std::snprintf(Tail, sizeof Tail, ") = 0x%08X", static_cast<unsigned>(Result));
  return S + Tail;
}

int TCallLog::Count(const std::string& Name) const {
  return static_cast<int>(std::count_if(FCalls.begin(), FCalls.end(), [&](const TCall& C) { return Name == C.Name; }));
}

std::vector<TCall> TCallLog::Named(const std::string& Name) const {
  std::vector<TCall> Result;
  for (const TCall& C : FCalls)
    if (Name == C.Name) Result.push_back(C);
  return Result;
}

std::vector<std::string> TCallLog::Names() const {
  std::vector<std::string> Result;
  Result.reserve(FCalls.size());
  for (const TCall& C : FCalls) Result.emplace_back(C.Name);
  return Result;
}

void TCallLog::Add(const TCall& Call) {
  // Long runs (many frames) would grow the log without end; tests look at recent calls.
  constexpr std::size_t Limit = 1 << 20;
  if (FCalls.size() >= Limit) FCalls.erase(FCalls.begin(), FCalls.begin() + Limit / 2);
  FCalls.push_back(Call);
  if (FWatcher && !FWatching) {
    FWatching = true;
    FWatcher(Call);
    FWatching = false;
  }
}

TCallLog& CallLog() { return State().Log; }

void EnableCallLog(bool Enabled) { CallControls.LogCalls = Enabled; }
bool CallLogEnabled() { return CallControls.LogCalls; }

void LogCall(const char* Name, const TLogArgs& Args, HRESULT Result) {
  TCall Call;
  Call.Name = Name;
  Call.ArgCount = Args.Count;
  std::copy_n(Args.Values, Args.Count, Call.Args);
  Call.Result = Result;
  State().Log.Add(Call);
}

bool TakeInjected(const char* Operation, HRESULT& Result) {
  auto& List = State().Injections;
  if (List.empty()) return false;
  for (auto It = List.begin(); It != List.end(); ++It) {
    if (It->Operation != Operation) continue;
    if (It->Passing > 0) {
      --It->Passing;
      return false;
    }
    Result = It->Result;
    if (--It->Remaining <= 0) List.erase(It);
    CallControls.Injecting = !List.empty();
    return true;
  }
  return false;
}

void FailNext(const std::string& Operation, int Count, HRESULT Result, int After) {
  auto& List = State().Injections;
  std::erase_if(List, [&](const TInjection& I) { return I.Operation == Operation; });
  if (Count > 0) List.push_back({Operation, Count, Result, std::max(After, 0)});
  CallControls.Injecting = !List.empty();
}

void LoseDevices(int StillLostPolls) {
  for (TSoftDevice* Device : State().Devices) Device->Lose(StillLostPolls);
  for (TControlledDevice* Device : State().OtherDevices) Device->Lose(StillLostPolls);
}

void RegisterPresenter(HWND Window, TPresenter Presenter) {
  State().Targets[Window].Presenter = std::move(Presenter);
}

void RegisterBufferPresenter(HWND Window, TBufferPresenter Presenter) {
  State().Targets[Window].BufferPresenter = std::move(Presenter);
}

void UnregisterPresenter(HWND Window) {
  for (TSoftDevice* Device : State().Devices) Device->ReturnLentBuffer(Window);
  auto It = State().Targets.find(Window);
  if (It != State().Targets.end()) {
    It->second.Presenter = nullptr;
    It->second.BufferPresenter = {};
  }
}

const TFrame* PresentedFrame(HWND Window) {
  auto It = State().Targets.find(Window);
  if (It == State().Targets.end() || It->second.Frame.Pixels.empty()) return nullptr;
  return &It->second.Frame;
}

int PresentCount(HWND Window) {
  auto It = State().Targets.find(Window);
  return It == State().Targets.end() ? 0 : It->second.Presents;
}

bool ReadBackBuffer(IDirect3DDevice9* Device, TFrame& Frame) {
  for (TSoftDevice* D : State().Devices)
    if (static_cast<IDirect3DDevice9*>(D) == Device) {
      D->ReadBackBuffer(Frame);
      return true;
    }
  for (TControlledDevice* D : State().OtherDevices)
    if (D->Interface() == Device) {
      D->ReadBackBuffer(Frame);
      return true;
    }
  return false;
}

void UseFastPaths(bool Enabled) { TRasterizer::SetFastPaths(Enabled); }

TDrawSettings& DefaultDrawSettings() { return State().DrawDefaults; }

bool ShownChecks(IDirect3DDevice9* Device, int& Checked, int& Differing) {
  for (TSoftDevice* D : State().Devices)
    if (static_cast<IDirect3DDevice9*>(D) == Device) {
      D->ShownChecks(Checked, Differing);
      return true;
    }
  return false;
}

bool SetDrawSettings(IDirect3DDevice9* Device, const TDrawSettings& Settings) {
  for (TSoftDevice* D : State().Devices)
    if (static_cast<IDirect3DDevice9*>(D) == Device) {
      D->SetDrawSettings(Settings);
      return true;
    }
  return false;
}

int LiveObjects() { return State().LiveObjects; }

void ResetControls() {
  TSoftState& S = State();
  S.Adapter = DefaultAdapter();
  S.Log.Clear();
  S.Log.Watch({});
  CallControls.LogCalls = true;
  S.DrawDefaults = TDrawSettings();
  S.Injections.clear();
  CallControls.Injecting = false;
  for (TSoftDevice* Device : S.Devices) Device->ReturnLentBuffer(nullptr);
  S.Targets.clear();
  TRasterizer::SetFastPaths(true);
}

}  // namespace qel::soft
