#pragma once
// Root of the class tree: every framework and engine class derives from TObject.
namespace qel {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

}  // namespace qel
