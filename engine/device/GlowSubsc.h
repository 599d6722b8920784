#pragma once
#include <cstdint>
#include <vector>

#include "framework/Component.h"

namespace qel {

// What a device tells the components that depend on it.
constexpr std::uint32_t msgDeviceInitialize = 256;  // answer False to veto the initialisation
constexpr std::uint32_t msgDeviceFinalize = 257;
constexpr std::uint32_t msgDeviceLost = 258;
constexpr std::uint32_t msgDeviceRestored = 259;
constexpr std::uint32_t msgBeginScene = 260;
constexpr std::uint32_t msgEndScene = 261;
constexpr std::uint32_t msgFlush = 513;  // handled like msgEndScene by whoever batches

class TGlowSubscriber;

// Sends message codes to an ordered list of subscribers it does not own.
class TGlowPublisher : public TComponent {
 public:
  explicit TGlowPublisher(TComponent* Owner);
  // Leaves every subscriber detached, without a message.
  ~TGlowPublisher() override;

  int SubscriberCount() const { return static_cast<int>(FSubscribers.size()); }
  TGlowSubscriber* Subscribers(int Index) const { return FSubscribers.at(static_cast<std::size_t>(Index)); }

  // Position of Subscriber in the list, -1 when absent.
  int IndexOf(const TGlowSubscriber* Subscriber) const;
  // Appends Subscriber unless it is listed already.
  void Subscribe(TGlowSubscriber* Subscriber);
  // Removes Subscriber if listed; the others keep their order.
  void Unsubscribe(TGlowSubscriber* Subscriber);
  // Delivers Msg from the first subscriber to the last and stops at the first that answers
  // False. True for an empty list.
  bool Broadcast(std::uint32_t Msg);

 private:
  std::vector<TGlowSubscriber*> FSubscribers;
};

// A component attached to at most one publisher, from which it hears message codes.
class TGlowSubscriber : public TComponent {
 public:
  explicit TGlowSubscriber(TComponent* Owner);
  ~TGlowSubscriber() override;

  TGlowPublisher* Publisher() const { return FPublisher; }
  // Detaches from the previous publisher and attaches to Value (nullptr: detached).
  // Re-assigning the same publisher keeps the subscriber's place. No kind test here.
  void SetPublisher(TGlowPublisher* Value);

  // Reacts to one message code. False stops the broadcast (and vetoes an initialisation).
  virtual bool HandleMessage(std::uint32_t Msg);
  // Whether Publisher is of the kind this subscriber attaches to by itself: in the form
  // designer, and when such a publisher joins the owner while it is detached. Any publisher
  // here; a device's subscribers accept devices only.
  virtual bool AcceptsPublisher(const TGlowPublisher* Publisher) const;

 protected:
  void Notification(TComponent* Component, TOperation Operation) override;

 private:
  friend class TGlowPublisher;
  void AttachToFirstPublisherOfOwner();
  // Component as an acceptable publisher, or nullptr.
  TGlowPublisher* Acceptable(TComponent* Component) const;

  TGlowPublisher* FPublisher = nullptr;
};

}  // namespace qel
