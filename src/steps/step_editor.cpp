#include "steps/step_editor.h"

#include <algorithm>
#include <utility>

#include "text/number_text.h"

namespace kv {

namespace {

std::size_t Index(EditorField f) {
  return static_cast<std::size_t>(f);
}
std::size_t Index(LoadModeGroup g) {
  return static_cast<std::size_t>(g);
}

}  // namespace

StepEditor::StepEditor()
    : tables_{SubTable(SubTableKind::Ramp), SubTable(SubTableKind::SeqLoad),
              SubTable(SubTableKind::CycleLife)} {
  for (const auto& info : kEditorFields) {
    fields_[Index(info.field)] = std::string(info.startText);
  }
  offered_.assign(kStepFunctionNames.begin(), kStepFunctionNames.end());
  SelectFunction(StepFunctionName(StepFunction::Discharge));
}

void StepEditor::SetOfferedFunctions(std::vector<std::string> names) {
  offered_ = std::move(names);
  // The operator's function stays while the load offers it: an editor that
  // dropped it on every Run would leave Add doing nothing.
  if (std::find(offered_.begin(), offered_.end(), selected_) == offered_.end()) {
    selected_.clear();
  }
}

bool StepEditor::SelectFunction(std::string_view name) {
  if (std::find(offered_.begin(), offered_.end(), name) == offered_.end()) {
    return false;
  }
  selected_ = std::string(name);
  const auto f = FindStepFunction(name);
  if (!f) {
    return true;
  }
  visibleFrame_ = static_cast<int>(*f);
  stopView_ = StopConditionViewOf(*f);
  if (*f == StepFunction::SequenceLoad) {
    SetSeqLoadType("CC");
  }
  return true;
}

const std::string& StepEditor::Field(EditorField f) const {
  return fields_[Index(f)];
}

void StepEditor::SetField(EditorField f, std::string text) {
  fields_[Index(f)] = std::move(text);
}

int StepEditor::LoadMode(LoadModeGroup g) const {
  return loadModes_[Index(g)];
}

void StepEditor::ClickLoadMode(LoadModeGroup g, int option) {
  if (option >= 0 && option < kLoadModeCount) {
    loadModes_[Index(g)] = option;
  }
}

std::string_view StepEditor::LoadModeText(LoadModeGroup g) const {
  return kLoadModeNames[static_cast<std::size_t>(LoadMode(g))];
}

std::string_view StepEditor::UnitLabel(LoadModeGroup g) const {
  return kLoadModeUnits[static_cast<std::size_t>(LoadMode(g))];
}

bool StepEditor::SetSeqLoadType(std::string_view type) {
  if (type != "CC" && type != "CP") {
    return false;
  }
  seqLoadType_ = std::string(type);
  Table(SubTableKind::SeqLoad)
      .SetCell(1, 0, std::string(type == "CC" ? kSeqLoadCcTitle : kSeqLoadCpTitle));
  return true;
}

EditorField StepEditor::TotalStepField(SubTableKind k) {
  return k == SubTableKind::SeqLoad ? EditorField::SeqLoadTotalStep : EditorField::RampTotalStep;
}

void StepEditor::LeaveTotalStep(SubTableKind k) {
  if (k == SubTableKind::CycleLife) {
    return;
  }
  const bool ramp = k == SubTableKind::Ramp;
  std::string& text = fields_[Index(TotalStepField(k))];
  text = ClampTotalStepText(text, ramp ? kRampMinSteps : kSeqLoadMinSteps,
                            ramp ? kRampMaxSteps : kSeqLoadMaxSteps);
  // The clamped text is a whole number in range, so columns and titles agree.
  const int steps = static_cast<int>(RoundHalfEven(FieldNumber(text)));
  SubTable& table = Table(k);
  table.SetColumnCount(steps + 1);
  for (int c = 1; c <= steps; ++c) {
    table.SetCell(0, c, std::to_string(c));
  }
}

void StepEditor::ResetSubTableLayouts() {
  for (auto& table : tables_) {
    table.ResetLayout();
  }
  // Keep the level title in step with the type the selector shows.
  SetSeqLoadType(seqLoadType_);
}

void StepEditor::ClickSubTable(SubTableKind k, int row, int col, std::string_view boxText) {
  SubTable& table = Table(k);
  // A click on the title column picks that row's first value cell.
  const int clickedCol = std::max(col, 1);
  if (inputBox_) {
    if (row >= 1) {
      table.SetCurrentCell(row, clickedCol);
    }
    CommitInputBox(boxText);
    return;
  }
  if (row < 1) {
    return;
  }
  table.SetCurrentCell(row, clickedCol);
  editTarget_ = {static_cast<std::int16_t>(table.CurrentRow()),
                 static_cast<std::int16_t>(table.CurrentCol())};
  inputBox_ = k;
  inputBoxText_ = table.Cell(table.CurrentRow(), table.CurrentCol());
}

void StepEditor::CommitInputBox(std::string_view boxText) {
  if (!inputBox_) {
    return;
  }
  SubTable& table = Table(*inputBox_);
  const int row = table.CurrentRow();
  const int col = table.CurrentCol();
  table.SetCell(editTarget_.row, editTarget_.col, std::string(boxText));
  inputBox_.reset();
  table.SetCurrentCell(row, col);
}

}  // namespace kv
