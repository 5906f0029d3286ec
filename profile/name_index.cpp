#include "profile/name_index.h"

#include <algorithm>
#include <bit>
#include <cstring>

NameIndex::NameKey NameIndex::key_of(std::string_view name) {
  unsigned char bytes[16] = {};
  std::memcpy(bytes, name.data(), name.size() < 16 ? name.size() : 16);
  std::uint64_t high;
  std::uint64_t low;
  std::memcpy(&high, bytes, 8);
  std::memcpy(&low, bytes + 8, 8);
  if constexpr (std::endian::native == std::endian::little) {
    high = __builtin_bswap64(high);
    low = __builtin_bswap64(low);
  }
  return static_cast<NameKey>(high) << 64 | low;
}

// First a branch-free lower bound on the keys (the name looked for is as good
// as random, so branches would mostly be mispredicted); only names that share
// their whole key are then told apart by their bytes.
int NameIndex::lookup_name(std::string_view name) const {
  const NameKey key = key_of(name);
  const NameKey* const keys = keys_.data();
  const std::size_t count = keys_.size();
  if (count == 0) return ~0;
  const NameKey* base = keys;
  for (std::size_t n = count; n > 1;) {
    std::size_t half = n / 2;
    base = base[half] < key ? base + half : base;
    n -= half;
  }
  std::size_t lo = static_cast<std::size_t>(base - keys) + (*base < key ? 1 : 0);
  // [lo, hi) holds the slots with this key: usually one or none.
  std::size_t hi = lo;
  while (hi < count && keys[hi] == key && hi - lo < 2) ++hi;
  if (hi - lo == 2) {
    hi = static_cast<std::size_t>(std::upper_bound(keys + hi, keys + count, key) - keys);
  }
  while (lo < hi) {
    std::size_t mid = lo + (hi - lo) / 2;
    // char_traits<char>::compare orders bytes as unsigned values.
    int order = name.compare(sorted_[mid].name);
    if (order < 0) {
      hi = mid;
    } else if (order > 0) {
      lo = mid + 1;
    } else {
      return sorted_[mid].number;
    }
  }
  return ~static_cast<int>(lo);
}

int NameIndex::intern_name(std::string_view name) {
  int found = lookup_name(name);
  if (found >= 0) return found;
  std::size_t insertion_point = static_cast<std::size_t>(~found);
  if (count() == capacity_) {
    capacity_ += growth;
    sorted_.reserve(capacity_);
    names_.reserve(capacity_);
    keys_.reserve(capacity_);
  }
  int number = count();
  names_.push_back(std::make_unique<std::string>(name));
  auto at = static_cast<std::ptrdiff_t>(insertion_point);
  sorted_.insert(sorted_.begin() + at, NameSlot{number, *names_.back()});
  keys_.insert(keys_.begin() + at, key_of(name));
  return number;
}

const char* NameIndex::name_at(int number) const {
  if (number < 0 || number >= count()) return nullptr;
  return names_[number]->c_str();
}
