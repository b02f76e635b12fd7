// The connection viewer's dispatch under any record sequence, and the
// "WNDPosition" text under any text. First byte 0: the rest is a position
// text; else the rest is records of 982 bytes (the last one zero-filled).
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "plugins/common/wndparam.h"
#include "plugins/connections/calllist.h"

namespace {

// A tree in memory that checks what the list asks of it.
struct CheckedTree : dorvane::ICallTree {
  struct Node {
    std::int32_t parent;
    std::string text;
    int image;
  };
  std::map<std::int32_t, Node> nodes;
  std::int32_t next = 1;

  std::int32_t AddTop(const std::string& text, int image) override { return Add(0, text, image); }
  std::int32_t AddChild(std::int32_t parent, const std::string& text, int image) override {
    if (!nodes.count(parent)) __builtin_trap();
    return Add(parent, text, image);
  }
  std::int32_t Add(std::int32_t parent, const std::string& text, int image) {
    if (image < 0 || image >= dorvane::kImageCount || text.size() > 200) __builtin_trap();
    nodes[next] = Node{parent, text, image};
    return next++;
  }
  void SetItem(std::int32_t item, const std::string& text, int image) override {
    auto it = nodes.find(item);
    if (it == nodes.end() || image < 0 || image >= dorvane::kImageCount) __builtin_trap();
    it->second.text = text;
    it->second.image = image;
  }
  void Remove(std::int32_t item) override {
    if (!nodes.erase(item)) __builtin_trap();
    for (auto it = nodes.begin(); it != nodes.end();) it = it->second.parent == item ? nodes.erase(it) : ++it;
  }
  void RemoveAll() override { nodes.clear(); }
};

void Positions(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  pluginkit::WindowRect r;
  const int n = pluginkit::ParseWndPosition(text.c_str(), &r);
  if (n < 0 || n > 4) __builtin_trap();
  char buf[DLLIFC_TEXT_SIZE];
  pluginkit::FormatWndPosition(r, buf, sizeof buf);
  pluginkit::WindowRect again;
  if (pluginkit::ParseWndPosition(buf, &again) != 4 || !(again == r)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] == 0) {
    Positions(data + 1, size - 1);
    return 0;
  }
  CheckedTree tree;
  dorvane::CCallList calls(&tree);
  std::size_t events = 0;
  for (std::size_t at = 1; at < size; at += DLLIFC_RECORD_SIZE) {
    unsigned char record[DLLIFC_RECORD_SIZE] = {};
    std::memcpy(record, data + at, std::min<std::size_t>(DLLIFC_RECORD_SIZE, size - at));
    const int r = calls.Dispatch(record);
    if (r != 0 && r != 1) __builtin_trap();
    ++events;
    // Every record has its tree item and four children, nothing else is there.
    std::size_t tops = 0;
    for (const auto& [id, node] : tree.nodes) tops += node.parent == 0;
    const auto records = calls.Records();
    if (records.size() > events || tops != records.size() || tree.nodes.size() != records.size() * 5)
      __builtin_trap();
    for (const auto& rec : records) {
      if (!tree.nodes.count(rec.item) || tree.nodes[rec.item].text != rec.text) __builtin_trap();
      for (std::int32_t child : rec.children)
        if (!tree.nodes.count(child) || tree.nodes[child].parent != rec.item) __builtin_trap();
    }
  }
  calls.Clear();
  if (!tree.nodes.empty() || calls.Size() != 0) __builtin_trap();
  return 0;
}
