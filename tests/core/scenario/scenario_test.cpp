// Whole conversations with the PBX through the filter and the call model.
#include <gtest/gtest.h>

#include "scenario.h"

TEST(Scenario, StartUpTranscript) {
  EXPECT_EQ(RunScenario(R"(
watch 21 2 main
watch 22 2
start
expect sent private kind=18 note=1
expect job 11
pbx private kind=19 devices=40
expect event 1075
expect sent caps note=1
expect job 10
pbx capsconf fwd=1 snap=1
expect event 1078
expect sent monitor ext=21 xref=0 filter=65532 flags=255
expect job 1
pbx monitorconf ref=1001
expect monitor 21 2
advance 100
expect sent monitor ext=22
pbx monitorconf ref=1002
advance 100
expect event 1058
expect sent queryfwd ext=21 xref=1001 note=1
expect job 9
pbx fwdconf xref=1001
expect sent queryfwd ext=22 xref=1002
pbx fwdconf xref=1002
expect hub 1076
expect event 1076
expect sent snapshot ext=21
expect job 8
pbx snapshotconf snapdevice=21
expect sent snapshot ext=22
pbx snapshotconf snapdevice=22
expect hub 1076
expect event 1077
expect hub 1058
expect linkstate 2
expect job 0
expect quiet
expect nohub
)"), "");
}

TEST(Scenario, NoWatchedExtensionShowsTheWarning) {
  EXPECT_EQ(RunScenario(R"(
start
pbx private kind=19 devices=40
pbx capsconf
expect count boxes 1
expect box T55.0
expect event 1075
expect event 1078
expect event 1058
expect noevent
)"), "");
}

TEST(Scenario, IncomingCallFromAKnownCaller) {
  EXPECT_EQ(RunScenario(R"(
watch 21 2 main xref=1001
book 0301234 "Muster GmbH" Meier
pbx delivered xref=1001 callid=100 device=21 alerting=21 calling=00301234 called=21
expect hub 1029 w=17 call=0301234>21
expect hub 1038 w=17 match=0301234>21+record
expect draw 21 57
expect current calling=0301234 called=21 state=2 dir=1 ext=1 name=Meier company="Muster GmbH"
pbx established xref=1001 callid=100 device=21 calling=00301234 called=21
expect hub 1050 w=59 call=0301234>21
expect current state=3
pbx cleared xref=1001 callid=100 device=21
expect hub 1053 w=17
expect hub 1028 w=17 call=0301234>21
expect current none
expect count calldata 1
expect count missed 0
expect count boxes 0
expect quiet
)"), "");
}

TEST(Scenario, UnknownExternalCallerAsksForANewRecord) {
  EXPECT_EQ(RunScenario(R"(
watch 21 2 main xref=1001
pbx delivered xref=1001 callid=101 device=21 calling=0407777 called=21
expect hub 1029 w=17 call=407777>21
expect hub 1052 w=17
expect nohub
)"), "");
  // An internal caller is no stranger.
  EXPECT_EQ(RunScenario(R"(
watch 21 2 main xref=1001
watch 22 1 xref=1002
pbx delivered xref=1001 callid=102 device=21 calling=22 called=21
expect hub 1029 w=17 call=22>21
expect nohub
)"), "");
}

TEST(Scenario, UnansweredIncomingCallIsMissed) {
  EXPECT_EQ(RunScenario(R"(
watch 21 2 main xref=1001
pbx delivered xref=1001 callid=100 device=21 calling=0407777 called=21
skip
pbx cleared xref=1001 callid=100 device=21
expect hub 1053
expect hub 1028 w=17 call=407777>21
expect count missed 1
expect count calldata 0
)"), "");
}

TEST(Scenario, UnansweredOutgoingCallOffersACallback) {
  EXPECT_EQ(RunScenario(R"(
set CBLAFNEWCWNS 1
set CBLASONE 1
watch 21 2 main xref=1001
answer yes
dial 0301234
expect result 1
expect sent makecall ext=21 dial=301234 xref=1001
expect hub 1027 w=17 call=21>0301234
expect current calling=21 called=0301234 state=1 dir=2
pbx makecallconf xref=1001 callid=200 device=21
pbx delivered xref=1001 callid=200 device=21 calling=21 called=0301234
expect hub 1050 w=57 call=21>0301234
pbx cleared xref=1001 callid=200 device=21
expect hub 1053
expect hub 1028 w=17 call=21>0301234
expect box T46.2
expect count callbacks 1
expect hub 1036 w=17
)"), "");
  // "No" releases the record; nothing is added.
  EXPECT_EQ(RunScenario(R"(
set CBLAFNEWCWNS 1
watch 21 2 main xref=1001
answer no
dial 0301234
pbx makecallconf xref=1001 callid=200 device=21
pbx cleared xref=1001 callid=200 device=21
expect count boxes 1
expect count callbacks 0
expect last mark=-1
)"), "");
}

TEST(Scenario, RefusedMakeCallIsReportedAsFailure) {
  EXPECT_EQ(RunScenario(R"(
watch 21 2 main xref=1001
prompt ok
refuse on
dial 0301234
expect result 0
expect current none
expect quiet
expect nohub
refuse off
pbx service xref=1001 callid=0 device=21
redial
expect count prompts 0
expect result 1
expect sent makecall
expect current called=0301234 callid=-1
)"), "");
}

TEST(Scenario, HoldRetrieveConsultTransfer) {
  EXPECT_EQ(RunScenario(R"(
set GDOH 1
watch 21 2 main xref=1001
watch 22 1 xref=1002
dial 22
pbx makecallconf xref=1001 callid=300 device=21
pbx established xref=1001 callid=300 device=21 calling=21 called=22
expect current state=3 callid=300
skip
hold
expect sent hold callid=300 device=21
expect hub 1050 w=61 call=21>22
expect current none
pbx held xref=1001 callid=300 device=21
expect hub 1050 w=61
pbx retrieved xref=1001 callid=300 device=21
expect hub 1029 w=17 call=21>22
expect hub 1050 w=65
expect current callid=300 state=3
hold
pbx held xref=1001 callid=300 device=21
skip
consult 23
expect sent consult callid=300 device=21 num80=23
pbx delivered xref=1001 callid=301 device=21 calling=21 called=23
expect current callid=301
transfer
expect sent transfer callid=300 device=22 callid2=301 num84=23
skip
pbx transferred xref=1001 callid=300 device=21 callid2=301 device2=21
expect hub 1053
expect hub 1028 w=17 call=21>22
expect hub 1053
expect hub 1028 w=17
expect hub 1050 w=67
expect current none
expect count calldata 1
)"), "");
}

TEST(Scenario, Conference) {
  EXPECT_EQ(RunScenario(R"(
set GDOH 1
watch 21 2 main xref=1001
watch 22 1 xref=1002
dial 22
pbx makecallconf xref=1001 callid=300 device=21
pbx established xref=1001 callid=300 device=21 calling=21 called=22
hold
pbx held xref=1001 callid=300 device=21
skip
pbx conferenced xref=1001 callid=300 device=21 conferencing=21 conn=21:300,22:300,0301234:300
expect hub 1029 w=17 call=21>22
expect hub 1050 w=55
expect current callid=300 state=3
expect draw 21 55
expect draw 22 55
)"), "");
}

TEST(Scenario, SecondCallWhileOneIsActive) {
  EXPECT_EQ(RunScenario(R"(
watch 21 2 main xref=1001
pbx delivered xref=1001 callid=100 device=21 calling=22 called=21
pbx established xref=1001 callid=100 device=21 calling=22 called=21
skip
pbx delivered xref=1001 callid=101 device=21 calling=0407777 called=21
expect hub 1046 w=17 call=0407777>21
expect second callid=101 state=2 dir=1
expect current callid=100
clear second
expect sent clear callid=101 device=21
expect hub 1053
expect hub 1047 w=17
expect second none
expect current callid=100
)"), "");
}

TEST(Scenario, OutstandingRequestRepeatsFourTimesThenGivesUp) {
  EXPECT_EQ(RunScenario(R"(
start
expect sent private kind=18
advance 1000
expect resent
advance 1000
expect resent
advance 1000
expect resent
advance 1000
expect resent
advance 1000
expect quiet
expect hub 1072
advance 5000
expect quiet
expect job 0
)"), "");
}

TEST(Scenario, OutstandingRequestInsideTheChargeJobs) {
  // Job 2 belongs to the charge handler: at the end it is released and the
  // handler told; the view hears nothing.
  EXPECT_EQ(RunScenario(R"(
job 2 take
pbx private kind=0
expect sent private kind=0 note=1
advance 1000
expect resent
advance 1000
expect resent
advance 1000
expect resent
advance 1000
expect resent
advance 1000
expect quiet
expect nohub
expect count chargefailed 1
expect job 0
)"), "");
  // Job 3 is the view's read-out: given up, the call model hears of it.
  EXPECT_EQ(RunScenario(R"(
job 3 take
pbx private kind=16 text=0
expect sent private kind=16 note=1
advance 4000
expect resent
expect resent
expect resent
expect resent
advance 1000
expect quiet
expect hub 1050 w=93
expect count nocall 1
expect job 0
)"), "");
}

// A charge request the PBX refuses is answered: no repeat, its job ends at
// once and the charge handler is told (the view's read-out tells the call
// model); a failure with another invoke id is someone else's.
TEST(Scenario, ARefusedChargeRequestEndsItsJobAtOnce) {
  struct Case {
    const char* name;
    const char* script;
  } cases[] = {
      {"a deletion outside the jobs", R"(
pbx private kind=14
expect sent private kind=14 note=1
pbx failure code=12 invoke=7
advance 999
expect quiet
expect count chargefailed 0
pbx failure code=12 invoke=0
expect count chargefailed 1
advance 5000
expect quiet
expect nohub
expect job 0
)"},
      {"the charge read-out", R"(
job 2 take
pbx private kind=0
expect sent private kind=0 note=1
pbx failure code=12
expect count chargefailed 1
expect job 0
advance 5000
expect quiet
expect nohub
)"},
      {"the view's read-out", R"(
job 3 take
pbx private kind=16 text=0
expect sent private kind=16 note=1
pbx failure code=12
expect job 0
expect count nocall 1
advance 5000
expect quiet
)"},
  };
  for (const Case& c : cases) EXPECT_EQ(RunScenario(c.script), "") << c.name;
}

TEST(Scenario, ReadOutDrivenByTheFilterAsksRecordByRecord) {
  EXPECT_EQ(RunScenario(R"(
job 3 take
pbx private kind=0
expect sent private kind=0
pbx private kind=1 count=2
expect sent private kind=2 index=0 xref=0
pbx private kind=3 index=0 u8@40=255
expect hub 1050 w=93
expect count missed 1
expect sent private kind=2 index=1
pbx private kind=3 index=1 u8@40=255
expect hub 1050 w=93
expect hub 1050 w=93
expect job 0
expect count timers 3
advance 5000
expect quiet
)"), "");
  // In the charge handler's job 2 the filter asks for nothing itself.
  EXPECT_EQ(RunScenario(R"(
job 2 take
pbx private kind=1 count=2
pbx private kind=3 index=0
expect quiet
expect job 2
)"), "");
}

TEST(Scenario, UnknownCrossReferenceReachesNobody) {
  EXPECT_EQ(RunScenario(R"(
watch 21 2 main xref=1001
listener L -1
pbx delivered xref=999 callid=5 device=21 calling=22 called=21
expect count listener:L 0
expect nohub
expect count pool 0
pbx delivered xref=1001 callid=5 device=21 calling=22 called=21
expect count listener:L 1
expect count pool 1
)"), "");
}

// The user clears first; the PBX's own report of the end comes later, after
// the document may have purged the released record.
TEST(Scenario, CallClearedByTheUserBeforeThePbxReportsIt) {
  EXPECT_EQ(RunScenario(R"(
watch 21 2 main xref=1001
pbx delivered xref=1001 callid=100 device=21 calling=0407777 called=21
clear
expect sent clear callid=100 device=21
expect count missed 1
purge
pbx cleared xref=1001 callid=100 device=21
expect count missed 1
expect current none
purge
expect count pool 0
)"), "");
  EXPECT_EQ(RunScenario(R"(
watch 21 2 main xref=1001
pbx delivered xref=1001 callid=100 device=21 calling=22 called=21
pbx established xref=1001 callid=100 device=21 calling=22 called=21
pbx delivered xref=1001 callid=101 device=21 calling=0407777 called=21
clear second
expect count missed 1
purge
pbx cleared xref=1001 callid=101 device=21
expect count missed 1
expect current callid=100
)"), "");
}

// The charge handler ends its own read-out by releasing job 2 after the
// last reply: that reply's request is answered, nothing is repeated.
TEST(Scenario, ReadOutEndedByTheChargeHandlerRepeatsNothing) {
  EXPECT_EQ(RunScenario(R"(
job 2 take
pbx private kind=0
expect sent private kind=0 note=1
pbx private kind=1 count=1
pbx private kind=2 index=0
expect sent private kind=2 index=0 note=1
pbx private kind=3 index=0
job 2 release
advance 5000
expect quiet
expect nohub
expect job 0
)"), "");
}
