#pragma once
// One sub-step table of the editor (RampGrid, SeqLoadGrid, CycleLifeGrid) with
// its input box laid over the cell being edited. The table's cells, current
// cell and box state live in StepEditor; this view shows them and forwards
// clicks, Enter and focus loss.

#include <QAbstractTableModel>
#include <QTableView>
#include <functional>

#include "steps/step_editor.h"

class QLineEdit;

namespace kv {

class SubTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  SubTableModel(const SubTable& table, QObject* parent = nullptr);
  /// The table changed in any way (cells, size, titles): a new size resets
  /// the model, so that views drop or add columns at once.
  void reload();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  const SubTable& table_;
  // The size views were last told: the table itself has already changed when
  // reload() runs, so it cannot say whether the size did.
  int rows_ = 0;
  int cols_ = 0;
};

class SubTableView : public QTableView {
  Q_OBJECT

 public:
  SubTableView(StepEditor& editor, SubTableKind kind, QWidget* parent = nullptr);

  SubTableKind kind() const { return kind_; }
  QLineEdit* inputBox() const { return box_; }
  /// Shows the table and the box as the editor holds them.
  void refresh();
  /// Told the table as it was before each edit that changed a cell, so that
  /// the edit can be undone.
  void setEditRecorder(std::function<void(const SubTable& before)> recorder) {
    recorder_ = std::move(recorder);
  }

 signals:
  /// The editor's state changed through this table.
  void changed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void updateGeometries() override;

 private:
  void applyColumnWidths();
  void fitHeight();
  void commitBox();
  /// Runs `change` on the editor and records it when a cell changed.
  void recorded(const std::function<void()>& change);

  StepEditor& editor_;
  SubTableKind kind_;
  SubTableModel* model_;
  QLineEdit* box_;
  std::function<void(const SubTable&)> recorder_;
};

}  // namespace kv
