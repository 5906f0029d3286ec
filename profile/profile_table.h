#pragma once

#include <array>
#include <bitset>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace profile {

// A sparse row of text values indexed by column. An empty slot means "not
// set"; the empty text is a set value. Stored texts keep their address until
// the same slot is set again, also when the row grows.
class ValueRow {
 public:
  ValueRow() = default;
  ValueRow(ValueRow&&) noexcept = default;
  ValueRow& operator=(ValueRow&&) noexcept = default;
  // Copies are deep: every value is copied.
  ValueRow(const ValueRow& other);
  ValueRow& operator=(const ValueRow& other);

  // The value at column, or nullptr when it is not set (also for a column
  // outside the row or below 0).
  const std::string* get(int column) const {
    if (column < 0 || column >= count()) return nullptr;
    const Block* block = blocks_[column / block_size].get();
    int at = column % block_size;
    return block != nullptr && block->set[at] ? &block->texts[at] : nullptr;
  }

  // Stores a copy of text; a column below 0 is ignored. The row grows in
  // steps of 16 columns.
  void set_value(int column, std::string_view text);

  int count() const { return static_cast<int>(blocks_.size()) * block_size; }

 private:
  // Small, because most rows hold few values: every section header makes a
  // row holding only its status, and a file of 100,000 headers took 8 KB a
  // row (800 MB) with blocks of 256.
  static constexpr int block_size = 16;

  // The slots of 16 columns in one allocation, made when the first of them
  // is set. The strings live in place, so a value costs no allocation of its
  // own (only its bytes, when they are more than a string holds inline), a
  // value set again reuses the string's capacity, and the strings never move
  // when the row grows.
  struct Block {
    std::array<std::string, block_size> texts;
    std::bitset<block_size> set;
  };

  std::vector<std::unique_ptr<Block>> blocks_;
};

// The rows of all profiles: row r holds the values of the profile numbered r.
class ProfileTable {
 public:
  // Grows the table to n rows; false when it already had that many.
  bool ensure_rows(int n);

  // Nothing happens for a negative row or column.
  void set_value(int row, int column, std::string_view text);

  const std::string* get(int row, int column) const {
    if (row < 0 || row >= row_count()) return nullptr;
    return rows_[row].get(column);
  }

  int row_count() const { return static_cast<int>(rows_.size()); }

  // Rows are handed out for inheritance and merging; row must exist.
  ValueRow& row(int row) { return rows_[row]; }
  const ValueRow& row(int row) const { return rows_[row]; }

 private:
  std::vector<ValueRow> rows_;
};

}  // namespace profile
