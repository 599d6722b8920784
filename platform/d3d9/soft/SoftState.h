#pragma once
// Process-wide state behind the software device's controls, and the helpers every soft
// Direct3D object uses to log its calls and honour injected failures.
#include <bit>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/d3d9/soft/SoftControls.h"

namespace qel::soft {

class TSoftDevice;

struct TInjection {
  std::string Operation;
  int Remaining = 0;
  HRESULT Result = D3DERR_INVALIDCALL;
  int Passing = 0;  // calls that still succeed before the failures start
};

struct TPresentTarget {
  TPresenter Presenter;
  TBufferPresenter BufferPresenter;
  TFrame Frame;
  int Presents = 0;
};

// A device of another kind that answers these controls too (the GL device): it keeps its
// place in State().OtherDevices while it lives.
class TControlledDevice {
 public:
  virtual IDirect3DDevice9* Interface() = 0;
  virtual void Lose(int StillLostPolls) = 0;
  virtual void ReadBackBuffer(TFrame& Frame) = 0;

 protected:
  ~TControlledDevice() = default;
};

struct TSoftState {
  TAdapterConfig Adapter = DefaultAdapter();
  TCallLog Log;
  TDrawSettings DrawDefaults;
  std::vector<TInjection> Injections;
  std::map<HWND, TPresentTarget> Targets;
  std::set<TSoftDevice*> Devices;
  std::set<TControlledDevice*> OtherDevices;
  IDirect3D9* (*MakeDirect3D)() = nullptr;  // the device chosen, when not this one
  int LiveObjects = 0;
};
TSoftState& State();

// True (with the result to answer) when a failure is injected for this call.
bool TakeInjected(const char* Operation, HRESULT& Result);

template <class T>
std::uint64_t LogArg(T Value) {
  if constexpr (std::is_pointer_v<T>) {
    return reinterpret_cast<std::uintptr_t>(Value);
  } else if constexpr (std::is_same_v<T, float>) {
    return std::bit_cast<std::uint32_t>(Value);
  } else if constexpr (std::is_enum_v<T>) {
    return static_cast<std::uint64_t>(static_cast<std::underlying_type_t<T>>(Value));
  } else if constexpr (std::is_signed_v<T>) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(Value));
  } else {
    return static_cast<std::uint64_t>(Value);
  }
}

// The arguments of a logged call (LogArg of each).
struct TLogArgs {
  std::uint64_t Values[6] = {};
  int Count = 0;
  TLogArgs(std::initializer_list<std::uint64_t> List) {
    for (std::uint64_t V : List)
      if (Count < 6) Values[Count++] = V;
  }
};

// What the test controls ask of every call, read in line: while they ask nothing (the
// programs, the benchmarks), a call tests two flags and builds nothing for the log.
struct TCallControls {
  bool LogCalls = false;   // the log records
  bool Injecting = false;  // failures are injected for some operation
};
inline TCallControls CallControls;

void LogCall(const char* Name, const TLogArgs& Args, HRESULT Result);

// Runs one logged operation: an injected failure answers in its place. ArgsOf gives the
// arguments to log, asked only while the log records.
template <class ArgsOf, class Body>
HRESULT Logged(const char* Name, ArgsOf&& Args, Body&& Run) {
  HRESULT Result;
  if (!CallControls.Injecting || !TakeInjected(Name, Result)) Result = Run();
  if (CallControls.LogCalls) LogCall(Name, Args(), Result);
  return Result;
}

// Counts the live soft Direct3D objects.
struct TLiveObject {
  TLiveObject() { ++State().LiveObjects; }
  TLiveObject(const TLiveObject&) = delete;
  TLiveObject& operator=(const TLiveObject&) = delete;
  ~TLiveObject() { --State().LiveObjects; }
};

// AddRef/Release for one interface; the object deletes itself with the last reference.
template <class Interface>
class TRefCounted : public Interface, private TLiveObject {
 public:
  ULONG AddRef() override { return ++FRefs; }
  ULONG Release() override {
    const ULONG Refs = --FRefs;
    if (Refs == 0) delete this;
    return Refs;
  }

 protected:
  TRefCounted() = default;
  ~TRefCounted() override = default;

 private:
  ULONG FRefs = 1;
};

}  // namespace qel::soft
