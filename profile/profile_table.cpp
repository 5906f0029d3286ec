#include "profile/profile_table.h"

namespace profile {

ValueRow::ValueRow(const ValueRow& other) : blocks_(other.blocks_.size()) {
  for (std::size_t b = 0; b < blocks_.size(); ++b) {
    if (other.blocks_[b]) blocks_[b] = std::make_unique<Block>(*other.blocks_[b]);
  }
}

ValueRow& ValueRow::operator=(const ValueRow& other) {
  if (this != &other) *this = ValueRow(other);
  return *this;
}

void ValueRow::set_value(int column, std::string_view text) {
  if (column < 0) return;
  if (column >= count()) {
    // Column 0..14 gives 16 slots, column 15 gives 32: the row always keeps
    // at least one spare slot beyond the highest column set.
    blocks_.resize((static_cast<std::size_t>(column) + block_size + 1) / block_size);
  }
  std::unique_ptr<Block>& block = blocks_[column / block_size];
  if (!block) block = std::make_unique<Block>();
  int at = column % block_size;
  block->texts[at].assign(text);
  block->set[at] = true;
}

bool ProfileTable::ensure_rows(int n) {
  if (n <= row_count()) return false;
  rows_.resize(static_cast<std::size_t>(n));
  return true;
}

void ProfileTable::set_value(int row, int column, std::string_view text) {
  if (row < 0 || column < 0) return;
  ensure_rows(row + 1);
  rows_[row].set_value(column, text);
}

}  // namespace profile
