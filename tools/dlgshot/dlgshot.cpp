// Renders dialogs offscreen to PNG files, so that their look can be checked
// without a display: dlgshot [output folder]
#include <QApplication>
#include <QDialog>
#include <QPixmap>
#include <QTabBar>
#include <QTreeWidget>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/callwin/assistantdlg.h"
#include "app/callwin/dialdlg.h"
#include "app/callwin/newrecordquestiondlg.h"
#include "charges/counter/readoutquestiondlg.h"
#include "app/dialogs/calldatadlg.h"
#include "app/dialogs/subscriberoverviewdlg.h"
#include "charges/calldata/calldatareport.h"
#include "charges/calldata/selectedcallinfolist.h"
#include "charges/counter/sumchargerecords.h"
#include "charges/dialogs/chargereportdlg.h"
#include "charges/dialogs/extensioninfodlg.h"
#include "charges/dialogs/totalchargesdlg.h"
#include "charges/handler/chargeandloghandler.h"
#include "charges/handler/chargewire.h"
#include "core/monitor/monitortable.h"
#include "core/service/servicerecordfile.h"
#include "charges/dialogs/callevaluationdlg.h"
#include "app/lists/callbackdlg.h"
#include "app/lists/callbacklist.h"
#include "app/lists/misseddlg.h"
#include "app/lists/missedcalls.h"
#include "app/lists/shortdialdlg.h"
#include "app/frame/mainframe.h"
#include "app/plugins/pluginbinding.h"
#include "app/program/brimlowapp.h"
#include "libs/texts/texts_source.h"
#include "platform/paths.h"
#include "platform/qtext.h"
#include "platform/text.h"
#include "core/base/globalconfig.h"
#include "core/callhandler/callhandler.h"
#include "core/settingsdlg/generalsettingsdlg.h"
#include "libs/dialogs/kestrum.h"
#include "phonebook/database.h"
#include "phonebook/dialogs/databasedlg.h"
#include "phonebook/dialogs/dbview.h"
#include "phonebook/dialogs/exportdlg.h"
#include "phonebook/dialogs/importdlg.h"
#include "phonebook/dialogs/pickerdlg.h"
#include "phonebook/dialogs/searchdlg.h"
#include "phonebook/store/dbstore.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "print/marpel32.h"

namespace {

bool g_failed = false;

// A dialog id is unique only within its deliverable, so every shot names it;
// the file name carries it where another deliverable ships the same id.
std::string ShotName(const char* deliverable, int id, const std::string& out, const char* suffix = "") {
  bool ambiguous = plat::dlg::DeliverablesWithTemplate(id).size() > 1;
  return out + "/dialog" + (ambiguous ? std::string(deliverable) + "-" : std::string()) + std::to_string(id) +
         suffix + ".png";
}

// A window or a part of one as it stands on the screen.
void ShootWidget(QWidget* w, const std::string& file) {
  QApplication::processEvents();
  QPixmap shot = w->grab();
  if (shot.isNull() || !shot.save(QString::fromStdString(file), "PNG")) {
    std::fprintf(stderr, "dlgshot: cannot write %s\n", file.c_str());
    g_failed = true;
  } else {
    std::printf("%s (%dx%d)\n", file.c_str(), shot.width(), shot.height());
  }
}

// The dialog as it stands on the screen, modal or modeless.
void ShootNow(plat::Dialog& d, const std::string& file) { ShootWidget(d.Window(), file); }

plat::DialogScript::Steps& Shoot(plat::DialogScript& s, const char* deliverable, int id,
                                 const std::string& out) {
  std::string file = ShotName(deliverable, id, out);
  return s.When(deliverable, id).Do([file](plat::Dialog& d) { ShootNow(d, file); });
}

void ShootCallWindows(const std::string& out) {
  {
    CAssistantDlg a;
    a.Create(0);
    a.Notify(1056, 0, static_cast<plat::LPARAM>(reinterpret_cast<std::intptr_t>("21")));
    ShootNow(a, ShotName(plat::dlg::kProgram, 102, out, "-idle"));
    CCallInfo call;
    call.direction = CCallInfo::kIncoming;
    call.callingCompany = "Muster GmbH";
    call.callingName = "Herr Meier";
    call.callingNumber = "0301234567";
    call.calledNumber = "21";
    call.state = CCallInfo::kRinging;
    CCallInfo second;
    second.direction = CCallInfo::kIncoming;
    second.callingNumber = "0407777";
    second.callingName = "Schulz";
    a.Notify(1029, 10, static_cast<plat::LPARAM>(reinterpret_cast<std::intptr_t>(&call)));
    a.Notify(1046, 10, static_cast<plat::LPARAM>(reinterpret_cast<std::intptr_t>(&second)));
    ShootNow(a, ShotName(plat::dlg::kProgram, 102, out, "-call"));
  }
  {
    CDialDlg k;
    k.Create(0);
    k.SetItemText(CDialDlg::IDC_NUMBER, "0301234567");
    k.AddString(CDialDlg::IDC_DIALLED, "22");
    ShootNow(k, ShotName(plat::dlg::kProgram, 108, out));
  }
  {
    CNewRecordQuestionDlg q;
    q.Create(0);
    ShootNow(q, ShotName(plat::dlg::kProgram, 173, out));
  }
}

// The subscriber overview with a full monitor table, and the own
// workstation's call data with a few calls.
void ShootOverviewAndCallData(const std::string& out) {
  {
    CMonitorTable table;
    const char* const names[] = {"Empfang", "Vertrieb", "Lager", "Buchhaltung", "Technik"};
    for (int i = 0; i < CMonitorTable::kEntries; ++i) {
      CMonitorEntry e;
      e.SetNumber(std::to_string(10 + i));
      e.name = names[i % 5];
      table.SetEntry(e);
    }
    CSubscriberOverviewDlg overview(&table, nullptr);
    overview.Create(0);
    ShootNow(overview, ShotName(plat::dlg::kProgram, CSubscriberOverviewDlg::kResourceId, out));
  }
  const auto dir = std::filesystem::temp_directory_path() / ("dlgshot_182_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  {
    CSelectedCallInformationList list((dir / "callinfo.txt").string());
    const char* const partners[] = {"0301234567", "22", "0897654321"};
    for (int i = 0; i < 3; ++i) {
      CCallInfo call;
      call.direction = i == 1 ? CCallInfo::kIncoming : CCallInfo::kOutgoing;
      call.callingNumber = i == 1 ? partners[i] : "21";
      call.calledNumber = i == 1 ? "21" : partners[i];
      call.beginTime = 1772701507 - 3600 * (3 - i);
      call.units = static_cast<std::int16_t>(i * 7);
      call.connectedMark = 1;
      list.AddCall(&call);
    }
    plat::DialogScript script;
    Shoot(script, plat::dlg::kProgram, CCallDataDlg::kResourceId, out).Press(plat::IDCANCEL);
    RunCallDataDlg(list, nullptr, 0);
  }
  std::filesystem::remove_all(dir);
}

// The call evaluation on a few charge records, and on the PBX's list.
void ShootEvaluation(const std::string& out) {
  const auto dir = std::filesystem::temp_directory_path() / ("dlgshot_201_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string charges = (dir / "charges.log").string();
  std::string bytes(ChargeFileHeader::kSize, '\0');
  ChargeFileHeader::Default().Serialize(reinterpret_cast<std::uint8_t*>(bytes.data()));
  const char* const from[] = {"21", "22", "0891234567", "23", "25"};
  for (int i = 0; i < 9; ++i) {
    ChargeRecord r;
    r.start = 1772701507u - 86400u + static_cast<std::uint32_t>(i) * 1800u;
    r.duration = static_cast<std::int16_t>(45 + i * 70);
    r.units = static_cast<std::int16_t>(1 + i % 4);
    r.SetCalling(from[i % 5]);
    r.SetCalled(i % 5 == 2 ? "21" : "030123456");
    std::uint8_t b[ChargeRecord::kSize];
    r.Serialize(b);
    bytes.append(reinterpret_cast<char*>(b), sizeof b);
  }
  std::ofstream(charges, std::ios::binary) << bytes;
  const std::string service = (dir / "service.xxx").string();
  std::ofstream(service, std::ios::binary) << "1\t04.03.26\t09:12:00\t00:01:05\t21\t030123456\t2\r\n"
                                              "2\t04.03.26\t10:40:00\t00:12:30\t22\t0891234567\t9\r\n"
                                              "3\t04.03.26\t11:02:00\t00:00:40\t0407777\t23\t0\r\n";
  CGlobalConfig cfg;
  cfg.CPROCON = 1;
  const int recording = GlobalConfig().CPROCON;
  GlobalConfig().CPROCON = 1;
  CMonitorTable table;
  for (const char* n : {"21", "22", "23", "25"}) {
    CMonitorEntry e;
    e.SetNumber(n);
    table.SetEntry(e);
  }
  {
    CChargeAndLogHandler handler(&cfg);
    handler.SetPartners(nullptr, nullptr, nullptr, &table);
    handler.OpenChargeFile(charges);
    handler.SelectExtension("*", 1);
    CServiceRecordFile records;
    records.SetFileName(service);
    CMarpelReportPrinter printer;
    {
      CCallEvaluationDlg d(CCallEvaluationDlg::kChargeFile, &handler, &records, &table, &printer);
      d.Create(0);
      ShootNow(d, ShotName(plat::dlg::kProgram, CCallEvaluationDlg::kResourceId, out));
    }
    {
      CCallEvaluationDlg d(CCallEvaluationDlg::kServiceFile, &handler, &records, &table, &printer);
      d.Create(0);
      ShootNow(d, ShotName(plat::dlg::kProgram, CCallEvaluationDlg::kResourceId, out, "-pbx"));
    }
    handler.CloseFiles();
  }
  GlobalConfig().CPROCON = recording;
  std::filesystem::remove_all(dir);
}

// The lists' dialogs with a few entries, as a user sees them.
void ShootLists(const std::string& out) {
  CCallHandler handler;
  CCallBackList list;
  list.callHandler = &handler;
  auto entry = [&](const char* company, const char* name, const char* number) {
    CCallInfo* c = list.NewCallFor(18);
    c->calledCompany = company;
    c->calledName = name;
    c->calledNumber = number;
    c->callbackCriterion = 1;
    c->callbackType = 3;
    c->callbackTimeBegin = 9 * 3600;
    c->callbackTimeEnd = 17 * 3600 + 30 * 60;
    list.AddCall(c);
  };
  entry("M\xfcller & S\xf6hne", "Herr Maier", "0301234567");
  entry("Stadtwerke", "Frau Schulz", "0407777123");
  entry("", "Herr Krause", "22");
  {
    plat::DialogScript script;
    Shoot(script, plat::dlg::kProgram, 145, out).Select(1141, 1).Press(plat::IDCANCEL);
    RunCallBackListDlg(&list, 0);
  }
  {
    plat::DialogScript script;
    Shoot(script, plat::dlg::kProgram, 124, out).Press(plat::IDCANCEL);
    EditCallBackEntry(list, list.GetCall(1)->callRefId, 0);
  }
  {
    plat::DialogScript script;
    Shoot(script, plat::dlg::kProgram, 171, out).Press(plat::IDCANCEL);
    CGlobalConfig cfg;
    RunCallBackSetupDlg(cfg, 0);
  }
  {
    CMissedCallList missed;
    const char* callers[][3] = {{"0301234567", "M\xfcller & S\xf6hne", "Herr Maier"}, {"0407777123", "", ""},
                                {"0891234", "Stadtwerke", "Frau Schulz"}};
    std::time_t t = plat::WallTime() - 3600;
    for (auto& c : callers) {
      CCallInfo call;
      call.direction = CCallInfo::kIncoming;
      call.calledNumber = "21";
      call.callingNumber = c[0];
      call.callingCompany = c[1];
      call.callingName = c[2];
      call.beginTime = call.endTime = t += 600;
      missed.AddCall(&call);
    }
    plat::DialogScript script;
    Shoot(script, plat::dlg::kProgram, 160, out).Press(plat::IDCANCEL);
    RunMissedCallDlg(&missed, 0);
  }
  {
    plat::DialogScript script;
    Shoot(script, plat::dlg::kProgram, 170, out).Press(plat::IDCANCEL);
    CGlobalConfig cfg;
    RunMissedCallSetupDlg(cfg, 0);
  }
  {
    CShortDialHandler store{std::string()};
    ShortDialEntry e;
    ShortDialEntry::Put(e.company, "Stadtwerke");
    ShortDialEntry::Put(e.salutation, "Frau");
    ShortDialEntry::Put(e.name, "Schulz");
    ShortDialEntry::Put(e.number, "0407777123");
    ShortDialEntry::Put(e.entryText, "Frau Schulz");
    store.SetEntry(3, e);
    plat::DialogScript script;
    Shoot(script, plat::dlg::kProgram, 163, out).Select(1191, 2).Press(plat::IDCANCEL);
    RunShortDialListDlg(&store, nullptr, 0);
    plat::DialogScript edit;
    Shoot(edit, plat::dlg::kProgram, 107, out).Check(1130).Press(plat::IDCANCEL);
    EditShortDialEntry(store, 3, nullptr, 0);
  }
}

// The connection viewer plug-in beside the program, with three calls.
void ShootConnectionViewer(const std::string& out) {
  CConnectionViewerBinding viewer;
  if (viewer.Load(CConnectionViewerBinding::kFileName) != 0 || viewer.Create(0, 36, 0) != 0) {
    std::fprintf(stderr, "dlgshot: the connection viewer plug-in is not there\n");
    g_failed = true;
    return;
  }
  viewer.VisualStateFunction(5, 0);
  auto call = [&](std::uint16_t type, std::uint32_t id, const char* device, const char* calling, const char* called) {
    CSTAMessage m;
    m.SetType(type);
    CSTAConnectionId{id, device, 0}.Write(m, 10);
    m.SetText(148, 64, calling);
    m.SetText(216, 64, called);
    viewer.CSTAMessageHandlerProc(m);
  };
  call(57, 501, "21", "0301234567", "21");
  call(59, 502, "22", "0407777123", "22");
  call(57, 503, "23", "23", "0891234");
  call(61, 502, "22", "", "");
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("dialog129")) {
      if (auto* tree = w->findChild<QTreeWidget*>(QStringLiteral("1000"))) tree->expandAll();
      ShootWidget(w, out + "/dialog-dorvane-129.png");
    }
  viewer.Close();
}

// The display control plug-in beside the program: the overview on its tree
// page and on a group of 16 (a 4 x 4 grid, two tiles set, caught in
// different phases of their blinking), and one tile alone.
void ShootDisplayControl(const std::string& out, plat::ManualLoop& loop) {
  CDisplayControlBinding display;
  if (display.Load(CDisplayControlBinding::kFileName) != 0 || display.Create(0, 37, 0) != 0) {
    std::fprintf(stderr, "dlgshot: the display control plug-in is not there\n");
    g_failed = true;
    return;
  }
  const char* general[] = {"Summen auslesen", "Summen l\xf6schen", "Einzelgespr\xe4" "che auslesen",
                           "Einzelgespr\xe4" "che l\xf6schen"};
  for (int n = 1; n <= 4; ++n) {
    display.SetParamAsString(plat::StrFormatC("Fkt%i.Message", n).c_str(), plat::StrFormatC("%i", 1094 + n).c_str());
    display.SetParamAsString(plat::StrFormatC("GenFkt%i.Message", n).c_str(), plat::StrFormatC("%i", 1099 + n).c_str());
    display.SetParamAsString(plat::StrFormatC("GenFkt%i.Description", n).c_str(), general[n - 1]);
  }
  display.SetParamAsString("Label", "Summenz\xe4hler");
  std::vector<DLLIFC_ITEM> devices;
  const int sizes[] = {16, 5};
  for (int g = 0; g < 2; ++g) {
    DLLIFC_ITEM group = -1;
    display.AddItem(0, &group, 0);
    display.ItemSetParamAsString(group, "Label", plat::StrFormatC("Gr. %d", g + 1).c_str());
    for (int i = 0; i < sizes[g]; ++i) {
      DLLIFC_ITEM d = -1;
      display.AddItem(group, &d, 0);
      display.ItemSetParamAsString(d, "Label", plat::StrFormatC("Zimmer %d", 100 * (g + 1) + i).c_str());
      display.ItemSetParamAsString(d, "SmallLabel", plat::StrFormatC("%d", 20 + i).c_str());
      display.ItemSetParamAsString(d, "Contents", plat::StrFormatC("EUR %5.2f", 0.12 * i).c_str());
      display.ItemSetParamAsString(d, "SmallLabel.BackgroundColor", i % 3 ? "12632256" : "8553215");
      if (g == 0) devices.push_back(d);
    }
  }
  display.VisualStateFunction(768, 1);
  display.VisualStateFunction(767, 1);
  QWidget* overview = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("dialog130")) overview = w;
  QTabBar* tabs = overview ? overview->findChild<QTabBar*>() : nullptr;
  if (!tabs) {
    std::fprintf(stderr, "dlgshot: the display control made no window\n");
    g_failed = true;
    display.Close();
    return;
  }
  ShootWidget(overview, ShotName("tarquel", 130, out, "-tree"));
  tabs->setCurrentIndex(1);
  display.ItemSetParamAsString(devices[1], "State1", "1");
  loop.Advance(500);  // the first one's mark is off now
  display.ItemSetParamAsString(devices[6], "State1", "1");
  ShootWidget(overview, ShotName("tarquel", 130, out, "-tiles"));
  const auto tiles = overview->findChildren<QWidget*>(QStringLiteral("dialog103"));
  if (tiles.size() > 6) ShootWidget(tiles[6], ShotName("tarquel", 103, out));
  display.Close();
}

}  // namespace

// The main frame with its menu, toolbar and status line, and the about box.
void ShootProgram(const std::string& out) {
  {
    plat::DialogScript script;
    Shoot(script, plat::dlg::kProgram, CBrimlowApp::kAboutDialog, out).Press(plat::IDOK);
    CBrimlowApp::RunAboutBox(0);
  }
  {
    CGlobalConfig cfg;
    CMainFrame frame(out + "/mainframe.ini", cfg);
    if (frame.Create()) {
      frame.SetStatusText("TK-Anlage verbunden");
      frame.show();
      QApplication::processEvents();
      const std::string file = out + "/mainframe.png";
      if (!frame.grab().save(QString::fromStdString(file), "PNG")) {
        std::fprintf(stderr, "dlgshot: cannot write %s\n", file.c_str());
        g_failed = true;
      } else {
        std::printf("%s\n", file.c_str());
      }
      std::remove((out + "/mainframe.ini").c_str());
    }
  }
}

// The charge evaluation's dialogs over a charge file of a few calls, read
// out as the PBX answers.
void ShootCharges(const std::string& out, plat::ManualLoop& loop) {
  struct Sink : CPBXMessageSink {
    int ProcessMessage(const CSTAMessage*) override { return 1; }
    int TakeJob(std::uint32_t, int) override { return 0; }
    int GetJobText(char* buffer, std::size_t size) override { return plat::FormatC(buffer, size, "%s", ""); }
  } sink;
  const std::string dir = out + "/charges.tmp";
  std::filesystem::create_directories(dir);
  {
    CGlobalConfig cfg;
    cfg.CPROCON = 1;
    cfg.PPCU = 0.12f;
    cfg.CAUN = "EUR";
    CMonitorTable table;
    const char* const names[] = {"Empfang", "Vertrieb", "Lager"};
    for (int i = 0; i < 3; ++i) {
      CMonitorEntry e;
      e.SetNumber(std::to_string(21 + i));
      e.name = names[i];
      e.watchMode = 2;
      table.SetEntry(e);
    }
    CChargeAndLogHandler handler(&cfg);
    handler.SetPartners(nullptr, nullptr, &sink, &table);
    if (handler.OpenChargeFile(dir + "/charproc.log") == 1) {
      const std::uint32_t now = static_cast<std::uint32_t>(plat::WallTime());
      handler.SelectExtension("*", 1);
      handler.SetTimeRange(now - 7 * 86400, now + 86400);
      handler.StartAllRecordsReadOut();
      handler.ProcessChargeMessage(chargewire::CountReply(17, "6"));
      handler.ProcessChargeMessage(chargewire::CountReply(1, "6"));
      const char* const called[] = {"0301234567", "22", "0897654321", "0403333", "21", "0307777"};
      for (int i = 0; i < 6; ++i)
        handler.ProcessChargeMessage(chargewire::RecordReply(i, now - 86400 * (6 - i), 35 + 47 * i, 1 + i % 3,
                                                             std::to_string(21 + i % 3), called[i]));
      loop.RunUntilIdle();
      CMarpelReportPrinter printer;  // nothing is printed
      {
        plat::DialogScript script;
        Shoot(script, plat::dlg::kProgram, CChargeReportDlg::kResourceId, out)
            .Press(CChargeReportDlg::IDC_SELECT)
            .Do([&](plat::Dialog&) { loop.RunUntilIdle(); })
            .Press(plat::IDCANCEL);
        Shoot(script, plat::dlg::kProgram, CSelectionCriteriaDlg::kResourceId, out).Press(plat::IDCANCEL);
        RunChargeReportDlg(&handler, &table, &printer, 0);
        loop.RunUntilIdle();
      }
      {
        handler.ProcessChargeMessage(chargewire::DeviceReply(19, "3"));
        CTotalChargesDlg totals(&handler, &printer);
        plat::DialogScript script;
        const std::string file = ShotName(plat::dlg::kProgram, CTotalChargesDlg::kResourceId, out);
        script.When(plat::dlg::kProgram, CTotalChargesDlg::kResourceId)
            .Do([&](plat::Dialog& d) {
              handler.ProcessChargeMessage(chargewire::UnitsReply("10", 17, "21"));
              handler.ProcessChargeMessage(chargewire::UnitsReply("11", 3, "22"));
              handler.ProcessChargeMessage(chargewire::UnitsReply("12", 0, "23"));
              handler.ProcessChargeMessage(chargewire::UnitsReply("13", 0, ""));
              loop.RunUntilIdle();
              ShootNow(d, file);
            })
            .Press(plat::IDCANCEL);
        totals.DoModal(0);
        loop.RunUntilIdle();
      }
    }
    SumChargeExtension ext("21");
    ext.name = "Empfang";
    ext.SetComment("Besprechungsraum, 2. OG");
    ext.lastReset = static_cast<std::int32_t>(plat::WallTime()) - 3 * 86400;
    ext.showCheckIn = 1;
    plat::DialogScript script;
    Shoot(script, plat::dlg::kProgram, CExtensionInfoDlg::kResourceId, out).Press(plat::IDCANCEL);
    CExtensionInfoWindow(&table).ShowExtensionInfo(ext, 0);
  }
  std::filesystem::remove_all(dir);
}

// The phone book's dialogs over a small phone book file.
void ShootPhoneBook(const std::string& out) {
  const std::string dir = out + "/dlgshot-phonebook";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  {
    CMyDataBase db;
    db.SetLogSink([](const std::string&) {});
    db.Open(dir + "/phone.db");
    pb::CDataBaseStore store(db);
    const char* const rows[][6] = {
        {"M\xfcller & S\xf6hne", "Herr", "Maier", "0301234567", "Hauptstra\xdf" "e", "Berlin"},
        {"Stadtwerke", "Frau", "Schulz", "0407777123", "Am Hafen", "Hamburg"},
        {"Muster GmbH", "Herr", "Krause", "0891234", "Ringweg", "M\xfcnchen"}};
    pb::PbRecord shown;
    for (const auto& row : rows) {
      pb::PbRecord r;
      r.Set(pb::kCompany, row[0]);
      r.Set(pb::kTitle, row[1]);
      r.Set(pb::kName, row[2]);
      r.Set(pb::kNumber, row[3]);
      r.Set(pb::kStreet, row[4]);
      r.Set(pb::kTown, row[5]);
      r.Set(pb::kNote, "R\xfc" "ckruf erbeten\r\nnur vormittags");
      r.external = true;
      store.Save(r);
      if (!shown.offset) shown = r;
    }
    {
      pb::CDataBaseDlg dlg(&store);
      dlg.Create(0);
      ShootNow(dlg, ShotName(plat::dlg::kProgram, pb::CDataBaseDlg::kResourceId, out, "-view"));
      dlg.RunSearch(pb::FieldName(pb::kCompany), "M*", 1, false);
      ShootNow(dlg, ShotName(plat::dlg::kProgram, pb::CDataBaseDlg::kResourceId, out, "-hits"));
    }
    {
      pb::CDBViewDlg view(store, shown, 0, 0);
      view.Create(0);
      ShootNow(view, ShotName(plat::dlg::kProgram, pb::CDBViewDlg::kResourceId, out));
    }
    {
      plat::DialogScript script;
      Shoot(script, plat::dlg::kProgram, pb::CPhoneBookDlg::kResourceId, out).Select(pb::CPhoneBookDlg::IDC_LIST, 1)
          .Press(plat::IDCANCEL);
      pb::CPhoneBookPicker picker(store);
      PickedRecord got;
      picker.Pick(0, &got);
    }
    {
      plat::DialogScript script;
      Shoot(script, plat::dlg::kProgram, pb::CSearchDlg::kResourceId, out).Press(plat::IDCANCEL);
      pb::CSearchDlg search;
      search.DoModal(0);
    }
    {
      plat::DialogScript script;
      Shoot(script, plat::dlg::kProgram, pb::CImportDlg::kResourceId, out).Press(plat::IDCANCEL);
      pb::CImportDlg import(store);
      import.path = dir + "/kunden.csv";
      import.DoModal(0);
    }
    {
      std::ofstream(dir + "/kunden.csv", std::ios::binary)
          << "Firma;Name;Telefon;Ort\r\nB\xe4" "ckerei Korn;M\xfcller;0611 22 33;Wiesbaden\r\n";
      pb::CDataBaseImportFileChecker checker;
      checker.SetSeparator(';');
      checker.AddLink(0, pb::kCompany);
      checker.AddLink(2, pb::kNumber);
      plat::DialogScript script;
      Shoot(script, plat::dlg::kProgram, pb::CLinkFieldsDlg::kResourceId, out).Select(pb::CLinkFieldsDlg::IDC_COLUMNS, 1)
          .Press(plat::IDCANCEL);
      pb::CLinkFieldsDlg link(dir + "/kunden.csv", checker);
      link.DoModal(0);
    }
    {
      plat::DialogScript script;
      Shoot(script, plat::dlg::kProgram, pb::CExportDlg::kResourceId, out)
          .SelectText(pb::CExportDlg::IDC_FIELDS, pb::FieldName(pb::kCompany)).Press(pb::CExportDlg::IDC_ADD)
          .Press(pb::CExportDlg::IDC_SEPARATOR)
          .SelectText(pb::CExportDlg::IDC_FIELDS, pb::FieldName(pb::kNumber)).Press(pb::CExportDlg::IDC_ADD)
          .Press(plat::IDCANCEL);
      pb::CExportDlg exp;
      exp.DoModal(0);
    }
  }
  std::filesystem::remove_all(dir);
}

// The smallest screen the windows must fit, 1024 x 768, unless a platform
// is asked for: what scrolls or wraps there does so in the pictures too.
std::filesystem::path UseSmallScreen() {
  if (std::getenv("QT_QPA_PLATFORM")) return {};
  const auto file = std::filesystem::temp_directory_path() / ("dlgshot_screen_" + std::to_string(::getpid()) + ".json");
  std::ofstream(file) << R"({"screens": [{"name": "screen", "x": 0, "y": 0, "width": 1024, "height": 768,)"
                         R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
  setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + file.string()).c_str(), 1);
  return file;
}

int main(int argc, char** argv) {
  const std::filesystem::path screen = UseSmallScreen();
  QApplication app(argc, argv);
  if (!screen.empty()) {
    std::error_code ignored;
    std::filesystem::remove(screen, ignored);
  }
  std::string out = argc > 1 ? argv[1] : ".";
  // Every window with the shipped language file's texts and Qt's German.
  VESKOSESSION session = VESKO_NO_SESSION;
  if (VESKOAPIOpenSession((plat::ExeDir() + "/velt_ger.lng").c_str(), 0, &session) == 0) {
    texolan::InstallTextSource(session);
  } else {
    std::fprintf(stderr, "dlgshot: no language file beside the program\n");
    g_failed = true;
  }
  plat::InstallQtTranslations("de");
  // A fixed clock, so the pictures do not change from run to run.
  plat::ManualLoop loop(1772701507);  // 2026-03-05 09:05:07 UTC
  plat::SetEventLoop(&loop);

  {
    plat::DialogScript script;
    Shoot(script, plat::dlg::kProgram, 172, out).Press(plat::IDCANCEL);
    CGlobalConfig cfg;
    RunGeneralSettingsDlg(cfg, 0);
  }
  {
    // The read-out question as the charge counters fill it.
    plat::DialogScript script;
    Shoot(script, plat::dlg::kProgram, 226, out).Press(plat::IDCANCEL);
    CReadOutQuestionDlg q;
    q.lastReadOut = "Sie haben die Daten zuletzt ausgelesen am: 5.03.26 - 10:05:07";
    q.oldLabel = "alte DS:";
    q.oldValue = "120";
    q.newLabel = "neue DS:";
    q.newValue = "163";
    q.SetChoice(CReadOutQuestionDlg::kNewOnly);
    q.SetDeleteAfterwards(1);
    q.DoModal();
  }
  {
    plat::DialogScript script;
    Shoot(script, plat::dlg::kKestrum, 112, out).Press(plat::IDCANCEL);
    DATETIMEPARAMS p{};
    p.size = sizeof p;
    p.flags = KESTRUM_DT_INTIME | KESTRUM_DT_DATEFORMATS | KESTRUM_DT_TIMEFORMATS;
    p.time = plat::WallTime();
    KESTRUMTimeAndDateDialog(&p);
  }
  {
    plat::DialogScript script;
    Shoot(script, plat::dlg::kPrint, 102, out).Press(plat::IDCANCEL);
    struct Owner : plat::IMessageTarget {
      plat::LRESULT OnMessage(const plat::Message&) override { return 0; }
    } owner;
    const plat::WindowId id = plat::RegisterTarget(&owner);
    PAGEPARAMS p{};
    const float values[12] = {0, 15, 15, 10, 4, 0, 0, 8, 270, 180, 297, 210};
    MARPLMEASURE* m = &p.topMargin;
    for (int i = 0; i < 12; ++i) m[i] = {MARPL_UNIT_MM, values[i]};
    p.flags = MARPL_PP_EVENSIDEMARGIN;
    MARPLAPIConfigPageParams(&p, id);
    plat::UnregisterTarget(id);
  }
  ShootCallWindows(out);
  ShootOverviewAndCallData(out);
  ShootLists(out);
  ShootEvaluation(out);
  ShootProgram(out);
  ShootConnectionViewer(out);
  ShootDisplayControl(out, loop);
  ShootPhoneBook(out);
  ShootCharges(out, loop);
  plat::SetEventLoop(nullptr);
  texolan::InstallTextSource(VESKO_NO_SESSION);
  if (session != VESKO_NO_SESSION) VESKOAPICloseSession(session);
  return g_failed ? 1 : 0;
}
