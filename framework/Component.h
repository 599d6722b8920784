#pragma once
#include <string>
#include <utility>
#include <vector>

#include "framework/Object.h"

namespace qel {

enum class TOperation { opInsert, opRemove };

// A component has an owner that destroys it, a name, a design-state flag and an ordered
// list of the components it owns. When a component joins or leaves an owner, every
// component of that owner hears of it through Notification.
//
// Create components with Create<T>(Owner, ...): the insertion notification must see the
// finished object (a subscriber tests the new component's class), which a base-class
// constructor cannot give.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* Owner);
  ~TComponent() override;

  TComponent* Owner() const { return FOwner; }
  const std::string& Name() const { return FName; }
  void SetName(std::string Value) { FName = std::move(Value); }

  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int Index) const { return FComponents.at(static_cast<std::size_t>(Index)); }
  TComponent* FindComponent(const std::string& Name) const;

  // The design state: true while the component is being edited in a form designer.
  bool Designing() const { return FDesigning; }
  void SetDesigning(bool Value) { FDesigning = Value; }

  // Sends the insertion notification for a component that has just been constructed.
  void InsertedComponent(TComponent* Component);
  // Takes a component out of this owner's list (with the removal notification); the
  // caller then owns it.
  void RemoveComponent(TComponent* Component);

 protected:
  // Called on every component of an owner when one of them is inserted or removed.
  virtual void Notification(TComponent* Component, TOperation Operation);

 private:
  void NotifyAll(TComponent* Component, TOperation Operation);

  TComponent* FOwner = nullptr;
  std::string FName;
  bool FDesigning = false;
  std::vector<TComponent*> FComponents;
};

template <class T, class... Args>
T* Create(TComponent* Owner, Args&&... args) {
  T* Component = new T(Owner, std::forward<Args>(args)...);
  if (Owner) Owner->InsertedComponent(Component);
  return Component;
}

}  // namespace qel
