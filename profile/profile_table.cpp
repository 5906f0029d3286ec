#include "profile/profile_table.h"

ValueRow::ValueRow(const ValueRow& other) : slots_(other.slots_.size()) {
  for (std::size_t column = 0; column < slots_.size(); ++column) {
    if (other.slots_[column]) slots_[column] = std::make_unique<std::string>(*other.slots_[column]);
  }
}

ValueRow& ValueRow::operator=(const ValueRow& other) {
  if (this != &other) *this = ValueRow(other);
  return *this;
}

void ValueRow::set_value(int column, std::string_view text) {
  if (column < 0) return;
  if (column >= count()) {
    // Column 0..254 gives 256 slots, column 255 gives 512: the row always
    // keeps at least one spare slot beyond the highest column set.
    std::size_t slots = (static_cast<std::size_t>(column) + 257) / 256 * 256;
    slots_.resize(slots);
  }
  if (slots_[column]) {
    slots_[column]->assign(text);
  } else {
    slots_[column] = std::make_unique<std::string>(text);
  }
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
