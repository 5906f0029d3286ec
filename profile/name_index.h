#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace profile {

// A dictionary that numbers names in the order they are first entered and
// knows their order by byte value (bytes taken as unsigned, so upper and
// lower case differ). Names are never removed and their numbers never change.
//
// Entering and finding a name cost the same however many names there are:
// names are found through a hash table of their numbers. The byte order is
// needed only for the insertion point of a name not entered and for walking
// the names in order; the numbers are sorted for that on first need after
// names were entered. (One sorted array, with every new name shifting the
// ones above it, made reading a file of n distinct names cost n squared.)
class NameIndex {
 public:
  // The number of name, or -1 when it was never entered.
  int find_name(std::string_view name) const;

  // The number of name, or, when it was never entered, the one's complement
  // of its insertion point in byte order (always negative). The insertion
  // point costs a sort of the names entered since the last one: where only
  // the number matters, find_name is the cheaper question.
  int lookup_name(std::string_view name) const;

  // The number of name, entering it first when it is new.
  int intern_name(std::string_view name);

  // The name numbered so, or nullptr when number is outside 0..count-1. The
  // text lives as long as the index.
  const char* name_at(int number) const;

  // The number of the name at place rank (0..count-1) in byte order.
  int number_in_sorted_order(int rank) const { return sorted_numbers()[rank]; }

  int count() const { return static_cast<int>(names_.size()); }

 private:
  // A place in the hash table: the number of a name, or -1 when free, and
  // the lower half of the name's hash, which gives the slot's place in a
  // table of any size and lets a search read the bytes of a name only when
  // the hashes match. The slots lie in one array (open addressing: a name
  // whose place is taken goes to the next free slot) that is at most half
  // full, so a search costs about one cache miss and entering a name no
  // allocation.
  struct Slot {
    std::uint32_t hash;
    int number;
  };
  static std::uint32_t hash_of(std::string_view name);
  // The place of the slot holding name, or of the free slot where it goes.
  std::size_t place_of(std::string_view name, std::uint32_t hash) const;
  void grow_slots();

  // All numbers, ordered by their names.
  const std::vector<int>& sorted_numbers() const;

  // A deque never moves its elements: name_at's texts stay valid.
  std::deque<std::string> names_;
  std::vector<Slot> slots_;
  // The numbers below sorted_.size(), in byte order of their names; the
  // names entered since are merged in by sorted_numbers().
  mutable std::vector<int> sorted_;
};

}  // namespace profile
