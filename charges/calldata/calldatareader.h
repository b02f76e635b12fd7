// Reads a text file line by line without loading it whole: the call data
// file grows by a line a call for years.
#pragma once
#include <cstddef>
#include <string>

class CallDataLineReader {
 public:
  // Longer lines are cut to this; the rest of such a line is skipped, so a
  // damaged file of one endless line costs no more than this.
  static constexpr std::size_t kMaxLine = 64 * 1024;

  CallDataLineReader() = default;
  ~CallDataLineReader() { Close(); }
  CallDataLineReader(const CallDataLineReader&) = delete;
  CallDataLineReader& operator=(const CallDataLineReader&) = delete;

  // Closes what was open first. False when the file cannot be opened.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // The next line without its end ("\r\n" or "\n"); a last line without an
  // end counts. False at the end or after a read error (LastError).
  bool Next(std::string* line);
  int LastError() const { return error_; }

 private:
  // More bytes into buf_; false at the end or on an error.
  bool Fill();

  int fd_ = -1;
  int error_ = 0;
  bool eof_ = false;
  std::string buf_;
  std::size_t pos_ = 0;
};
