#include "actions/record_log.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace kadrum {

namespace {

template <typename T>
void put(std::vector<char>& bytes, const T& value) {
  static_assert(std::is_trivially_copyable_v<T>);
  const std::size_t at = bytes.size();
  bytes.resize(at + sizeof value);
  std::memcpy(bytes.data() + at, &value, sizeof value);
}

void put_text(std::vector<char>& bytes, std::string_view text) {
  put(bytes, static_cast<std::uint32_t>(text.size()));
  bytes.insert(bytes.end(), text.begin(), text.end());
}

template <typename T>
T get(const std::vector<char>& bytes, std::size_t& at) {
  T value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  at += sizeof value;
  return value;
}

std::string_view get_text(const std::vector<char>& bytes, std::size_t& at) {
  const auto size = get<std::uint32_t>(bytes, at);
  const std::string_view text(bytes.data() + at, size);
  at += size;
  return text;
}

// Reads the alternative "index" of a Value into "value".
template <std::size_t I = 0>
void get_value(const std::vector<char>& bytes, std::size_t& at, std::size_t index, Value& value) {
  if constexpr (I < std::variant_size_v<Value>) {
    using T = std::variant_alternative_t<I, Value>;
    if (index != I) return get_value<I + 1>(bytes, at, index, value);
    if constexpr (std::is_same_v<T, std::string>) {
      // The string keeps its room when the record is reused.
      const std::string_view text = get_text(bytes, at);
      if (std::string* kept = std::get_if<std::string>(&value))
        kept->assign(text);
      else
        value.emplace<std::string>(text);
    } else if constexpr (std::is_same_v<T, std::monostate>) {
      value.emplace<I>();
    } else {
      value.emplace<I>(get<T>(bytes, at));
    }
  }
}

}  // namespace

void RecordLog::add(const ConvertedRecord& record) {
  put(bytes_, record.line);
  put(bytes_, record.start);
  put(bytes_, static_cast<std::uint8_t>((record.rejected ? 1 : 0) | (record.cut ? 2 : 0)));
  put_text(bytes_, record.text());
  if (record.rejected) {
    ++rejected_;
    put_text(bytes_, record.reason);
  } else {
    for (const Value& value : record.values) {
      put(bytes_, static_cast<std::uint8_t>(value.index()));
      std::visit(
          [this](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>)
              put_text(bytes_, v);
            else if constexpr (!std::is_same_v<T, std::monostate>)
              put(bytes_, v);
          },
          value);
    }
  }
  ++records_;
}

void RecordLog::clear() {
  bytes_.clear();
  records_ = rejected_ = 0;
}

bool RecordLog::Reader::next(ConvertedRecord& record) {
  const std::vector<char>& bytes = log_.bytes_;
  if (at_ >= bytes.size()) return false;
  record.line = get<std::uint64_t>(bytes, at_);
  record.start = get<std::uint64_t>(bytes, at_);
  const auto flags = get<std::uint8_t>(bytes, at_);
  record.rejected = (flags & 1) != 0;
  record.cut = (flags & 2) != 0;
  record.set_text(get_text(bytes, at_));
  if (record.rejected) {
    record.reason.assign(get_text(bytes, at_));
  } else {
    for (Value& value : record.values) get_value(bytes, at_, get<std::uint8_t>(bytes, at_), value);
  }
  return true;
}

}  // namespace kadrum
