#include "reports.h"

#include <cstdio>

namespace printtest {
namespace {

std::string Join(const std::vector<std::string>& cells) {
  std::string s;
  for (std::size_t i = 0; i < cells.size(); ++i) s += (i ? "\t" : "") + cells[i];
  return s;
}

std::string F(const char* fmt, int a, int b = 0) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

struct Builder {
  Report& r;
  void S(std::uint16_t cmd, std::uint16_t sub, const std::string& text) { r.stream.push_back({cmd, sub, 5, text}); }
  void N(std::uint16_t cmd, std::uint16_t sub) { r.stream.push_back({cmd, sub, 0, {}}); }
  void Tex(const std::string& t) { S(34, 22, t); }
  // The page values of the configuration: flag 2 gives the empty text.
  void Page() {
    Tex("\\documentstyle[10pt,german,dina4]{article}");
    Tex("\\rm");
    Tex("\\oddsidemargin{}");
    Tex("\\columnsep{4 mm}");
    Tex("\\textwidth{180 mm}");
    Tex("\\textheight{270 mm}");
  }
  void Table(bool rule5 = true) {
    S(6, 19, r.format);
    S(8, 21, Join(r.head));
    S(33, 0, "");
    for (std::size_t i = 0; i < r.rows.size(); ++i) {
      S(32, 22, Join(r.rows[i]));
      if (rule5 && (i + 1) % 5 == 0) S(33, 0, "");
    }
  }
};

std::vector<std::string> CallRow(int i, bool index, bool money) {
  std::vector<std::string> c;
  if (index) c.push_back(F("%d", i + 1));
  c.push_back(F("%02d.03.26", 1 + i % 28));
  c.push_back(F("%02d:%02d:00", 8 + i % 10, (i * 7) % 60));
  c.push_back(F("00:%02d:%02d", i % 60, (i * 13) % 60));
  c.push_back(F("0891234%03d", i % 1000));
  c.push_back(F("030987%04d", (i * 37) % 10000));
  c.push_back(money ? F("%d.%02d DM", i % 100, (i * 3) % 100) : F("%d", i % 999));
  return c;
}

}  // namespace

const char* KindName(Kind k) {
  switch (k) {
    case Kind::CallData: return "calldata";
    case Kind::Evaluation0: return "evaluation0";
    case Kind::Evaluation1: return "evaluation1";
    case Kind::ChargeReport: return "chargereport";
    case Kind::ChargeInvoice: return "chargeinvoice";
    default: return "totalcharges";
  }
}

Report MakeReport(Kind k, int rows) {
  Report r;
  Builder b{r};
  switch (k) {
    case Kind::CallData:
      r.name = "CallInfoList.log";
      r.header = "Gesprächsdaten des Arbeitsplatzes";
      r.title = "Gesprächsdaten";
      r.format = "r{31.12.99},r{23:59:00},r{88:88:88},l{0099000011112222},l{0099000011112222},r{999.99 DM}";
      r.head = {"Datum", "Zeit", "Dauer", "Anrufer", "Gerufener", "Kosten"};
      for (int i = 0; i < rows; ++i) r.rows.push_back(CallRow(i, false, true));
      b.S(1, 0, r.name);
      b.Page();
      b.S(9, 23, r.header);
      b.Tex("\\rm{12pt}");
      b.Tex("\\bf");
      b.S(12, 22, r.title);
      b.Tex("\\rm");
      b.Tex("\\vspace{4mm}");
      b.S(12, 22, "Nebenstelle 21");
      b.S(12, 22, "Stand 05.03.2026");
      b.Tex("\\vspace{4mm}");
      b.Table();
      b.S(33, 0, "");
      b.S(33, 0, "");
      b.N(7, 0);
      b.N(2, 0);
      break;
    case Kind::Evaluation0:
    case Kind::Evaluation1: {
      const bool src1 = k == Kind::Evaluation1;
      r.name = "Report.log";
      r.bigTitle = true;
      r.header = src1 ? "Gebührenauswertung" : "Datensätze der Anlage";
      r.title = src1 ? "Auswertung aller Gespräche" : "Gesprächsauswertung";
      r.format = src1 ? "r{31.12.99},r{23:59:00},r{88:88:88},l{0099000011112222},l{0099000011112222},r{999.99 DM}"
                      : "r{1444},r{31.12.99},r{23:59:00},r{88:88:88},l{0099000011112222},l{0099000011112222},r{999}";
      r.head = src1 ? std::vector<std::string>{"Datum", "Zeit", "Dauer", "Anrufer", "Gerufener", "Preis"}
                    : std::vector<std::string>{"Index", "Datum", "Zeit", "Dauer", "Anrufer", "Gerufener", "Einheiten"};
      for (int i = 0; i < rows; ++i) r.rows.push_back(CallRow(i, !src1, src1));
      b.S(1, 0, r.name);
      b.Page();
      b.S(9, 23, r.header);
      b.Tex("\\rm{14pt}");
      b.Tex("\\bf");
      b.S(12, 22, r.title);
      b.Tex("\\rm");
      b.Tex("\\vspace{4mm}");
      if (src1) {
        b.S(12, 22, "Nebenstellen: 21, 22, 23");
        b.S(12, 22, "Zeitraum: 01.03.2026 - 05.03.2026");
        b.S(12, 22, "Filter: alle, ungefiltert");
      }
      b.Tex("\\vspace{4mm}");
      b.Table();
      if (src1) {
        b.S(33, 0, "");
        b.S(33, 0, "");
        b.Tex("\\vspace{4mm}");
        b.Tex("\\bf");
        b.S(12, 22, "Summe: 123.45 DM");
      }
      b.N(7, 0);
      b.N(2, 0);
      break;
    }
    case Kind::ChargeReport:
    case Kind::ChargeInvoice: {
      r.name = "SingleCallReportList.log";
      r.header = "Gebührennachweis";
      r.title = "Zeitraum: 01.03.2026 - 05.03.2026";
      r.format = "r{31.12.99},r{23:59:00},r{88:88:88},l{000},l{0099000011112222},r{999.99 DM}";
      r.head = {"Datum", "Zeit", "Dauer", "Anrufer", "Gerufener", "Preis"};
      for (int i = 0; i < rows; ++i) {
        auto c = CallRow(i, false, true);
        c[3] = F("%d", 21 + i % 3);
        r.rows.push_back(c);
      }
      b.S(1, 0, r.name);
      b.Page();
      b.S(9, 23, r.header);
      b.Tex("\\rm");
      b.Tex("\\vspace{4mm}");
      b.S(12, 22, r.title);
      b.S(12, 22, "Nebenstellen: 21, 22, 23");
      if (k == Kind::ChargeInvoice) {
        b.Tex("\\vspace{20mm}");
        b.S(12, 22, "Firma Muster GmbH");
        b.S(12, 22, "Hauptstraße 1");
        b.S(12, 22, "80331 München");
        b.Tex("\\vspace{80mm}");
      }
      b.Tex("\\rm{12pt}");
      b.Tex("\\bf");
      b.S(12, 22, "Einzelverbindungsnachweis");
      b.Tex("\\rm");
      b.S(12, 22, "Letzte Auslesung: 05.03.2026, 9:05:07 h");
      b.Tex("\\vspace{4mm}");
      b.Table();
      b.S(33, 0, "");
      b.S(33, 0, "");
      b.N(7, 0);
      b.Tex("\\vspace{4mm}");
      b.Tex("\\bf");
      b.S(12, 22, "Summe:\t123.45 DM");
      b.N(2, 0);
      break;
    }
    case Kind::TotalCharges:
      r.name = "CSumChargeOfPhones.log";
      r.header = "Gesamtgebühren";
      r.title = "Gebührensummen aller Nebenstellen";
      r.format = "l{Nebenstellen},r{Einheiten},r{Xxxxxxxxxxxx},l{Wer auch immer das sein mag}";
      r.head = {"Nebenstelle", "Einheiten", "Gebühren", "Name"};
      for (int i = 0; i < rows; ++i)
        r.rows.push_back({F("%d", 100 + i), F("%d", (i * 17) % 1000), F("%d.%02d", (i * 3) % 100, i % 100),
                          F("Teilnehmer%d", i)});
      b.S(1, 0, r.name);
      b.Page();
      b.S(9, 23, r.header);
      b.Tex("\\rm{12pt}");
      b.Tex("\\vspace{4mm}");
      b.S(12, 22, r.title);
      b.S(12, 22, "Stand: 05.03.2026");
      b.S(6, 19, r.format);
      b.S(8, 21, Join(r.head));
      b.S(33, 0, "");
      for (std::size_t i = 0; i < r.rows.size(); ++i) {
        b.S(32, 22, Join(r.rows[i]));
        if ((i + 1) % 10 == 0) b.S(33, 0, "");
      }
      b.S(33, 0, "");
      b.S(33, 0, "");
      b.N(7, 0);
      b.Tex("\\rm");
      b.S(12, 22, "Summe aller Einheiten: 4711");
      b.N(2, 0);
      break;
  }
  return r;
}

}  // namespace printtest
