// A scripted conversation with the PBX, run headless on the manual loop.
//
// One statement per line; "#" starts a comment; words are split at blanks,
// "double quotes" keep blanks. Setup:
//   set KEY VALUE            a setting (CUTOFFLEADINGDIGIT, CBLAFNEWCWNS,
//                            CBLASONE, IO1008, GDOH, NPLLAIDB, DialOfficeDigits)
//   watch NUMBER MODE [main] [xref=N]   a watched extension; with xref it
//                            is monitored under that id
//   book NUMBER "company" "name"        a phone book record
//   answer yes|no|ok|cancel  queues the answer of the next message box
//   prompt ok|cancel         queues the answer of the next handset prompt
//   refuse on|off            the link's no-requests flag
//   listener NAME POS        registers a recording listener (1 or -1)
// Actions:
//   pbx TYPE field=value...  a record from the PBX into the filter
//   dial NUMBER [as=ID]      the user dials (a fresh record, requester ID, 12)
//   redial | hold | retrieve | clear [second] | consult NUMBER | transfer
//   start | stop             the link start (device count first) / stop
//   job N take|release       the job lock, as the view or the charge side
//   advance MS               the clock moves; timers 5 and 7 fire
//   settle                   workers joined, queued messages delivered
//   purge                    the document purges released call records
// Checks (each reads the next unread item of its channel):
//   expect sent TYPE field=value...   a request the link sent
//   expect resent            the next sent record equals the one before
//   expect quiet             no sent request left unread
//   expect hub CODE [w=N] [call=CALLING>CALLED]  a view message (timer
//                            codes 1059/1060 aside); expect nohub
//   expect event CODE        a link event; expect noevent
//   expect draw DEVICE TYPE  a connection drawing event
//   expect current|second|last [FIELD=VALUE...]  or "none"; fields: calling,
//                            called, state, dir, callid, ext, name
//   expect count WHAT N      missed, calldata, callbacks, boxes, pool,
//                            prompts, listener:NAME, timers
//   expect box TEXT          the next message box's text contains TEXT
//   expect job N | expect linkstate N | expect monitor NUMBER STATE
//
// Record fields: xref invoke callid device alerting calling called callid2
// device2 releasing conferencing conn=DEV:ID,... code kind text count ref
// fwd snap snapdevice snapcount; and u8@OFF u16@OFF u32@OFF text@OFF.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Scenario {
 public:
  Scenario();
  ~Scenario();
  // Runs the script in a fresh rig (kept for inspection until the next
  // run); "" when every check held, else the failures, one a line.
  std::string Run(const std::string& script);

  struct Rig;
  Rig& rig();
  // Runs on each fresh rig before its script (tests that put windows
  // behind the fake view).
  std::function<void(Rig&)> prepare;
  // Statements and checks of other components: given each line (and each
  // "expect" line) the language does not know; false when it does not
  // know it either.
  using Fail = std::function<void(const std::string&)>;
  std::function<bool(Rig&, const std::vector<std::string>& words, const Fail& fail)> extension;

 private:
  struct Global;  // process-wide settings swapped in until the scenario ends
  std::unique_ptr<Global> global_;
  std::unique_ptr<Rig> rig_;
};

// Runs a script in a fresh rig.
std::string RunScenario(const std::string& script);
