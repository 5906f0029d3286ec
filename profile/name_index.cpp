#include "profile/name_index.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

std::uint64_t load_big_endian(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, 8);
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  return word;
}

}  // namespace

// The key is made in registers from whole-word loads of the name: copying the
// bytes into a zeroed buffer and loading that back stalls the processor (the
// load cannot be served from the smaller stores still in flight), which cost
// a tenth of the look-up time.
NameIndex::NameKey NameIndex::key_of(std::string_view name) {
  const char* bytes = name.data();
  std::size_t size = name.size();
  std::uint64_t high = 0;
  std::uint64_t low = 0;
  if (size >= 16) {
    high = load_big_endian(bytes);
    low = load_big_endian(bytes + 8);
  } else if (size > 8) {
    high = load_big_endian(bytes);
    // The last eight bytes, shifted so that byte 8 comes first.
    low = load_big_endian(bytes + size - 8) << (8 * (16 - size));
  } else if (size == 8) {
    high = load_big_endian(bytes);
  } else {
    for (std::size_t i = 0; i < size; ++i) high = high << 8 | static_cast<unsigned char>(bytes[i]);
    if (size > 0) high <<= 8 * (8 - size);
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
  // A name of up to 16 bytes is all in its key: among slots with the same
  // key, the one of the same length is that name, and no bytes need be read.
  if (hi - lo == 1 && name.size() <= sizeof(NameKey) && sorted_[lo].name.size() == name.size()) {
    return sorted_[lo].number;
  }
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
