#include "print/jobs.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/fileio.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/printdlg.h"

namespace marpel {
namespace {

PrintJob g_jobs[10];
PageLayout* g_layouts = new PageLayout[10];  // kept to exit: layouts outlive jobs
std::unique_ptr<QPrinter> g_defaultPrinter;
std::uint16_t g_nextDevice = 1;

constexpr std::uint16_t kNoJob = 0xFFFF;

bool IsText(std::uint16_t kind) { return kind == 5 || kind == 6; }
const char* TextOf(std::uint16_t kind, const void* data) {
  return IsText(kind) ? static_cast<const char*>(data) : nullptr;
}

// "Error on StartDoc" is shown from the queue, never inside the command that
// failed (a caller may be in its own dialog's handler).
class StartDocError : public plat::IMessageTarget {
 public:
  plat::LRESULT OnMessage(const plat::Message&) override {
    plat::MessageBox(0, "Error on StartDoc", "Marpel", plat::MB_OK | plat::MB_ICONERROR);
    return 0;
  }
  plat::WindowId Id() {
    if (!id_ || !plat::IsTarget(id_)) id_ = plat::RegisterTarget(this);
    return id_;
  }

 private:
  plat::WindowId id_ = 0;
};

StartDocError& StartError() {
  static StartDocError* e = new StartDocError;
  return *e;
}

// --- handlers ---

using Handler = int (*)(PrintJob&, std::uint16_t command, std::uint16_t sub, std::uint16_t kind, const void* data);

struct Row {
  std::uint32_t command;
  std::uint32_t fileType;
  Handler handler;
};

int WriteLine(PrintJob& job, std::uint16_t, std::uint16_t, std::uint16_t kind, const void* data) {
  const char* text = TextOf(kind, data);
  if (!text || job.fd < 0) return 0;
  std::string line = text;
  line += "\r\n";
  return plat::io::Write(job.fd, line.data(), line.size()) ? 1 : 0;
}

int PrinterTabbed(PrintJob& job, std::uint16_t, std::uint16_t, std::uint16_t kind, const void* data) {
  Surface* s = UsableSurface(job);
  if (!s || !IsText(kind)) return 0;
  return Engine(LayoutOf(job.id), *s).TabbedLine(TextOf(kind, data));
}

int MarginMeasure(std::uint16_t sub, std::uint16_t kind, const void* data, Measure* m) {
  double v = 0;
  if (kind >= 2 && kind <= 4) {
    if (!data) return 0;
    std::int16_t n;
    std::memcpy(&n, data, sizeof n);
    v = n;
  } else if (IsText(kind)) {
    if (!data || !ReadNumber(static_cast<const char*>(data), &v)) return 0;
  } else {
    return 0;
  }
  m->value = v;
  m->unit = sub == 13 ? kPercent : sub == 16 ? kMm : kDevice;
  return 1;
}

int PrinterDocument(PrintJob& job, std::uint16_t command, std::uint16_t sub, std::uint16_t kind, const void* data) {
  Surface* s = UsableSurface(job);
  if (!s) return 0;
  Engine e(LayoutOf(job.id), *s);
  switch (command) {
    case 1:
      if (e.StartDocument(job.name)) return 1;
      job.startFailed = true;
      plat::PostMessage(StartError().Id(), plat::WM_USER);
      return 0;
    case 2: {
      const int ended = e.EndDocument();
      FreeSurface(job);
      return ended;
    }
    case 9: return e.PageHeader(sub, TextOf(kind, data));
    case 10: return e.PageFooter(TextOf(kind, data));
    case 17:
    case 18: {
      Measure m;
      return MarginMeasure(sub, kind, data, &m) ? e.Margin(command == 18, m) : 0;
    }
    default: return 0;
  }
}

int PrinterTable(PrintJob& job, std::uint16_t command, std::uint16_t sub, std::uint16_t kind, const void* data) {
  Surface* s = UsableSurface(job);
  if (!s) return 0;
  Engine e(LayoutOf(job.id), *s);
  const char* text = TextOf(kind, data);
  switch (command) {
    case 6: return e.BeginTable(text);
    case 7: return e.EndTable();
    case 8: return e.TableHeader(sub, text);
    case 32: return e.TableRow(text);
    case 33: return e.TableLine();
    case 34: return e.Latex(text);
    default: return 0;
  }
}

int PrinterText(PrintJob& job, std::uint16_t, std::uint16_t, std::uint16_t kind, const void* data) {
  Surface* s = UsableSurface(job);
  if (!s) return 0;
  return Engine(LayoutOf(job.id), *s).TextAt(TextOf(kind, data));
}

constexpr std::uint32_t kEnd = 50;

const Row kFileTable[] = {
    {11, 1, WriteLine},
    {11, 4, nullptr},  // printers: the second table
    {kEnd, 0, nullptr},
};

const Row kPrinterTable[] = {
    {11, 4, PrinterTabbed},   {12, 4, PrinterTabbed},   {1, 4, PrinterDocument},  {2, 4, PrinterDocument},
    {9, 4, PrinterDocument},  {10, 4, PrinterDocument}, {17, 4, PrinterDocument}, {18, 4, PrinterDocument},
    {6, 4, PrinterTable},     {7, 4, PrinterTable},     {8, 4, PrinterTable},     {32, 4, PrinterTable},
    {33, 4, PrinterTable},    {34, 4, PrinterTable},    {22, 4, PrinterText},     {kEnd, 0, nullptr},
};

Handler Find(const Row* table, std::uint32_t command, std::uint32_t fileType) {
  for (const Row* r = table; r->command != kEnd; ++r)
    if (r->command == command && r->fileType == fileType && r->handler) return r->handler;
  return nullptr;
}

// Commands 3 and 4: the -1 among the first 64 numbers and every stop in
// 0-32767, else the list is refused.
std::uint16_t SetTabStops(PrintJob& job, std::uint16_t command, std::uint16_t kind, const void* data) {
  PageLayout& l = LayoutOf(job.id);
  if (kind != 2 && kind != 4) {
    l.tabStops.clear();
    return 0;
  }
  if (!data) return 0;
  const auto* list = static_cast<const std::int32_t*>(data);
  std::int32_t values[64];
  std::size_t n = 0;
  for (;; ++n) {
    if (n == 64) return 0;  // never read past the 64th number
    std::int32_t v;
    std::memcpy(&v, list + n, sizeof v);
    if (v == -1) break;
    if (v < 0 || v > 32767) return 0;
    values[n] = v;
  }
  std::int64_t width = 0;
  if (command == 3) {
    Surface* s = UsableSurface(job);
    if (!s) return 0;
    width = s->Info().width;
  }
  l.tabStops.assign(values, values + n);
  if (command == 3)
    for (auto& stop : l.tabStops) stop = static_cast<std::int32_t>(std::min<std::int64_t>(stop * width / 100, 0x7FFFFFFF));
  return static_cast<std::uint16_t>(n);
}

void FreeSlot(PrintJob& job) {
  job.id = -1;
  job.name.clear();
  job.fileType = 1;
  job.deleteFlag = 1;
  job.fd = -1;
  job.owner = 0;
  job.startFailed = false;
}

}  // namespace

PrintJob* FindJob(std::uint16_t id) {
  if (id > 9 || g_jobs[id].id != static_cast<std::int16_t>(id)) return nullptr;
  return &g_jobs[id];
}

PageLayout& LayoutOf(std::uint16_t slot) { return g_layouts[slot]; }

Surface* UsableSurface(PrintJob& job) { return job.startFailed ? nullptr : job.surface.get(); }

void BindSurface(PrintJob& job, std::unique_ptr<Surface> surface) {
  FreeSurface(job);
  job.surface = std::move(surface);
  job.startFailed = false;
  job.deviceNumber = g_nextDevice++;
  if (g_nextDevice == 0) g_nextDevice = 1;
}

void FreeSurface(PrintJob& job) {
  if (job.surface) job.surface->Abort();
  job.surface.reset();
  job.startFailed = false;
  PageLayout& l = LayoutOf(static_cast<std::uint16_t>(job.id));
  l.inDocument = false;
  l.table.active = false;
  l.table.lineUnderHeader = false;
  l.surfaceFontSet = false;
  l.surfaceOf = nullptr;
}

std::uint16_t CreatePrintFile(const char* fileName, std::uint32_t fileType, std::uint32_t deleteFlag) {
  if (!fileName || fileType > 4) return kNoJob;
  for (std::uint16_t i = 0; i < 10; ++i) {
    PrintJob& job = g_jobs[i];
    if (job.id != -1) continue;
    int fd = -1;
    if (fileType == 0) {
      fd = plat::io::Open(fileName, O_RDONLY);
    } else if (fileType != 4) {
      fd = plat::io::Open(fileName, O_RDWR | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0 && fileType == 2) {
        static const char kHeader[] = "\\documentstyle[german, 12pt]{article}\r\n";
        if (!plat::io::Write(fd, kHeader, sizeof kHeader - 1)) {
          plat::io::Close(fd);
          return kNoJob;
        }
      }
    }
    if (fileType != 4 && fd < 0) return kNoJob;
    job.id = static_cast<std::int16_t>(i);
    job.name = fileName;
    job.fileType = fileType;
    job.deleteFlag = deleteFlag;
    job.fd = fd;
    return i;
  }
  return kNoJob;
}

std::uint16_t ReleasePrintJob(std::uint16_t id) {
  PrintJob* job = FindJob(id);
  if (!job) return 0;
  if (job->fd >= 0) {
    plat::io::Fsync(job->fd);
    plat::io::Close(job->fd);
  }
  // Only a plain file of this job is deleted: a printer job's name is a
  // document name, and a file of that name is the user's.
  if (job->deleteFlag == 1 && job->fileType != 4 && !job->name.empty()) plat::io::Unlink(job->name.c_str());
  FreeSurface(*job);
  LayoutOf(id).tabStops.clear();
  FreeSlot(*job);
  return 1;
}

std::uint16_t ConfigPrintJobEx(std::uint16_t id, plat::WindowId owner) {
  PrintJob* job = FindJob(id);
  if (!job) return 0;
  job->owner = owner;
  std::unique_ptr<QPrinter> printer = plat::ChoosePrinter(owner, job->name);
  if (!printer) return 0;
  BindSurface(*job, MakeQtSurface(std::move(printer)));
  return 1;
}

std::uint16_t ConfigPrintJob(plat::WindowId) {
  g_defaultPrinter = plat::DefaultPrinter("");
  return g_defaultPrinter ? 1 : 0;
}

std::uint16_t PrintFile(const char* path) {
  if (!path || !g_defaultPrinter) return 0;
  std::FILE* in = std::fopen(path, "rb");
  if (!in) return 0;
  std::unique_ptr<Surface> s = MakeQtSurface(std::move(g_defaultPrinter));
  PageLayout layout;
  Engine e(layout, *s);
  const Resolution r = s->Info().Res();
  s->SetFont(SpecFor(FontChoice{}, r));
  if (!s->Begin(path)) {
    std::fclose(in);
    plat::PostMessage(StartError().Id(), plat::WM_USER);
    return 0;
  }
  const int height = s->Info().height;
  std::int64_t y = height / 4;
  int last = 0;
  char buf[128];
  while (std::fgets(buf, sizeof buf, in)) {
    if (height < y || height < y + last) {
      s->NewPage();
      y = 50;
    }
    if (buf[0] != '\0' && buf[0] != '\r' && buf[0] != '\n') {
      std::size_t n = std::strlen(buf);
      while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n')) --n;
      last = e.Tabbed(150, static_cast<int>(y), std::string_view(buf, n), true).cy;
    }
    y += last;
  }
  std::fclose(in);
  s->End();
  return 1;
}

std::uint16_t SetSequence(std::uint16_t id, std::uint16_t command, std::uint16_t sub, std::uint16_t kind,
                          const void* data) {
  PrintJob* job = FindJob(id);
  if (!job) return 0;
  Handler h = Find(kFileTable, command, job->fileType);
  if (!h) h = Find(kPrinterTable, command, job->fileType);
  if (h) return static_cast<std::uint16_t>(h(*job, command, sub, kind, data));
  if (command == 3 || command == 4) return SetTabStops(*job, command, kind, data);
  return 0;
}

std::uint16_t SetPageStyle(std::uint16_t id, const char* text) {
  if (!text) return 0;
  if (std::strcmp(text, "dina4") != 0) return SetSequence(id, 34, 22, 5, text);
  PrintJob* job = FindJob(id);
  if (!job || job->fileType != 4) return 0;
  Surface* s = UsableSurface(*job);
  if (!s) return 0;
  return static_cast<std::uint16_t>(Engine(LayoutOf(id), *s).PageStyleDina4());
}

std::uint16_t GetDeviceCaps(std::uint16_t id, std::uint16_t index) {
  PrintJob* job = FindJob(id);
  if (!job || job->fileType != 4) return 0;
  Surface* s = UsableSurface(*job);
  if (!s) return 0;
  const DeviceInfo d = s->Info();
  auto mm = [](int px, double dpi) { return dpi > 0 ? static_cast<std::int64_t>(std::lround(px * 25.4 / dpi)) : 0; };
  std::int64_t v = 0;
  switch (index) {
    case 4: v = mm(d.width, d.dpiX); break;
    case 6: v = mm(d.height, d.dpiY); break;
    case 8: v = d.width; break;
    case 10: v = d.height; break;
    case 12: v = d.depth; break;
    case 14: v = 1; break;
    // A pixel's relative width, height and diagonal.
    case 40: v = std::lround(d.dpiY); break;
    case 42: v = std::lround(d.dpiX); break;
    case 44: v = std::lround(std::sqrt(d.dpiX * d.dpiX + d.dpiY * d.dpiY)); break;
    case 88: v = std::lround(d.dpiX); break;
    case 90: v = std::lround(d.dpiY); break;
    case 1280: v = job->deviceNumber; break;
    default: v = 0; break;
  }
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(v, 0, 32767));
}

std::uint16_t GetDimension(std::uint16_t id, std::uint16_t which, const char* text) {
  PrintJob* job = FindJob(id);
  if (!job || job->fileType != 4 || !text || (which != 1 && which != 2)) return 0;
  Surface* s = UsableSurface(*job);
  if (!s) return 0;
  const Extent e = Engine(LayoutOf(id), *s).TextExtent(text);
  return static_cast<std::uint16_t>(std::clamp(which == 1 ? e.cx : e.cy, 0, 32767));
}

std::uint16_t SetInternalParam(const char* name, const char* value) {
  if (!name) return 0;
  const bool on = value && (strncasecmp(value, "on", 2) == 0 || strncasecmp(value, "ein", 3) == 0);
  if (std::strcmp(name, "FontLogging") == 0) Log().fonts = on;
  else if (std::strcmp(name, "GlobalLogging") == 0) Log().trace = on;
  return 0;
}

std::uint16_t ConvertUnit(std::uint16_t id, std::uint32_t from, float value, std::uint32_t* toUnit, float* result) {
  PrintJob* job = FindJob(id);
  if (!job || !toUnit || !result) return 0;
  Resolution r;
  if (Surface* s = UsableSurface(*job)) r = s->Info().Res();
  double out = 0;
  // Device units without a printer have no size: that is a failure, not 0.
  if (from > 4 || *toUnit > 4 || !ConvertExact(static_cast<int>(from), static_cast<int>(*toUnit), value, r, &out))
    return 0;
  out = std::round(out * 10) / 10;
  if (!std::isfinite(out)) return 0;
  *result = static_cast<float>(std::clamp(out, -3.0e38, 3.0e38));
  return 1;
}

void ResetLibrary() {
  for (std::uint16_t i = 0; i < 10; ++i) {
    if (g_jobs[i].id != -1) ReleasePrintJob(i);
    g_layouts[i].~PageLayout();
    new (&g_layouts[i]) PageLayout();
  }
  FontSlot* fontTable = FontSlots();
  for (int i = 6; i < kFontSlots; ++i) fontTable[i] = FontSlot{};
  Log() = Logging{};
  g_defaultPrinter.reset();
}

}  // namespace marpel
