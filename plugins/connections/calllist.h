// The connection viewer's calls: one record per call and watched device,
// kept from the PBX's events and mirrored into a tree (one top item per
// call with its state, children for time, call id and the two parties).
// The tree is behind ICallTree, so the list runs without a window.
#pragma once
#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "plugins/common/recordreader.h"

namespace dorvane {

enum CallState { kIdle = 0, kInitiated, kDialing, kRinging, kConnected, kHeld, kQueued, kDisconnected, kError };
enum Direction { kNoDirection = 0, kOwnSide = 1, kIncoming = 2 };
// Images of the tree: the states 0 to 8, then the child kinds.
enum Image { kImageCallId = 9, kImageTime = 10, kImageNone = 11, kImageParty = 12, kImageOwnParty = 13, kImageCount = 14 };
enum Child { kChildTime = 0, kChildCallId, kChildPartner, kChildDevice, kChildren };

const char* StateName(int state);  // "" outside 0 to 8

// Tree items are ids; 0 is none.
class ICallTree {
 public:
  virtual ~ICallTree() = default;
  virtual std::int32_t AddTop(const std::string& text, int image) = 0;
  virtual std::int32_t AddChild(std::int32_t parent, const std::string& text, int image) = 0;
  virtual void SetItem(std::int32_t item, const std::string& text, int image) = 0;
  virtual void Remove(std::int32_t item) = 0;  // with its children
  virtual void RemoveAll() = 0;
};

struct CallRecord {
  std::uint32_t callId = 0;
  std::uint32_t crossRefId = 0;
  pluginkit::DeviceText device{};
  pluginkit::DeviceText partner{};
  std::string text;  // the tree item's text
  int state = kIdle;
  int direction = kNoDirection;
  std::time_t start = 0;  // when it first got its tree item
  bool started = false;
  std::int32_t item = 0;
  std::array<std::int32_t, kChildren> children{};
  // What the tree shows now, so that only changes reach it.
  int shownImage = -1;
  int shownDirection = -1;
  pluginkit::DeviceText shownPartner{};
  std::mutex mu;  // its fields and text
};

class CCallList {
 public:
  explicit CCallList(ICallTree* tree = nullptr) : tree_(tree) {}
  ~CCallList();
  CCallList(const CCallList&) = delete;
  CCallList& operator=(const CCallList&) = delete;

  // The tree to mirror into; null while nobody sees it. Rebuild gives
  // every record its item again, as it stands.
  void SetTree(ICallTree* tree);
  void Rebuild();

  // One message record (982 bytes). 0, or 1 when a record that the event
  // needed could not be made.
  int Dispatch(const unsigned char* record);
  // All tree items and records go ("D").
  void Clear();

  std::size_t Size() const;
  // Copies for inspection, in list order.
  struct View {
    std::uint32_t callId;
    std::string device, partner, text;
    int state, direction;
    std::int32_t item;
    std::array<std::int32_t, kChildren> children;
  };
  std::vector<View> Records() const;

 private:
  using Text = pluginkit::DeviceText;
  // Under the list mutex.
  CallRecord* Find(std::uint32_t callId, const Text& device) const;
  CallRecord* FindByCrossRef(std::uint32_t callId, std::uint32_t crossRefId) const;
  CallRecord* FindOnlyLiveOn(const Text& device) const;
  CallRecord* Create(std::uint32_t callId, const Text& device, std::uint32_t crossRefId);
  void Delete(CallRecord* r);
  CallRecord* FindOrCreate(std::uint32_t callId, const Text& device, std::uint32_t crossRefId);

  int OnCleared(const unsigned char* m);
  int OnDeliveredOrEstablished(const unsigned char* m, bool established);
  int OnHeldOrRetrieved(const unsigned char* m, int state);
  int OnServiceInitiated(const unsigned char* m);
  int OnTransferred(const unsigned char* m);
  // Step after every handled event: text, image, children once.
  void Refresh(CallRecord* r);
  void GiveItem(CallRecord* r);

  ICallTree* tree_;
  std::mutex dispatchMu_;
  mutable std::mutex listMu_;
  std::vector<std::unique_ptr<CallRecord>> calls_;
};

}  // namespace dorvane
