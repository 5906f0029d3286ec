#include "profile/name_index.h"

int NameIndex::lookup_name(std::string_view name) const {
  std::size_t lo = 0;
  std::size_t hi = sorted_.size();
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
  }
  int number = count();
  names_.push_back(std::make_unique<std::string>(name));
  sorted_.insert(sorted_.begin() + static_cast<std::ptrdiff_t>(insertion_point),
                 NameSlot{number, *names_.back()});
  return number;
}

const char* NameIndex::name_at(int number) const {
  if (number < 0 || number >= count()) return nullptr;
  return names_[number]->c_str();
}
