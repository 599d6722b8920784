#pragma once
#include <cstddef>
#include <utility>

namespace qel {

// Holds one reference to a COM-style object (AddRef/Release) and releases it when it goes.
// Put() hands the address to functions that return a new reference through an out-parameter.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  ComPtr(const ComPtr& Other) : FPtr(Other.FPtr) {
    if (FPtr) FPtr->AddRef();
  }
  ComPtr(ComPtr&& Other) noexcept : FPtr(std::exchange(Other.FPtr, nullptr)) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& Other) {
    if (Other.FPtr) Other.FPtr->AddRef();
    Reset();
    FPtr = Other.FPtr;
    return *this;
  }
  ComPtr& operator=(ComPtr&& Other) noexcept {
    if (this != &Other) {
      Reset();
      FPtr = std::exchange(Other.FPtr, nullptr);
    }
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  // Takes over a reference the caller owns (no AddRef).
  static ComPtr Adopt(T* Ptr) {
    ComPtr Result;
    Result.FPtr = Ptr;
    return Result;
  }
  // Shares an object the caller does not own (AddRef).
  static ComPtr Share(T* Ptr) {
    if (Ptr) Ptr->AddRef();
    return Adopt(Ptr);
  }

  T* Get() const { return FPtr; }
  T* operator->() const { return FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }

  // Releases what is held; the pointer becomes empty.
  void Reset() {
    if (T* Old = std::exchange(FPtr, nullptr)) Old->Release();
  }
  // Releases what is held and gives the slot for an out-parameter.
  T** Put() {
    Reset();
    return &FPtr;
  }
  // Gives up the reference without releasing it.
  T* Detach() { return std::exchange(FPtr, nullptr); }

  friend bool operator==(const ComPtr& A, const ComPtr& B) { return A.FPtr == B.FPtr; }
  friend bool operator==(const ComPtr& A, const T* B) { return A.FPtr == B; }

 private:
  T* FPtr = nullptr;
};

}  // namespace qel
