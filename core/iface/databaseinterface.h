// The phone book's abstract interfaces: one record's values (handed out by
// the database, owned by it) and the database itself. Every operation that
// an implementation does not offer answers PBS_NOT_SUPPORTED.
#pragma once
#include <cstdint>

#include "core/iface/databaseparam.h"

// One phone book record as the call model sees it. The record stays owned
// by the database; callers neither keep nor free it.
class CMyDataBaseParamInterface {
 public:
  virtual ~CMyDataBaseParamInterface() = default;

  virtual int GetParamCount(std::uint32_t* out) { (void)out; return PBS_NOT_SUPPORTED; }
  // Fills out with the value of id: PBS_DONE, or PBS_NOT_SUPPORTED.
  virtual int GetParam(std::uint32_t id, CDataBaseParam* out) { (void)id; (void)out; return PBS_NOT_SUPPORTED; }
  // Sets the field of id from the parameter's text.
  virtual int SetParam(std::uint32_t id, const CDataBaseParam& value, const CDataBaseIdList* ids) {
    (void)id; (void)value; (void)ids;
    return PBS_NOT_SUPPORTED;
  }
  // PBS_FOUND when the record matches, PBS_NOT_FOUND when not.
  virtual int Matches(std::uint32_t kind, const CDataBaseParam& value) { (void)kind; (void)value; return PBS_NOT_SUPPORTED; }
  // PBS_FOUND when changed through this interface, else PBS_NOT_FOUND.
  virtual int IsChanged() { return PBS_NOT_SUPPORTED; }
  virtual int IsParamSupported(std::uint32_t id) { (void)id; return PBS_NOT_SUPPORTED; }
};

// The database. Any thread may call it (the call model's workers look
// callers up beside the main thread). A record handed out by FindRecord's
// FirstSearchHit or by NewRecord belongs to the calling thread and stays
// valid until that thread's next FindRecord or NewRecord (or its end);
// it never moves what the dialogs show.
class CMyDataBaseInterface {
 public:
  virtual ~CMyDataBaseInterface() = default;

  // kind PBP_NUMBER: PBS_FOUND or PBS_NOT_FOUND; other kinds PBS_NOT_SUPPORTED.
  virtual int FindRecord(std::uint32_t kind, const CDataBaseParam& value, const char* extra, std::uint32_t reserved) {
    (void)kind; (void)value; (void)extra; (void)reserved;
    return PBS_NOT_SUPPORTED;
  }
  // A new empty record, already stored; *out is its value interface.
  virtual int NewRecord(CMyDataBaseParamInterface** out) { if (out) *out = nullptr; return PBS_NOT_SUPPORTED; }
  // Stores the record that *item names (as NewRecord or FirstSearchHit gave
  // it to this thread): PBS_DONE, or PBS_NOTHING when it was not written.
  virtual int UpdateRecord(CMyDataBaseParamInterface** item) { (void)item; return PBS_NOT_SUPPORTED; }
  // PBS_DONE with *out the first hit of the last search; PBS_NOTHING with
  // *out null when there is none.
  virtual int FirstSearchHit(CMyDataBaseParamInterface** out) { if (out) *out = nullptr; return PBS_NOT_SUPPORTED; }
};
