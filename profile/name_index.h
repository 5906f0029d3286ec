#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A dictionary that numbers names in the order they are first entered and
// finds them again by binary search over slots kept sorted by byte value
// (bytes taken as unsigned, so upper and lower case differ). Names are never
// removed and their numbers never change.
class NameIndex {
 public:
  // The number of name, or, when it was never entered, the one's complement
  // of its insertion point in the sorted slots (always negative).
  int lookup_name(std::string_view name) const;

  // The number of name, entering it first when it is new.
  int intern_name(std::string_view name);

  // The name numbered so, or nullptr when number is outside 0..count-1. The
  // text lives as long as the index.
  const char* name_at(int number) const;

  // The number of the name at place rank (0..count-1) in sorted order.
  int number_in_sorted_order(int rank) const { return sorted_[rank].number; }

  int count() const { return static_cast<int>(names_.size()); }
  int capacity() const { return capacity_; }

 private:
  // The dictionaries grow by this many slots at a time.
  static constexpr int growth = 256;

  // The first 16 bytes of a name, zero-padded, read as one big-endian
  // number: where two keys differ they order as the names do, so most steps
  // of the binary search compare numbers and never reach the names' bytes.
  using NameKey = unsigned __int128;
  static NameKey key_of(std::string_view name);

  struct NameSlot {
    int number;
    // Refers to *names_[number]; the strings never move because names_
    // holds them through pointers.
    std::string_view name;
  };

  int capacity_ = 0;
  std::vector<NameSlot> sorted_;
  // keys_[i] is the key of sorted_[i]; kept apart so the search stays in cache.
  std::vector<NameKey> keys_;
  std::vector<std::unique_ptr<std::string>> names_;
};
