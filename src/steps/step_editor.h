#pragma once
// The step editor panel as data: the function selector, the fields of every
// function frame, the Stop Condition fields, the load-mode options, the
// sequence type and the three sub-tables with their shared input box. The
// panel's widgets only show this state and forward the operator's actions.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "steps/editor_fields.h"
#include "steps/step_grid.h"
#include "steps/sub_table.h"
#include "steps/test_step.h"

namespace kv {

/// Shown when a step cannot be loaded into the panel.
inline constexpr std::string_view kFunctionNotAvailableMessage =
    "This function not availabel for this model, Please check it.)";

/// The cell the input box writes to; one pair for all three tables.
struct SubTableEditTarget {
  std::int16_t row = 0;
  std::int16_t col = 0;
  bool operator==(const SubTableEditTarget&) const = default;
};

/// A row built from the panel, and why it must not go into the list ("" when
/// it may).
struct BuiltStep {
  TestStep row;
  std::string problem;
};

struct ShowStepResult {
  bool shown = true;
  std::string message;  // kFunctionNotAvailableMessage when not shown in full
};

class StepEditor {
 public:
  /// All 19 functions offered, "Discharge" selected, every field at its start
  /// text, tables at their start layout.
  StepEditor();

  // --- Function selector -------------------------------------------------
  const std::vector<std::string>& OfferedFunctions() const { return offered_; }
  /// A fresh offer (identification). The selected function stays selected
  /// when the new offer still has it; otherwise nothing is selected
  /// afterwards. The frame on screen stays as it was.
  void SetOfferedFunctions(std::vector<std::string> names);
  /// "" while nothing is selected.
  const std::string& SelectedFunction() const { return selected_; }
  /// Selects an offered function and shows its frame; false (and no change)
  /// for a name that is not offered.
  bool SelectFunction(std::string_view name);
  /// StepFunction index of the frame on screen, -1 before any selection.
  int VisibleFrame() const { return visibleFrame_; }
  StopConditionView StopCondition() const { return stopView_; }

  // --- Fields --------------------------------------------------------------
  const std::string& Field(EditorField f) const;
  void SetField(EditorField f, std::string text);

  /// Selected option of a load-mode group, 0..3 for "CC", "CR", "CV", "CP".
  int LoadMode(LoadModeGroup g) const;
  /// An option click; indexes outside 0..3 change nothing.
  void ClickLoadMode(LoadModeGroup g, int option);
  std::string_view LoadModeText(LoadModeGroup g) const;
  std::string_view UnitLabel(LoadModeGroup g) const;

  const std::string& SeqLoadType() const { return seqLoadType_; }
  /// "CC" or "CP"; also retitles the sequence table's level row. Any other
  /// text is refused.
  bool SetSeqLoadType(std::string_view type);

  // --- Sub-tables ----------------------------------------------------------
  const SubTable& Table(SubTableKind k) const { return tables_[static_cast<std::size_t>(k)]; }
  SubTable& Table(SubTableKind k) { return tables_[static_cast<std::size_t>(k)]; }
  /// The field that sizes a table: RampTotalStep or SeqLoadTotalStep.
  static EditorField TotalStepField(SubTableKind k);
  /// The operator leaves a total-step field (Enter or focus loss): clamps its
  /// text and resizes the table. Nothing for the cycle table.
  void LeaveTotalStep(SubTableKind k);
  /// Start-up sizes and titles of the three tables (the grid set-up that a
  /// file open repeats); value cells within those sizes and the total-step
  /// fields keep their texts.
  void ResetSubTableLayouts();

  /// The table whose input box is on screen, if any.
  std::optional<SubTableKind> InputBoxTable() const { return inputBox_; }
  /// The text the box was opened with.
  const std::string& InputBoxText() const { return inputBoxText_; }
  SubTableEditTarget EditTarget() const { return editTarget_; }
  /// A click on cell (row, col) of a table. With the input box on screen the
  /// click only takes the focus from it: the box commits `boxText` and the
  /// clicked cell stays current. Otherwise it opens the box over the current
  /// cell, unless the click is on the title row.
  void ClickSubTable(SubTableKind k, int row, int col, std::string_view boxText);
  /// Enter in the box, or the box losing the focus: writes `boxText` into the
  /// edit target and hides the box. Nothing while the box is hidden.
  void CommitInputBox(std::string_view boxText);

  // --- Rows ----------------------------------------------------------------
  /// The row the panel describes (column 0 left empty), with the first text
  /// that would break the step file or a sub-step list.
  BuiltStep BuildStepRow() const;
  /// Writes the panel into `row` of the grid; column 0 is left alone.
  void FillStepRow(StepGrid& grid, int row) const;
  /// Loads step `row` of the grid into the panel. On failure the loading stops
  /// where it failed: fields written before keep their new texts.
  ShowStepResult ShowStepInPanel(const StepGrid& grid, int row);

 private:
  bool ShowSubStepLists(SubTableKind k, const TestStep& step);
  bool ShowCycleRows(const TestStep& step);
  void ShowFrameFields(StepFunction f, const TestStep& step);

  std::vector<std::string> offered_;
  std::string selected_;
  int visibleFrame_ = -1;
  StopConditionView stopView_ = StopConditionView::Hidden;
  std::array<std::string, kEditorFieldCount> fields_;
  std::array<int, kLoadModeGroupCount> loadModes_{};
  std::string seqLoadType_ = "CC";
  std::array<SubTable, kSubTableKindCount> tables_;
  std::optional<SubTableKind> inputBox_;
  std::string inputBoxText_;
  SubTableEditTarget editTarget_;
};

}  // namespace kv
