#include "engine/device/GlowSubsc.h"

#include <algorithm>

namespace qel {

TGlowPublisher::TGlowPublisher(TComponent* Owner) : TComponent(Owner) {}

TGlowPublisher::~TGlowPublisher() {
  for (TGlowSubscriber* S : FSubscribers) S->FPublisher = nullptr;
}

int TGlowPublisher::IndexOf(const TGlowSubscriber* Subscriber) const {
  auto It = std::find(FSubscribers.begin(), FSubscribers.end(), Subscriber);
  return It == FSubscribers.end() ? -1 : static_cast<int>(It - FSubscribers.begin());
}

void TGlowPublisher::Subscribe(TGlowSubscriber* Subscriber) {
  if (IndexOf(Subscriber) < 0) FSubscribers.push_back(Subscriber);
}

void TGlowPublisher::Unsubscribe(TGlowSubscriber* Subscriber) {
  const int Index = IndexOf(Subscriber);
  if (Index >= 0) FSubscribers.erase(FSubscribers.begin() + Index);
}

bool TGlowPublisher::Broadcast(std::uint32_t Msg) {
  bool Result = true;
  // The count is taken once: handlers are not meant to change the list. Should one do so
  // anyway, the walk still never reads past the list's end.
  const std::size_t Count = FSubscribers.size();
  for (std::size_t i = 0; i < Count && i < FSubscribers.size(); ++i) {
    Result = FSubscribers[i]->HandleMessage(Msg);
    if (!Result) break;
  }
  return Result;
}

TGlowSubscriber::TGlowSubscriber(TComponent* Owner) : TComponent(Owner) {}

TGlowSubscriber::~TGlowSubscriber() {
  if (FPublisher) FPublisher->Unsubscribe(this);
}

void TGlowSubscriber::SetPublisher(TGlowPublisher* Value) {
  if (FPublisher && FPublisher != Value) FPublisher->Unsubscribe(this);
  FPublisher = Value;
  if (Value) Value->Subscribe(this);
}

bool TGlowSubscriber::HandleMessage(std::uint32_t) { return true; }

bool TGlowSubscriber::AcceptsPublisher(const TGlowPublisher*) const { return true; }

TGlowPublisher* TGlowSubscriber::Acceptable(TComponent* Component) const {
  auto* P = dynamic_cast<TGlowPublisher*>(Component);
  return P && AcceptsPublisher(P) ? P : nullptr;
}

void TGlowSubscriber::AttachToFirstPublisherOfOwner() {
  if (!Owner()) return;
  for (int i = 0; i < Owner()->ComponentCount(); ++i) {
    if (TGlowPublisher* P = Acceptable(Owner()->Components(i))) {
      SetPublisher(P);
      return;
    }
  }
}

void TGlowSubscriber::Notification(TComponent* Component, TOperation Operation) {
  TComponent::Notification(Component, Operation);
  if (Operation == TOperation::opInsert) {
    if (Component == this) {
      // Our own insertion is the end of our construction: the moment the form designer
      // attaches a new subscriber to the first fitting publisher it finds.
      if (Designing()) AttachToFirstPublisherOfOwner();
    } else if (!FPublisher) {
      if (TGlowPublisher* P = Acceptable(Component)) SetPublisher(P);
    }
  } else if (Component && Component == FPublisher) {
    // A publisher that is destroyed has already detached us in its destructor, so reaching
    // this point means it was only taken out of the owner and lives on: leave its list too,
    // or it would keep a reference to us past our own destruction.
    FPublisher->Unsubscribe(this);
    FPublisher = nullptr;
  }
}

}  // namespace qel
