// The phone book's number index: the hash of a normalised number to the
// offsets of the records that hold it, in one open-addressing table (no
// allocation per record, so an open of 100,000 records costs little more
// than reading the file). Equal hashes of different numbers are possible:
// callers check the record they read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CNumberIndex {
 public:
  // The hash of the number without its separators, read from at most
  // maxLen bytes up to the first NUL.
  static std::uint32_t Hash(const char* number, std::size_t maxLen);
  static std::uint32_t Hash(const std::string& number) { return Hash(number.data(), number.size()); }

  void Clear();
  void Reserve(std::size_t records);
  void Add(std::uint32_t hash, std::uint32_t offset);
  struct Entry {
    std::uint32_t hash, offset;
  };
  // Add for each entry in turn, the room made once.
  void AddMany(const Entry* entries, std::size_t n);
  void Remove(std::uint32_t hash, std::uint32_t offset);
  // Offsets stored under hash, ascending.
  std::vector<std::uint32_t> Candidates(std::uint32_t hash) const;
  std::size_t Size() const { return live_; }

 private:
  struct Slot {
    std::uint32_t hash;
    std::uint32_t offset;  // 0 empty, 1 removed (no record lies below the header)
  };
  void Grow();
  std::vector<Slot> slots_;
  std::size_t live_ = 0;
  std::size_t used_ = 0;  // live and removed
};
