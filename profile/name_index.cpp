#include "profile/name_index.h"

#include <cstring>

NameIndex::NameKey NameIndex::NameKey::of(std::string_view name) {
  unsigned char bytes[16] = {};
  std::memcpy(bytes, name.data(), name.size() < 16 ? name.size() : 16);
  auto big_endian = [](const unsigned char* at) {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = value << 8 | at[i];
    return value;
  };
  return {big_endian(bytes), big_endian(bytes + 8)};
}

namespace {

using WideKey = unsigned __int128;

}  // namespace

// First a branch-free lower bound on the 16-byte keys (the searched-for name
// is random, so branches would mostly be mispredicted); only names that share
// their whole key are then told apart by their bytes.
int NameIndex::lookup_name(std::string_view name) const {
  const NameKey name_key = NameKey::of(name);
  const WideKey key = static_cast<WideKey>(name_key.high) << 64 | name_key.low;
  auto wide = [](const NameSlot& slot) {
    return static_cast<WideKey>(slot.key.high) << 64 | slot.key.low;
  };
  const NameSlot* const slots = sorted_.data();
  const std::size_t count = sorted_.size();
  if (count == 0) return ~0;
  const NameSlot* base = slots;
  for (std::size_t n = count; n > 1;) {
    std::size_t half = n / 2;
    base = wide(base[half]) < key ? base + half : base;
    n -= half;
  }
  std::size_t lo = static_cast<std::size_t>(base - slots) + (wide(*base) < key ? 1 : 0);
  // [lo, hi) holds the slots with this key: usually one or none.
  std::size_t hi = lo;
  while (hi < count && wide(slots[hi]) == key && hi - lo < 2) ++hi;
  if (hi - lo == 2) {
    std::size_t n = count - hi;
    const NameSlot* top = slots + hi;
    for (; n > 0;) {
      std::size_t half = n / 2;
      if (wide(top[half]) == key) {
        top += half + 1;
        n -= half + 1;
      } else {
        n = half;
      }
    }
    hi = static_cast<std::size_t>(top - slots);
  }
  while (lo < hi) {
    std::size_t mid = lo + (hi - lo) / 2;
    // char_traits<char>::compare orders bytes as unsigned values.
    int order = name.compare(slots[mid].name);
    if (order < 0) {
      hi = mid;
    } else if (order > 0) {
      lo = mid + 1;
    } else {
      return slots[mid].number;
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
  }
  int number = count();
  names_.push_back(std::make_unique<std::string>(name));
  sorted_.insert(sorted_.begin() + static_cast<std::ptrdiff_t>(insertion_point),
                 NameSlot{NameKey::of(name), number, *names_.back()});
  return number;
}

const char* NameIndex::name_at(int number) const {
  if (number < 0 || number >= count()) return nullptr;
  return names_[number]->c_str();
}
