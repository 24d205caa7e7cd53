// Building a step row from the panel and loading one back into it.
#include <string>
#include <vector>

#include "steps/list_cell.h"
#include "steps/step_editor.h"
#include "text/number_text.h"

namespace kv {

namespace {

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') {
    s.remove_prefix(1);
  }
  return s;
}

std::string_view TableCaption(SubTableKind k) {
  switch (k) {
    case SubTableKind::Ramp:
      return "ramp table";
    case SubTableKind::SeqLoad:
      return "sequence table";
    case SubTableKind::CycleLife:
      break;
  }
  return "cycle table";
}

// Collects the cells of one row and remembers the first text that would break
// the step file (",") or a sub-step list (";").
class RowWriter {
 public:
  explicit RowWriter(std::string_view function) {
    step_.row[kColFunction] = std::string(function);
    function_ = function;
  }

  void Text(int col, const std::string& text, std::string_view caption) {
    if (step_.problem.empty() && text.find(',') != std::string::npos) {
      step_.problem = "The field \"" + std::string(Trimmed(caption)) + "\" of " +
                      std::string(function_) +
                      " contains \",\", which separates the cells of a step file. "
                      "The step was not added.";
    }
    step_.row[col] = text;
  }

  void Number(int col, const std::string& text) { step_.row[col] = NumberText(text); }

  void Field(const StepEditor& editor, EditorField f, bool asNumber) {
    const EditorFieldInfo& info = FieldInfo(f);
    const std::string problem = FieldTextProblem(f, editor.Field(f));
    if (step_.problem.empty() && !problem.empty()) {
      step_.problem = "The field \"" + std::string(Trimmed(info.caption)) + "\" of " +
                      std::string(function_) + " holds \"" + editor.Field(f) + "\": " + problem +
                      ". The step was not added.";
    }
    if (asNumber) {
      Number(info.column, editor.Field(f));
    } else {
      Text(info.column, editor.Field(f), info.caption);
    }
  }

  // One sub-step list; `where` names each entry's cell for the message.
  void List(int col, const std::vector<std::string>& entries,
            const std::vector<std::string>& where) {
    for (std::size_t i = 0; i < entries.size() && step_.problem.empty(); ++i) {
      const std::size_t bad = entries[i].find_first_of(";,");
      if (bad != std::string::npos) {
        step_.problem = where[i] + " contains \"" + entries[i][bad] +
                        "\", which separates sub-steps and cells. The step was not added.";
      }
    }
    step_.row[col] = JoinList(entries);
  }

  BuiltStep Take() { return std::move(step_); }

 private:
  BuiltStep step_;
  std::string_view function_;
};

std::string CellName(const SubTable& t, int row, int col) {
  // Ramp and sequence tables number their sub-steps across row 0, the cycle
  // table down column 0.
  const bool byColumn = t.Kind() != SubTableKind::CycleLife;
  const std::string title = byColumn ? t.Cell(row, 0) : t.Cell(0, col);
  const int step = byColumn ? col : row;
  return "The " + std::string(TableCaption(t.Kind())) + " cell " + title + " of sub-step " +
         std::to_string(step);
}

void WriteSubStepLists(RowWriter& w, const SubTable& t, const std::string& totalText) {
  // A count past the table's size cannot take cells the table does not have.
  const double count = FieldNumber(totalText);
  std::vector<std::string> levels, times, levelWhere, timeWhere;
  for (int k = 1; k <= count && k < t.Cols(); ++k) {
    levels.push_back(t.Cell(1, k));
    times.push_back(t.Cell(2, k));
    levelWhere.push_back(CellName(t, 1, k));
    timeWhere.push_back(CellName(t, 2, k));
  }
  w.List(kColRampCc, levels, levelWhere);
  w.List(kColRampTime, times, timeWhere);
}

void WriteCycleLists(RowWriter& w, const SubTable& t) {
  static constexpr int kCycleColumns[] = {kColHigh, kColLow, kColTHigh, kColTLow, kColCycleCount};
  std::vector<std::string> lists[5], where[5];
  for (int k = 1; k < t.Rows(); ++k) {
    if (t.Cell(k, 1).empty()) {
      break;
    }
    for (int j = 0; j < 5; ++j) {
      lists[j].push_back(t.Cell(k, j + 1));
      where[j].push_back(CellName(t, k, j + 1));
    }
  }
  for (int j = 0; j < 5; ++j) {
    w.List(kCycleColumns[j], lists[j], where[j]);
  }
}

bool WritesNumberStops(StepFunction f) {
  switch (f) {
    case StepFunction::Discharge:
    case StepFunction::Rest:
    case StepFunction::Short:
    case StepFunction::BatteryCcCv:
    case StepFunction::BatteryCpCv:
    case StepFunction::BatteryDischargeCc:
    case StepFunction::BatteryDischargeCp:
    case StepFunction::CvWithCurrentLimit:
    case StepFunction::CvWithPowerLimit:
      return true;
    default:
      return false;
  }
}

bool IsNumberField(EditorField f) {
  return f == EditorField::DiscSinkValue || f == EditorField::ForTimes ||
         f == EditorField::NormalSinkValue;
}

}  // namespace

BuiltStep StepEditor::BuildStepRow() const {
  RowWriter w(selected_);
  const auto function = FindStepFunction(selected_);
  if (!function) {
    return w.Take();
  }
  const StepFunction f = *function;
  const int frame = static_cast<int>(f);
  for (const auto& info : kEditorFields) {
    if (info.frame == frame) {
      w.Field(*this, info.field, IsNumberField(info.field));
    }
  }
  if (WritesNumberStops(f) || f == StepFunction::Dynamic) {
    // Dynamic hands its stop conditions on exactly as typed.
    const bool asNumber = f != StepFunction::Dynamic;
    w.Field(*this, EditorField::VStop, asNumber);
    w.Field(*this, EditorField::TStop, asNumber);
    w.Field(*this, EditorField::AhStop, asNumber);
  } else if (f == StepFunction::Normal) {
    w.Field(*this, EditorField::TStop, true);
  }
  if (const auto group = LoadModeGroupOf(f)) {
    w.Text(kColMode, std::string(LoadModeText(*group)), "Load Mode");
  }
  switch (f) {
    case StepFunction::BatteryRamp:
      WriteSubStepLists(w, Table(SubTableKind::Ramp), Field(EditorField::RampTotalStep));
      break;
    case StepFunction::SequenceLoad:
      w.Text(kColMode, seqLoadType_, "Type");
      WriteSubStepLists(w, Table(SubTableKind::SeqLoad), Field(EditorField::SeqLoadTotalStep));
      break;
    case StepFunction::BatteryCycleLife:
      WriteCycleLists(w, Table(SubTableKind::CycleLife));
      break;
    default:
      break;
  }
  return w.Take();
}

void StepEditor::FillStepRow(StepGrid& grid, int row) const {
  const TestStep built = BuildStepRow().row;
  for (int c = kColFunction; c < kStepColumns; ++c) {
    grid.SetCell(row, c, built[c]);
  }
}

void StepEditor::ShowFrameFields(StepFunction f, const TestStep& step) {
  const int frame = static_cast<int>(f);
  for (const auto& info : kEditorFields) {
    if (info.frame == frame) {
      SetField(info.field, step[info.column]);
    }
  }
}

bool StepEditor::ShowSubStepLists(SubTableKind k, const TestStep& step) {
  SubTable& table = Table(k);
  const auto levels = SplitList(step[kColRampCc]);
  const auto times = SplitList(step[kColRampTime]);
  const int count = ListHighestIndex(levels);
  for (int i = 1; i <= count; ++i) {
    if (i >= table.Cols()) {
      return false;  // more sub-steps than the table has columns now
    }
    table.SetCell(1, i, ListEntry(levels, i));
    if (i > ListHighestIndex(times)) {
      return false;
    }
    table.SetCell(2, i, ListEntry(times, i));
  }
  if (k == SubTableKind::Ramp) {
    SetField(EditorField::RampTotalStep, std::to_string(count));
  } else {
    SetField(EditorField::SeqLoadTotalStep, step[kColTotalStep]);
  }
  return true;
}

bool StepEditor::ShowCycleRows(const TestStep& step) {
  static constexpr int kCycleColumns[] = {kColHigh, kColLow, kColTHigh, kColTLow, kColCycleCount};
  SubTable& table = Table(SubTableKind::CycleLife);
  std::vector<std::string> lists[5];
  for (int j = 0; j < 5; ++j) {
    lists[j] = SplitList(step[kCycleColumns[j]]);
  }
  const int count = ListHighestIndex(lists[0]);
  for (int k = 1; k <= count; ++k) {
    if (k >= table.Rows()) {
      return false;
    }
    for (int j = 0; j < 5; ++j) {
      if (k > ListHighestIndex(lists[j])) {
        return false;
      }
      table.SetCell(k, j + 1, ListEntry(lists[j], k));
    }
  }
  return true;
}

ShowStepResult StepEditor::ShowStepInPanel(const StepGrid& grid, int row) {
  const ShowStepResult failed{false, std::string(kFunctionNotAvailableMessage)};
  TestStep step;
  for (int c = 0; c < kStepColumns; ++c) {
    step[c] = grid.Cell(row, c);
  }
  if (!SelectFunction(step[kColFunction])) {
    return failed;
  }
  const auto function = FindStepFunction(step[kColFunction]);
  if (!function) {
    return {};
  }
  const StepFunction f = *function;
  switch (f) {
    case StepFunction::BatteryRamp:
      if (!ShowSubStepLists(SubTableKind::Ramp, step)) {
        return failed;
      }
      SetField(EditorField::RampStart, step[kColSinkValue]);
      SetField(EditorField::RampRepeat, step[kColTimes]);
      SetField(EditorField::RampLoadOffV, step[kColLoadOffV]);
      return {};
    case StepFunction::SequenceLoad:
      if (!SetSeqLoadType(step[kColMode]) || !ShowSubStepLists(SubTableKind::SeqLoad, step)) {
        return failed;
      }
      SetField(EditorField::SeqLoadVth, step[kColLoadOffV]);
      return {};
    case StepFunction::BatteryCycleLife:
      if (!ShowCycleRows(step)) {
        return failed;
      }
      ShowFrameFields(f, step);
      return {};
    default:
      break;
  }
  ShowFrameFields(f, step);
  if (WritesNumberStops(f) || f == StepFunction::Dynamic || f == StepFunction::Normal) {
    SetField(EditorField::VStop, step[kColVStop]);
    SetField(EditorField::TStop, step[kColTStop]);
    SetField(EditorField::AhStop, step[kColAhStop]);
  }
  if (const auto group = LoadModeGroupOf(f)) {
    for (int i = 0; i < kLoadModeCount; ++i) {
      if (step[kColMode] == kLoadModeNames[static_cast<std::size_t>(i)]) {
        ClickLoadMode(*group, i);
      }
    }
  }
  return {};
}

}  // namespace kv
