#include "ui/func_frame.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "ui/sub_table_view.h"
#include "ui/twips.h"

namespace kv {

namespace {

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::optional<SubTableKind> TotalStepTable(EditorField f) {
  if (f == EditorField::RampTotalStep) {
    return SubTableKind::Ramp;
  }
  if (f == EditorField::SeqLoadTotalStep) {
    return SubTableKind::SeqLoad;
  }
  return std::nullopt;
}

const char* LoadModeGroupName(LoadModeGroup g) {
  switch (g) {
    case LoadModeGroup::Discharge:
      return "DiscLoadMode";
    case LoadModeGroup::Dynamic:
      return "DynaLoadMode";
    case LoadModeGroup::Normal:
      break;
  }
  return "NormalLoadMode";
}

}  // namespace

namespace {

// A red frame and the reason in the tool tip while the text cannot stand.
void MarkFieldProblem(QLineEdit* edit, EditorField f) {
  const std::string problem = FieldTextProblem(f, edit->text().toStdString());
  edit->setProperty("fieldProblem", !problem.empty());
  edit->setStyleSheet(problem.empty() ? QString() : QStringLiteral("border: 2px solid #d01010;"));
  edit->setToolTip(QString::fromStdString(problem));
}

}  // namespace

QLineEdit* FieldWidgets::edit(EditorField f) const {
  const auto it = fields_.find(f);
  return it == fields_.end() ? nullptr : it->second.edit;
}

void FieldWidgets::addField(StepEditor& editor, EditorField f, QGridLayout* layout, int row,
                            int group) {
  editor_ = &editor;
  const EditorFieldInfo& info = FieldInfo(f);
  FieldRow widgets;
  widgets.caption = new QLabel(Q(info.caption), this);
  widgets.edit = new QLineEdit(Q(editor.Field(f)), this);
  widgets.edit->setObjectName(Q(info.control));
  widgets.edit->setMinimumWidth(TwipsToPixels(900, this));
  widgets.edit->setMaximumWidth(TwipsToPixels(1800, this));
  widgets.unit = new QLabel(Q(info.unit), this);
  widgets.unit->setObjectName(info.unitLabel.empty() ? Q(info.control) + "Unit"
                                                     : Q(info.unitLabel));
  widgets.caption->setBuddy(widgets.edit);
  const int col = group * 4;
  layout->addWidget(widgets.caption, row, col);
  layout->addWidget(widgets.edit, row, col + 1);
  layout->addWidget(widgets.unit, row, col + 2);

  connect(widgets.edit, &QLineEdit::textEdited, this,
          [&editor, f](const QString& text) { editor.SetField(f, text.toStdString()); });
  // Said as it is typed, not first when Add refuses the step.
  connect(widgets.edit, &QLineEdit::textChanged, this,
          [edit = widgets.edit, f] { MarkFieldProblem(edit, f); });
  MarkFieldProblem(widgets.edit, f);
  if (const auto table = TotalStepTable(f)) {
    // Enter and focus loss both size the table; the focus loss is caught in
    // eventFilter().
    connect(widgets.edit, &QLineEdit::returnPressed, this, [this, &editor, kind = *table] {
      editor.LeaveTotalStep(kind);
      emit changed();
    });
    widgets.edit->installEventFilter(this);
  }
  fields_[f] = widgets;
}

void FieldWidgets::refreshFields(const StepEditor& editor) {
  for (auto& [f, widgets] : fields_) {
    const QString text = QString::fromStdString(editor.Field(f));
    if (widgets.edit->text() != text) {
      widgets.edit->setText(text);
    }
    const int group = FieldInfo(f).unitGroup;
    if (group != kNoUnitGroup) {
      widgets.unit->setText(Q(editor.UnitLabel(static_cast<LoadModeGroup>(group))));
    }
  }
}

bool FieldWidgets::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && editor_ != nullptr) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
      for (const auto& [f, widgets] : fields_) {
        if (widgets.edit == watched) {
          if (const auto table = TotalStepTable(f)) {
            editor_->LeaveTotalStep(*table);
            emit changed();
          }
        }
      }
    }
  }
  return QGroupBox::eventFilter(watched, event);
}

FuncFrame::FuncFrame(StepEditor& editor, StepFunction function, QWidget* parent)
    : FieldWidgets(Q(StepFunctionName(function)), parent), editor_(editor), function_(function) {
  setObjectName(QStringLiteral("FuncFrame%1").arg(static_cast<int>(function)));
  setMinimumSize(TwipsToPixels(5295, this), TwipsToPixels(2295, this));
  auto* layout = new QGridLayout(this);
  int row = 0;

  if (const auto group = LoadModeGroupOf(function)) {
    auto* options = new QHBoxLayout;
    modes_ = new QButtonGroup(this);
    modes_->setObjectName(LoadModeGroupName(*group));
    for (int i = 0; i < kLoadModeCount; ++i) {
      auto* option = new QRadioButton(Q(kLoadModeNames[static_cast<std::size_t>(i)]), this);
      option->setObjectName(QStringLiteral("%1_%2").arg(LoadModeGroupName(*group)).arg(i));
      modes_->addButton(option, i);
      options->addWidget(option);
      // Dynamic offers no constant-voltage mode; the option exists for rows
      // from files that hold one.
      option->setHidden(*group == LoadModeGroup::Dynamic && i == kHiddenDynamicMode);
    }
    options->addStretch();
    layout->addWidget(new QLabel(QStringLiteral("Load Mode"), this), row, 0);
    layout->addLayout(options, row, 1, 1, 7);
    connect(modes_, &QButtonGroup::idClicked, this, [this, g = *group](int id) {
      editor_.ClickLoadMode(g, id);
      emit changed();
    });
    ++row;
  }
  if (function == StepFunction::SequenceLoad) {
    seqType_ = new QComboBox(this);
    seqType_->setObjectName(QStringLiteral("SeqLoadTypeCombo"));
    seqType_->addItems({QStringLiteral("CC"), QStringLiteral("CP")});
    layout->addWidget(new QLabel(QStringLiteral("Type"), this), row, 0);
    seqType_->setMaximumWidth(TwipsToPixels(1800, this));
    layout->addWidget(seqType_, row, 1);
    connect(seqType_, &QComboBox::activated, this, [this](int index) {
      editor_.SetSeqLoadType(seqType_->itemText(index).toStdString());
      emit changed();
    });
    ++row;
  }

  std::vector<EditorField> own;
  for (const auto& info : kEditorFields) {
    if (info.frame == static_cast<int>(function)) {
      own.push_back(info.field);
    }
  }
  // Up to three fields stand in one column; more fill two, read down each
  // column, except Dynamic's which pair up across (High/Low, T-High/T-Low...).
  const int n = static_cast<int>(own.size());
  const int perColumn = n > 3 ? (n + 1) / 2 : n;
  const bool across = function == StepFunction::Dynamic;
  for (int i = 0; i < n; ++i) {
    const int r = across ? i / 2 : i % std::max(perColumn, 1);
    const int group = across ? i % 2 : i / std::max(perColumn, 1);
    addField(editor, own[static_cast<std::size_t>(i)], layout, row + r, group);
  }
  row += across ? (n + 1) / 2 : perColumn;

  if (const auto kind = SubTableOf(function)) {
    table_ = new SubTableView(editor, *kind, this);
    layout->addWidget(table_, row, 0, 1, 8, Qt::AlignLeft);
    connect(table_, &SubTableView::changed, this, &FuncFrame::changed);
    ++row;
  }
  layout->setRowStretch(row, 1);
  layout->setColumnStretch(7, 1);
  refresh();
}

void FuncFrame::refresh() {
  refreshFields(editor_);
  if (const auto group = LoadModeGroupOf(function_)) {
    QAbstractButton* option = modes_->button(editor_.LoadMode(*group));
    if (option != nullptr && !option->isChecked()) {
      option->setChecked(true);
    }
  }
  if (seqType_ != nullptr) {
    seqType_->setCurrentText(QString::fromStdString(editor_.SeqLoadType()));
  }
  if (table_ != nullptr) {
    table_->refresh();
  }
}

StopConditionFrame::StopConditionFrame(StepEditor& editor, QWidget* parent)
    : FieldWidgets(QStringLiteral("Stop Condition"), parent), editor_(editor) {
  setObjectName(QStringLiteral("Frame11"));
  auto* layout = new QGridLayout(this);
  addField(editor, EditorField::VStop, layout, 0, 0);
  addField(editor, EditorField::TStop, layout, 1, 0);
  addField(editor, EditorField::AhStop, layout, 2, 0);
  layout->setRowStretch(3, 1);
  layout->setColumnStretch(7, 1);
  refresh();
}

void StopConditionFrame::refresh() {
  refreshFields(editor_);
  const StopConditionView view = editor_.StopCondition();
  setVisible(view != StopConditionView::Hidden);
  for (const EditorField f : {EditorField::VStop, EditorField::AhStop}) {
    const FieldRow& row = fields().at(f);
    const bool shown = view == StopConditionView::All;
    row.caption->setVisible(shown);
    row.edit->setVisible(shown);
    row.unit->setVisible(shown);
  }
}

}  // namespace kv
