#include "phonebook/dialogs/printrecords.h"

#include "print/marpel32.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace pb {

namespace {

class LibrarySink : public IPrintSink {
 public:
  std::uint16_t Create(const std::string& name) override {
    return MARPLAPICreatePrintFile(name.c_str(), MARPL_FILE_PRINTER, MARPL_KEEP_FILE);
  }
  bool Configure(std::uint16_t job, plat::WindowId owner) override { return MARPLAPIConfigPrintJobEx(job, owner) == 1; }
  void Command(std::uint16_t job, std::uint16_t command, std::uint16_t sub, std::uint16_t kind,
               const void* data) override {
    MARPLAPISetSequence(job, command, sub, kind, data);
  }
  void Release(std::uint16_t job) override { MARPLAPIReleasePrintJob(job); }
};

IPrintSink*& SinkSlot() {
  static IPrintSink* sink = nullptr;
  return sink;
}

constexpr std::int16_t kMarginMm = 15;
constexpr std::int32_t kTabStops[] = {525, 850, 1165, 1515, 1899, -1};

std::string Label(int entry) { return plat::GetTextOr(plat::TextId(11, entry), ""); }

void PrintOne(IPrintSink& sink, std::uint16_t job, const PbRecord& r, const std::string& tpl) {
  for (const std::string& line : RenderForPrint(r, tpl))
    sink.Command(job, MARPL_CMD_TABBED_LINE, 0, MARPL_KIND_TEXT, line.c_str());
  for (int i = 0; i < 2; ++i) sink.Command(job, MARPL_CMD_TABBED_LINE, 0, MARPL_KIND_TEXT, "");
}

void Latex(IPrintSink& sink, std::uint16_t job, const char* command) {
  sink.Command(job, MARPL_CMD_LATEX, MARPL_SUB_DEFAULT, MARPL_KIND_TEXT, command);
}

}  // namespace

IPrintSink& PrintSink() {
  static LibrarySink library;
  return SinkSlot() ? *SinkSlot() : library;
}
void SetPrintSink(IPrintSink* sink) { SinkSlot() = sink; }

std::string PrintTemplate(bool withNote) {
  std::string tpl = plat::StrFormatC("%s \t%%%c\r\n%s \t%%%c-%%%c %%%c, %%%c %%%c\r\n%s \t%%%c %%%c\r\n%s \t%%%c \r\n%s \t%%%c",
                                     Label(56).c_str(), 'c', Label(57).c_str(), 'g', 'b', 't', 's', 'h',
                                     Label(58).c_str(), 'k', 'n', Label(59).c_str(), 'i', Label(60).c_str(), 'x');
  if (withNote) tpl += plat::StrFormatC("\r\n%s \t%%%c", Label(61).c_str(), 'f');
  return tpl;
}

std::string PrintDocumentName(const PbRecord* one) {
  std::string name = plat::GetTextOr(plat::TextId(11, 67), "Datenbank");
  if (!one) return name;
  std::string who = FlattenBreaks(one->text[kCompany] + " " + one->text[kName], true);
  if (who.find_first_not_of(' ') == std::string::npos) who = FlattenBreaks(one->text[kNumber], true);
  // A printer to files names the file after the document: no folders.
  for (char& c : who)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '-';
  const std::size_t first = who.find_first_not_of(' '), last = who.find_last_not_of(' ');
  who = first == std::string::npos ? std::string("?") : who.substr(first, last - first + 1);
  return name + " - " + who;
}

int PrintRecords(plat::WindowId owner, IPhoneBookStore& store, const std::vector<std::int64_t>* hits,
                 const PbRecord* one) {
  IPrintSink& sink = PrintSink();
  const std::uint16_t job = sink.Create(PrintDocumentName(one));
  if (job == MARPL_NO_JOB) return 0;
  if (!sink.Configure(job, owner)) {
    sink.Release(job);
    return 0;
  }
  // The library keeps a job slot's page from job to job: a report's header
  // and font are not this document's. The document takes its first
  // position from the margins it starts with; the foot skip keeps the
  // bottom of the sheet free on any paper.
  sink.Command(job, MARPL_CMD_PAGE_HEADER, MARPL_SUB_HEADER_SET, MARPL_KIND_TEXT, "");
  sink.Command(job, MARPL_CMD_PAGE_FOOTER, 0, MARPL_KIND_TEXT, "");
  Latex(sink, job, "\\rm");
  sink.Command(job, MARPL_CMD_LEFT_MARGIN, MARPL_SUB_MM, MARPL_KIND_NUMBER, &kMarginMm);
  sink.Command(job, MARPL_CMD_TOP_MARGIN, MARPL_SUB_MM, MARPL_KIND_NUMBER, &kMarginMm);
  Latex(sink, job, "\\footskip{15mm}");
  sink.Command(job, MARPL_CMD_TABS_DEVICE, 0, MARPL_KIND_NUMBER, kTabStops);
  sink.Command(job, MARPL_CMD_START_DOC, 0, MARPL_KIND_NONE, nullptr);
  int printed = 0;
  if (one) {
    PrintOne(sink, job, *one, PrintTemplate(true));
    printed = 1;
  } else {
    // Exactly the records there are, each once; deleted ones are not printed.
    const std::string tpl = PrintTemplate(false);
    PbRecord r;
    if (hits) {
      for (std::int64_t offset : *hits)
        if (store.ReadAt(offset, &r) && r.inUse) PrintOne(sink, job, r, tpl), ++printed;
    } else {
      store.ForEach([&](const PbRecord& each) {
        if (each.inUse) PrintOne(sink, job, each, tpl), ++printed;
        return true;
      });
    }
  }
  // The reports that may take this slot next count on no foot skip.
  Latex(sink, job, "\\footskip{0mm}");
  sink.Command(job, MARPL_CMD_END_DOC, 0, MARPL_KIND_NONE, nullptr);
  sink.Release(job);
  return printed;
}

}  // namespace pb
