#include "actions/record_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kadrum::ConvertedRecord;
using kadrum::Value;

ConvertedRecord record(std::uint64_t line, std::array<Value, 3> values, const std::string& text) {
  ConvertedRecord r;
  r.line = line;
  r.start = line * 100;
  r.values = std::move(values);
  r.set_text(text);
  return r;
}

// Fault to avoid: a record stored again after a refusal differs from the
// one first sent (another alternative, a text cut or left over from the
// record read before it into the same room).
TEST(RecordLogTest, GivesBackEveryRecordAsAdded) {
  std::vector<ConvertedRecord> added = {
      record(3, {1.5, kadrum::Currency{-12345}, std::int32_t{-7}}, "1 2 3"),
      record(4,
             {true, std::string("ein längerer Text mit Umlauten"),
              kadrum::DateTime{2026, 12, 11, 13, 5, 9}},
             std::string(5000, 'x')),
      record(9, {std::monostate{}, std::string(), 0.0}, ""),
  };
  ConvertedRecord rejected = record(12, {}, "1 2 4.5.6");
  rejected.rejected = rejected.cut = true;
  rejected.reason = "Der Wert \"4.5.6\" ist keine Zahl";
  added.push_back(rejected);
  kadrum::RecordLog log;
  for (int round = 0; round < 2; ++round) {  // the second into the memory kept
    log.clear();
    for (const ConvertedRecord& r : added) log.add(r);
    EXPECT_EQ(log.records(), added.size());
    kadrum::RecordLog::Reader reader(log);
    ConvertedRecord back;
    for (const ConvertedRecord& r : added) {
      ASSERT_TRUE(reader.next(back));
      EXPECT_EQ(back.line, r.line);
      EXPECT_EQ(back.start, r.start);
      EXPECT_EQ(back.text(), r.text());
      EXPECT_EQ(back.rejected, r.rejected);
      EXPECT_EQ(back.cut, r.cut);
      if (r.rejected)
        EXPECT_EQ(back.reason, r.reason);
      else
        EXPECT_EQ(back.values, r.values);
    }
    EXPECT_FALSE(reader.next(back));
  }
}

}  // namespace
