#include "framework/Component.h"

#include <algorithm>

namespace qel {

TComponent::TComponent(TComponent* Owner) : FOwner(Owner) {
  if (FOwner) {
    FDesigning = FOwner->FDesigning;
    FOwner->FComponents.push_back(this);
  }
}

TComponent::~TComponent() {
  // Owned components go last to first, quietly: the owner is going away as a whole.
  while (!FComponents.empty()) {
    TComponent* Last = FComponents.back();
    FComponents.pop_back();
    Last->FOwner = nullptr;
    delete Last;
  }
  if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const std::string& Name) const {
  for (TComponent* C : FComponents)
    if (C->FName == Name) return C;
  return nullptr;
}

void TComponent::InsertedComponent(TComponent* Component) {
  NotifyAll(Component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* Component) {
  auto It = std::find(FComponents.begin(), FComponents.end(), Component);
  if (It == FComponents.end()) return;
  FComponents.erase(It);
  Component->FOwner = nullptr;
  NotifyAll(Component, TOperation::opRemove);
}

void TComponent::NotifyAll(TComponent* Component, TOperation Operation) {
  Notification(Component, Operation);
  // Every owned component hears it, the inserted one included. A copy of the list, so a
  // handler that creates or frees components cannot invalidate the walk.
  const std::vector<TComponent*> Siblings = FComponents;
  for (TComponent* C : Siblings) C->Notification(Component, Operation);
}

void TComponent::Notification(TComponent*, TOperation) {}

}  // namespace qel
