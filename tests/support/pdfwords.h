// The words of a PDF with their boxes in points, as pdftotext -bbox reads
// them (poppler-utils), and the words grouped into lines.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

inline constexpr double kPointsPerMm = 72.0 / 25.4;

struct PdfWord {
  int page;
  double xMin, yMin, xMax, yMax;
  std::string text;  // UTF-8
  bool operator==(const PdfWord&) const = default;
};

inline bool HavePoppler() { return std::system("pdftotext -v >/dev/null 2>&1") == 0; }

inline std::string ShellOutput(const std::string& cmd) {
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

inline std::vector<PdfWord> PdfWords(const std::string& pdf) {
  const std::string html = ShellOutput("pdftotext -bbox '" + pdf + "' - 2>/dev/null");
  static const std::regex word(
      R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}};
  std::vector<PdfWord> words;
  int page = 0;
  std::istringstream in(html);
  for (std::string line; std::getline(in, line);) {
    if (line.find("<page ") != std::string::npos) ++page;
    std::smatch m;
    if (!std::regex_search(line, m, word)) continue;
    std::string text = m[5];
    for (auto [from, to] : kEntities)
      for (std::size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, std::strlen(from), to);
    words.push_back({page, std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), text});
  }
  return words;
}

// Words of one page whose tops lie within half a point, left to right.
struct PdfLine {
  int page;
  double y, yMax;
  std::vector<PdfWord> words;
  std::string Text() const {
    std::string s;
    for (const PdfWord& w : words) s += (s.empty() ? "" : " ") + w.text;
    return s;
  }
};

inline std::vector<PdfLine> PdfLines(const std::vector<PdfWord>& words) {
  std::vector<PdfLine> lines;
  for (const PdfWord& w : words) {
    auto it = std::find_if(lines.begin(), lines.end(),
                           [&](const PdfLine& l) { return l.page == w.page && std::abs(l.y - w.yMin) < 0.5; });
    if (it == lines.end()) {
      lines.push_back({w.page, w.yMin, w.yMax, {}});
      it = lines.end() - 1;
    }
    it->words.push_back(w);
    it->yMax = std::max(it->yMax, w.yMax);
  }
  for (PdfLine& l : lines)
    std::sort(l.words.begin(), l.words.end(), [](const PdfWord& a, const PdfWord& b) { return a.xMin < b.xMin; });
  std::sort(lines.begin(), lines.end(),
            [](const PdfLine& a, const PdfLine& b) { return a.page != b.page ? a.page < b.page : a.y < b.y; });
  return lines;
}

}  // namespace testsupport
