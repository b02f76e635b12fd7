// The program's small text file: create, append, write lines and
// time-stamped lines, or read a whole file and hand it out token by token.
// Paths are Linux paths; callers map stored names with plat::MapPath.
// One object may be used from several threads: every operation holds a lock.
// Its I/O goes through platform/fileio.h, and every result is checked.
#pragma once
#include <cstddef>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

class CTextLogFile {
 public:
  static constexpr std::size_t kNameChars = 127;       // file name field of 128
  static constexpr std::size_t kSeparatorChars = 9;    // separator field of 10
  static constexpr std::size_t kTimeStampChars = 29;   // time-stamp field of 30

  CTextLogFile();
  virtual ~CTextLogFile();
  CTextLogFile(const CTextLogFile&) = delete;
  CTextLogFile& operator=(const CTextLogFile&) = delete;

  virtual int SetFileName(const char* name);
  // 0 when the file existed (left closed), 1 when created (left open for
  // writing), 0 when it could not be created.
  virtual int CreateIfMissing(const char* name);
  // Creates or empties the file for writing; 1 or 0.
  virtual int Create(const char* name);
  // Opens an existing file for writing at its end; 1 or 0.
  virtual int OpenAppend(const char* name);
  // Loads the whole named file into memory (the file itself is closed
  // again); 1, or 0 when it cannot be opened or read.
  virtual int OpenRead();
  // Closes an open file (1, else 0) and frees the read buffer either way.
  // A failed close shows the file-error message (group 53).
  virtual int Close();
  // Closes without a message: true when the file was open and closed
  // cleanly, false otherwise (LastError() tells why); the caller reports.
  bool CloseChecked();
  // fdatasync of the open file: 1, or 0 when closed or it failed.
  int Sync();
  // errno of the last failed operation, 0 after one that went well.
  int LastError() const;
  // Cause 0..14 of the file-error texts (group 53, entry 14 - cause) for an errno.
  static int FileErrorCause(int err);
  // Token reader over the loaded text: the text up to the next separator,
  // then past it. The text after the last separator is the last token.
  // 0 with an empty token when nothing is loaded or all was read.
  virtual int FirstToken(std::string& out);
  virtual int NextToken(std::string& out);
  // The same into a fixed buffer, cut to size - 1 (the whole token is
  // consumed even when cut).
  int FirstToken(char* out, std::size_t size);
  int NextToken(char* out, std::size_t size);
  // Writes the text's bytes while open: 1, else 0.
  virtual int WriteText(const char* text);
  // Text and separator in one write, so a line is never left without its
  // end: 1, or 0 when closed or the write failed.
  virtual int WriteLine(const char* text);
  // WriteLine, then fdatasync; when either fails the file is cut back to
  // what it was before. 1, or 0.
  int WriteLineDurably(const char* text);
  virtual int WriteTimeStamp();
  // Time stamp, text and separator in one write: 1, or 0.
  virtual int WriteTimeStampedLine(const char* text);
  virtual int SetSeparator(const char* separator);
  virtual std::string GetSeparator() const;
  virtual std::string GetFileName() const;

  bool IsOpen() const;

  // "8. Dec 2026, 06:30:00: " for that local time, with English month
  // names whatever the locale.
  static std::string MakeTimeStamp(std::time_t t);

 private:
  int CloseLocked(bool report);
  int OpenLocked(int flags);
  void EndTornLine();
  int WriteLocked(const char* data, std::size_t n);
  void CutBack(off_t size);
  int NextTokenLocked(std::string& out);
  void StoreName(const char* name);

  mutable std::recursive_mutex mu_;
  int fd_ = -1;
  int lastError_ = 0;
  bool lastCloseFailed_ = false;
  std::string line_;  // the bytes of one line, kept to spare an allocation per line
  std::string name_;
  std::string separator_ = "\r\n";
  std::string timeStamp_;
  std::unique_ptr<char[]> readBuf_;
  std::size_t readSize_ = 0;
  std::size_t cursor_ = 0;
};
