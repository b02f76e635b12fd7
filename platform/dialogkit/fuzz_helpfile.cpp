// A help file of any bytes: the topic of a context id the file names, and of
// one it may not. A topic's text never holds a header or a comment line, and
// never starts or ends with an empty line.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/dialogkit/dlgsupport.h"

namespace {

void CheckBody(const std::string& body) {
  if (!body.empty() && (body.front() == '\n' || body.back() == '\n' || body.back() == ' ')) std::abort();
  for (std::size_t at = 0; at < body.size();) {
    if (body[at] == '#' || body[at] == '[') std::abort();
    const std::size_t nl = body.find('\n', at);
    if (nl == std::string::npos) break;
    at = nl + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  // The id of the file's first header, so that most inputs find a topic.
  std::int32_t named = 0;
  if (const std::size_t open = file.find('['); open != std::string::npos)
    named = static_cast<std::int32_t>(std::strtol(file.c_str() + open + 1, nullptr, 10));
  std::int32_t other = 0;
  std::memcpy(&other, data, size < sizeof other ? size : sizeof other);
  for (std::int32_t id : {named, other}) {
    std::string title = "unset", body = "unset";
    if (plat::dlg::FindHelpTopic(file, id, &title, &body)) {
      CheckBody(body);
      if (title.find('\n') != std::string::npos) std::abort();
    } else if (title != "unset" || body != "unset") {
      std::abort();  // a miss leaves the caller's texts alone
    }
  }
  return 0;
}
