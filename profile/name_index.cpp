#include "profile/name_index.h"

#include <algorithm>
#include <functional>

namespace profile {

std::uint32_t NameIndex::hash_of(std::string_view name) {
  return static_cast<std::uint32_t>(std::hash<std::string_view>{}(name));
}

std::size_t NameIndex::place_of(std::string_view name, std::uint32_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    const Slot& slot = slots_[at];
    if (slot.number < 0) return at;
    if (slot.hash == hash && names_[static_cast<std::size_t>(slot.number)] == name) return at;
  }
}

int NameIndex::find_name(std::string_view name) const {
  if (slots_.empty()) return -1;
  return slots_[place_of(name, hash_of(name))].number;
}

int NameIndex::lookup_name(std::string_view name) const {
  int number = find_name(name);
  if (number >= 0) return number;
  const std::vector<int>& sorted = sorted_numbers();
  // char_traits<char>::compare orders bytes as unsigned values.
  auto place = std::partition_point(sorted.begin(), sorted.end(),
                                    [&](int n) { return std::string_view(names_[n]) < name; });
  return ~static_cast<int>(place - sorted.begin());
}

int NameIndex::intern_name(std::string_view name) {
  if (2 * (names_.size() + 1) > slots_.size()) grow_slots();
  const std::uint32_t hash = hash_of(name);
  // The table is never full, so the slot found is the name's or a free one.
  Slot& slot = slots_[place_of(name, hash)];
  if (slot.number >= 0) return slot.number;
  slot = {hash, count()};
  names_.emplace_back(name);
  return slot.number;
}

// Doubles the table; every slot moves to its place in the larger one.
void NameIndex::grow_slots() {
  std::vector<Slot> old(std::max<std::size_t>(64, 2 * slots_.size()), Slot{0, -1});
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& moved : old) {
    if (moved.number < 0) continue;
    std::size_t at = moved.hash & mask;
    while (slots_[at].number >= 0) at = (at + 1) & mask;
    slots_[at] = moved;
  }
}

const char* NameIndex::name_at(int number) const {
  if (number < 0 || number >= count()) return nullptr;
  return names_[number].c_str();
}

const std::vector<int>& NameIndex::sorted_numbers() const {
  std::size_t sorted_count = sorted_.size();
  if (sorted_count == names_.size()) return sorted_;
  for (int n = static_cast<int>(sorted_count); n < count(); ++n) sorted_.push_back(n);
  auto in_byte_order = [this](int a, int b) {
    return std::string_view(names_[a]) < std::string_view(names_[b]);
  };
  auto middle = sorted_.begin() + static_cast<std::ptrdiff_t>(sorted_count);
  std::sort(middle, sorted_.end(), in_byte_order);
  std::inplace_merge(sorted_.begin(), middle, sorted_.end(), in_byte_order);
  return sorted_;
}

}  // namespace profile
