// The records stored behind one savepoint, kept to be stored again when
// the database refuses one of them. Packed into one buffer that
// keeps its memory from savepoint to savepoint: a record of three numbers
// and its line takes about 90 bytes instead of the 270 of a
// ConvertedRecord, so that one savepoint covers many records at little
// cost in memory.
#pragma once

#include <cstddef>
#include <vector>

#include "actions/record_hand_over.h"

namespace kadrum {

class RecordLog {
 public:
  void add(const ConvertedRecord& record);
  std::size_t records() const { return records_; }
  // Of them, lines rejected on the converting side.
  std::size_t rejected() const { return rejected_; }
  std::size_t bytes() const { return bytes_.size(); }
  // Forgets the records, keeping the memory.
  void clear();
  void reserve(std::size_t bytes) { bytes_.reserve(bytes); }

  // Reads the records back in order, each into the same "record".
  class Reader {
   public:
    explicit Reader(const RecordLog& log) : log_(log) {}
    // False after the last one.
    bool next(ConvertedRecord& record);

   private:
    const RecordLog& log_;
    std::size_t at_ = 0;
  };

 private:
  std::vector<char> bytes_;
  std::size_t records_ = 0;
  std::size_t rejected_ = 0;
};

}  // namespace kadrum
