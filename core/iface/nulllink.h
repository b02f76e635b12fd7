// A link that sends nowhere: every request is taken and nothing leaves.
// The fuzz targets and the benchmarks feed the filter and the call handler
// through it.
#pragma once
#include <cstdint>
#include <string_view>

#include "core/iface/pbxlink.h"

struct NullLink : IPBXLink {
  IPBXLinkFilter* filter = nullptr;  // when set, a noted record becomes its outstanding request
  std::uint32_t state = 0;

  int Send(const CSTAMessage& r, int note) override {
    if (note == 1 && filter) filter->NoteOutstanding(&r);
    return 0;
  }
  int SendRequest(const CSTAMessage* r) override { return r ? 1 : 0; }
  plat::LRESULT OnLinkMessage(plat::UINT, plat::WPARAM, const CSTAMessage*) override { return 0; }
  std::uint32_t GetLinkState() const override { return state; }
  void SetLinkState(std::uint32_t) override {}
  int QueryForwarding(std::string_view) override { return 1; }
  int SnapshotDevice(std::string_view) override { return 1; }
  int MakeCall(CCallInfo* c) override { return c ? 1 : 0; }
  int ClearCall(CCallInfo* c) override { return c ? 1 : 0; }
  int HoldCall(CCallInfo*) override { return 0; }
  int ConsultationCall(CCallInfo*, CCallInfo*) override { return 0; }
  int TransferCall(CCallInfo*, CCallInfo*) override { return 0; }
  int DeflectCall(CCallInfo*) override { return 0; }
  int PickupCall(CCallInfo* c) override { return c ? 1 : 0; }
};
