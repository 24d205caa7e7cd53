#include "steps/sub_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "text/number_text.h"

namespace kv {

namespace {

const std::string kNoCell;

int StartColumns(SubTableKind kind) {
  switch (kind) {
    case SubTableKind::Ramp:
      return kRampMaxSteps + 1;
    case SubTableKind::SeqLoad:
      return kSeqLoadMaxSteps + 1;
    case SubTableKind::CycleLife:
      break;
  }
  return 6;
}

int StartRows(SubTableKind kind) {
  return kind == SubTableKind::CycleLife ? 4 : 3;
}

// The whole text must be a number (blanks around it allowed); anything else is
// not one. A total-step field must never size a table from "12V".
std::optional<double> StrictNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<SubTableKind> SubTableOf(StepFunction f) {
  switch (f) {
    case StepFunction::BatteryRamp:
      return SubTableKind::Ramp;
    case StepFunction::SequenceLoad:
      return SubTableKind::SeqLoad;
    case StepFunction::BatteryCycleLife:
      return SubTableKind::CycleLife;
    default:
      return std::nullopt;
  }
}

std::string_view SubTableName(SubTableKind kind) {
  switch (kind) {
    case SubTableKind::Ramp:
      return "RampGrid";
    case SubTableKind::SeqLoad:
      return "SeqLoadGrid";
    case SubTableKind::CycleLife:
      break;
  }
  return "CycleLifeGrid";
}

SubTable::SubTable(SubTableKind kind) : kind_(kind) {
  ResetLayout();
}

const std::string& SubTable::Cell(int row, int col) const {
  if (row < 0 || row >= Rows() || col < 0 || col >= cols_) {
    return kNoCell;
  }
  return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

void SubTable::SetCell(int row, int col, std::string text) {
  if (row < 0 || row >= Rows() || col < 0 || col >= cols_) {
    return;
  }
  cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = std::move(text);
}

void SubTable::SetColumnCount(int cols) {
  cols_ = std::max(cols, 1);
  for (auto& row : cells_) {
    row.resize(static_cast<std::size_t>(cols_));
  }
  if (currentCol_ >= cols_) {
    currentCol_ = std::max(cols_ - 1, 1);
  }
}

void SubTable::SetCurrentCell(int row, int col) {
  if (row >= 1 && row < Rows() && col >= 1 && col < cols_) {
    currentRow_ = row;
    currentCol_ = col;
  }
}

void SubTable::ResetLayout() {
  cells_.resize(static_cast<std::size_t>(StartRows(kind_)));
  SetColumnCount(StartColumns(kind_));
  if (kind_ == SubTableKind::CycleLife) {
    static constexpr std::string_view kTitles[] = {"Step", "CCH", "CCL", "THigh", "TLow", "Cycle"};
    for (int c = 0; c < cols_; ++c) {
      SetCell(0, c, std::string(kTitles[c]));
    }
    for (int r = 1; r < Rows(); ++r) {
      SetCell(r, 0, std::to_string(r));
    }
  } else {
    SetCell(0, 0, "Step");
    SetCell(1, 0, std::string(kind_ == SubTableKind::Ramp ? "CC(A)" : kSeqLoadCcTitle));
    SetCell(2, 0, kind_ == SubTableKind::Ramp ? "Time(s)" : "Time(ms)");
    for (int c = 1; c < cols_; ++c) {
      SetCell(0, c, std::to_string(c));
    }
  }
  SetCurrentCell(currentRow_, currentCol_);
}

std::string ClampTotalStepText(std::string_view text, int min, int max) {
  const double v = StrictNumber(text).value_or(0.0);
  if (v > max) {
    return std::to_string(max);
  }
  if (v < min) {
    return std::to_string(min);
  }
  const double whole = RoundHalfEven(v);
  if (whole != v) {
    return std::to_string(static_cast<int>(whole));
  }
  return std::string(text);
}

bool SameCells(const SubTable& a, const SubTable& b) {
  if (a.Rows() != b.Rows() || a.Cols() != b.Cols()) {
    return false;
  }
  for (int r = 0; r < a.Rows(); ++r) {
    for (int c = 0; c < a.Cols(); ++c) {
      if (a.Cell(r, c) != b.Cell(r, c)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace kv
