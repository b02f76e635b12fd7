// Event records as the PBX sends them, built with the program's own record
// writer (the plug-in reads them with readers of its own).
#pragma once
#include <cstdint>
#include <string>

#include "core/wire/csta_message.h"

namespace testrec {

inline CSTAMessage Event(std::uint16_t type, std::uint32_t callId, const std::string& device, std::uint32_t xref = 0) {
  CSTAMessage m;
  m.SetType(type);
  m.SetCrossRefId(xref);
  CSTAConnectionId{callId, device, 0}.Write(m, 10);
  return m;
}

// 57 delivered / 59 established: calling device at 148, called at 216.
inline CSTAMessage Delivered(std::uint32_t callId, const std::string& device, const std::string& calling,
                             const std::string& called, std::uint16_t type = 57, std::uint32_t xref = 0) {
  CSTAMessage m = Event(type, callId, device, xref);
  CSTAExtendedDevice{called, 0, 0}.Write(m, 80);
  CSTAExtendedDevice{calling, 0, 0}.Write(m, 148);
  CSTAExtendedDevice{called, 0, 0}.Write(m, 216);
  return m;
}

inline CSTAMessage Established(std::uint32_t callId, const std::string& device, const std::string& calling,
                               const std::string& called) {
  return Delivered(callId, device, calling, called, 59);
}

inline CSTAMessage Transferred(const CSTAConnectionId& primary, const CSTAConnectionId& secondary,
                               const CSTAConnectionId& resulting, const CSTAConnectionId& fourth = {}) {
  CSTAMessage m;
  m.SetType(67);
  primary.Write(m, 10);
  secondary.Write(m, 80);
  resulting.Write(m, 286);
  fourth.Write(m, 424);
  return m;
}

}  // namespace testrec
