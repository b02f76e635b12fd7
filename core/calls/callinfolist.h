// An ordered list of call records with a cursor. The list does not own the
// records: they belong to the call handler.
#pragma once
#include <cstddef>
#include <string>

#include "core/calls/callinfo.h"

class CCallInfoList {
 public:
  // A position in the list; null is none.
  struct Node;
  using Position = Node*;

  CCallInfoList();
  CCallInfoList(const CCallInfoList&) = delete;
  CCallInfoList& operator=(const CCallInfoList&) = delete;
  virtual ~CCallInfoList();

  virtual int RemoveAll();
  // Appends a non-null record; 0 for null.
  virtual int AddCall(CCallInfo* call);
  // Removes the entry at pos (a position of this list); 0 when it is not one.
  virtual int RemoveAt(Position pos);
  // Removes and releases the first record whose stored description is text.
  virtual int RemoveByText(const std::string& text);
  virtual int Reserved1(CCallInfo* call);
  virtual CCallInfo* GetAt(Position pos) const;
  // n counts from 1; null outside 1..count.
  virtual CCallInfo* GetCall(int n) const;
  virtual int GetCount() const;
  virtual int SaveCount(int mode, const std::string& file, const std::string& section) const;
  virtual int LoadCount(int mode, const std::string& file, const std::string& section);
  virtual int Reserved2(const std::string& text);
  virtual int Reserved3(const std::string& text);
  // First record whose description in the layout equals text.
  virtual Position FindByText(int layout, const std::string& text);
  virtual Position FindByCallID(int callId);
  virtual CCallInfo* GetByCallID(int callId);

  // Walking: the cursor names the next entry of a walk.
  Position GetHeadPosition() const;
  // The entry after pos without moving the cursor; null at the end.
  Position GetNextPosition(Position pos) const;
  void ResetCursor();
  // The record at the cursor (null at the end); the cursor moves on.
  CCallInfo* NextCall();
  Position Cursor() const { return cursor_; }
  // Whether the record is an entry; the cursor stays.
  bool Holds(const CCallInfo* call) const;
  Position LastVisited() const { return last_; }

 protected:
  bool Contains(Position pos) const;

 private:
  Node* head_ = nullptr;
  Node* tail_ = nullptr;
  int count_ = 0;
  Node* cursor_ = nullptr;
  Node* last_ = nullptr;
};
