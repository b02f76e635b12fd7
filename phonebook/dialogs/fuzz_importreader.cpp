// The import reader on arbitrary bytes: decoding, quotes, lines and
// columns, the digit scan, and rendering the columns as a template.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "phonebook/dialogs/importreader.h"
#include "phonebook/dialogs/pbrecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char separator = ",;\t"[data[0] % 3];
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string text;
  if (!pb::DecodeImportText(bytes, &text)) return 0;
  pb::ImportLines lines(text, separator);
  std::vector<std::string> cols;
  std::size_t total = 0;
  pb::PbRecord r;
  while (lines.Next(&cols)) {
    if (cols.empty()) __builtin_trap();
    for (std::size_t i = 0; i < cols.size(); ++i) {
      total += cols[i].size();
      r.Set(static_cast<int>(i % 15), cols[i]);
      (void)pb::HasNonZeroLeadingDigits(cols[i]);
    }
    // Columns never hold more than the text they came from.
    if (total > text.size() * 2 + 2) __builtin_trap();
    (void)pb::Render(r, cols[0]);
    (void)pb::RenderForPrint(r, cols.back());
  }
  return 0;
}
