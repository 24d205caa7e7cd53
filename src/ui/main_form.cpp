// The main window's controls and their layout; the handlers are in
// main_form_actions.cpp.
#include "ui/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "results/result_log.h"
#include "station/bench.h"
#include "station/station.h"
#include "steps/step_list_ops.h"
#include "ui/check_findings_view.h"
#include "ui/desktop_message_sink.h"
#include "ui/elided_label.h"
#include "ui/result_log_model.h"
#include "ui/run_chart.h"
#include "ui/run_summary_model.h"
#include "ui/step_editor_panel.h"
#include "ui/step_editor_widget.h"
#include "ui/step_list_view.h"
#include "ui/twips.h"

namespace kv {

namespace {

// Sizes in twips.
constexpr int kClientWidth = 21750;
constexpr int kClientHeight = 10440;
constexpr int kListView1Width = 21255;
constexpr int kButtonWidth = 1900;
constexpr int kButtonHeight = 495;

QPushButton* MakeButton(const char* name, const char* caption, const QString& tip,
                        QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QLatin1String(name));
  button->setToolTip(tip);
  button->setMinimumSize(TwipsToPixels(kButtonWidth, parent), TwipsToPixels(kButtonHeight, parent));
  return button;
}

}  // namespace

MainForm::MainForm(Bench& bench, DesktopMessageSink& sink, MainFormOptions options, QWidget* parent)
    : QMainWindow(parent),
      bench_(bench),
      sink_(sink),
      station_(bench.GetStation()),
      files_(station_.Steps(), editor_, bench.IniPath(), options.folders) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QString::fromUtf8(kMainFormCaption));
  buildControls();
  connectStation();
  buildRunParts();
  buildFileParts();
  // Its box belongs to this window; the status line repeats what matters most.
  sink.SetBoxParent(this);
  sink.SetShowHandler({});
  connect(&sink, &DesktopMessageSink::shown, this,
          [this](const QString&, const QString& first) { statusBar()->showMessage(first); });
  sink.Watch(station_);
  startUp(options.stepFile);
}

MainForm::~MainForm() {
  // The sink outlives the window (the link may still report while the
  // program leaves); its messages then go to the log.
  sink_.SetBoxParent(nullptr);
  sink_.SetShowHandler([](const QString& text) { qWarning().noquote() << text; });
  // The undo stack goes with the window's children, after this body: its last
  // signals must not reach a window that is no longer one.
  disconnect(editorWidget_->undoStack(), nullptr, this, nullptr);
}

void MainForm::buildControls() {
  auto* central = new QWidget(this);
  setCentralWidget(central);
  // Made first: Tab follows the order of making, and the buttons are the
  // first thing on screen.
  QWidget* buttonRow = buildButtonRow();

  label24_ = new QLabel(QString::fromUtf8(kMainFormCaption), central);
  label24_->setObjectName(QStringLiteral("Label24"));
  QFont titleFont = label24_->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
  titleFont.setBold(true);
  label24_->setFont(titleFont);
  nameLabel_ = new QLabel(QStringLiteral("No load identified"), central);
  nameLabel_->setObjectName(QStringLiteral("NameLabel"));
  nameLabel_->setToolTip(QStringLiteral("The model the load reported when it was last asked"));
  nameLabel_->setFrameShape(QFrame::Panel);
  nameLabel_->setFrameShadow(QFrame::Sunken);
  nameLabel_->setMinimumWidth(TwipsToPixels(3000, this));
  auto* top = new QHBoxLayout;
  top->addWidget(label24_);
  top->addStretch(1);
  top->addWidget(new QLabel(QStringLiteral("Load:"), central));
  top->addWidget(nameLabel_);

  editorWidget_ = new StepEditorWidget(station_.Steps(), editor_, central);
  editorWidget_->setMessageHandler([this](const QString& text) { showBox(text); });
  connect(editorWidget_, &StepEditorWidget::statusMessage, this,
          [this](const QString& text) { statusBar()->showMessage(text); });

  // The result log: rows of equal height, so a million rows cost nothing
  // until they are painted.
  logModel_ = new ResultLogModel(station_.Log(), this);
  listView1_ = new QTableView(central);
  listView1_->setObjectName(QStringLiteral("ListView1"));
  listView1_->setModel(logModel_);
  listView1_->setSelectionBehavior(QAbstractItemView::SelectRows);
  listView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  listView1_->setWordWrap(false);
  listView1_->verticalHeader()->hide();
  listView1_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  listView1_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  listView1_->horizontalHeader()->setHighlightSections(false);
  // The widths were chosen for a smaller font; a column never cuts its
  // widest usual text ("2026/12/06 10:00:00" in TotalTime).
  const auto columns = BuildResultColumns();
  static constexpr std::array<const char*, kResultColumns> kWidestText = {"000000",
                                                                          "00:00:00",
                                                                          "000.0000",
                                                                          "000.0000",
                                                                          "0000.0000",
                                                                          "0.00000000",
                                                                          "0.00000000",
                                                                          "0000/00/00 00:00:00",
                                                                          "Battery Discharge CC",
                                                                          "PASS"};
  const QFontMetrics metrics = listView1_->fontMetrics();
  for (int c = 0; c < kResultColumns; ++c) {
    const auto i = static_cast<std::size_t>(c);
    const int textWidth = metrics.horizontalAdvance(QLatin1String(kWidestText[i])) + 12;
    listView1_->setColumnWidth(c, std::max(TwipsToPixels(columns[i].widthTwips, this), textWidth));
  }
  // The results stay when another list opens (they may not be saved yet);
  // the banner then says whose they are.
  auto* results = new QWidget(central);
  resultsBanner_ = new QLabel(results);
  resultsBanner_->setObjectName(QStringLiteral("ResultsBanner"));
  resultsBanner_->setToolTip(
      QStringLiteral("The results below are of another list than the one open now"));
  resultsBanner_->setStyleSheet(
      QStringLiteral("QLabel { background: #fff3c4; color: black; border: 1px solid #c9a800; "
                     "padding: 3px 8px; font-weight: bold; }"));
  resultsBanner_->hide();
  tabs_ = new QTabWidget(results);
  tabs_->setObjectName(QStringLiteral("ViewTabs"));
  auto* resultsLayout = new QVBoxLayout(results);
  resultsLayout->setContentsMargins(0, 0, 0, 0);
  resultsLayout->setSpacing(2);
  resultsLayout->addWidget(resultsBanner_);
  resultsLayout->addWidget(tabs_, 1);
  tabs_->addTab(listView1_, QStringLiteral("Log"));
  chart_ = new RunChart(tabs_);
  chart_->setObjectName(QStringLiteral("RunChart"));
  tabs_->addTab(chart_, QStringLiteral("Chart"));
  summaryModel_ = new RunSummaryModel(station_, this);
  auto* summaryView = new QTableView(tabs_);
  summaryView->setObjectName(QStringLiteral("SummaryView"));
  summaryView->setModel(summaryModel_);
  summaryView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  summaryView->setSelectionBehavior(QAbstractItemView::SelectRows);
  summaryView->verticalHeader()->hide();
  summaryView->horizontalHeader()->setStretchLastSection(true);
  summaryView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tabs_->addTab(summaryView, QStringLiteral("Summary"));
  checkView_ = new CheckFindingsView(tabs_);
  tabs_->addTab(checkView_, QStringLiteral("Check"));

  auto* splitter = new QSplitter(Qt::Vertical, central);
  splitter->addWidget(editorWidget_);
  splitter->addWidget(results);
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 2);
  splitter->setChildrenCollapsible(false);

  auto* layout = new QVBoxLayout(central);
  const int margin = TwipsToPixels((kClientWidth - kListView1Width) / 2, this) / 2;
  layout->setContentsMargins(margin, margin, margin, 0);
  layout->addLayout(top);
  layout->addWidget(buttonRow);
  layout->addWidget(splitter, 1);
  // The list's buttons stand left of its grid; each table is one stop, so
  // Tab leaves it (the arrow keys move inside).
  StepListView* list = editorWidget_->listView();
  QWidget::setTabOrder(list->moveDownButton(), list->table());
  for (QTableView* table : {list->table(), listView1_, summaryView}) {
    table->setTabKeyNavigation(false);
  }
  buildHiddenControls(central);
  buildStatusLine();
  resize(TwipsToPixels(kClientWidth, this), TwipsToPixels(kClientHeight, this));
}

QWidget* MainForm::buildButtonRow() {
  auto* row = new QWidget(centralWidget());
  openCommand_ =
      MakeButton("OpenCommand", "Open File", QStringLiteral("Open a test-step file (Ctrl+O)"), row);
  recentButton_ = new QToolButton(row);
  recentButton_->setObjectName(QStringLiteral("RecentLists"));
  recentButton_->setToolTip(QStringLiteral("Open one of the lists last opened or saved"));
  recentButton_->setArrowType(Qt::DownArrow);
  recentButton_->setPopupMode(QToolButton::InstantPopup);
  // The arrow says it already; the style's own indicator would be a second one.
  recentButton_->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
  recentButton_->setMenu(new QMenu(recentButton_));
  recentButton_->setMinimumHeight(TwipsToPixels(kButtonHeight, row));
  saveCommand_ = MakeButton("SaveCommand", "Save File",
                            QStringLiteral("Save the step list to a file (Ctrl+S)"), row);
  connectCommand_ = MakeButton("ConnectCommand", "Device Connect Setup",
                               QStringLiteral("Connection settings, then identify the load"), row);
  checkCommand_ =
      MakeButton("CheckCommand", "Check",
                 QStringLiteral("Check the step list for what a run would not do as written, and "
                                "estimate its time (also done at Start Test)"),
                 row);
  runCommand_ = MakeButton("RunCommand", "Start Test",
                           QStringLiteral("Run the step list from the first step (F5)"), row);
  stopCommand_ = MakeButton("StopCommand", "Stop Test",
                            QStringLiteral("Stop the run and turn the load off (Shift+F5)"), row);
  // Made before Save Log: Tab follows the order the buttons are made in.
  openResultsCmd_ = MakeButton(
      "OpenResultsCmd", "Open Results...",
      QStringLiteral("Show the rows of a run journal or CSV report (the file is not changed)"),
      row);
  saveLogCmd_ =
      MakeButton("SaveLogCmd", "Save Log",
                 QStringLiteral("Save the result log as CSV report files; a run goes on"), row);
  reportCmd_ =
      MakeButton("ReportCmd", "Report\u2026",
                 QStringLiteral("Write the run report of the results shown as a PDF"), row);
  // Big and coloured: read from across the room.
  runStateLabel_ = new QLabel(row);
  runStateLabel_->setObjectName(QStringLiteral("RunState"));
  runStateLabel_->setToolTip(QStringLiteral("What the run is doing, and whether the load is off"));
  runStateLabel_->setAlignment(Qt::AlignCenter);
  QFont stateFont = runStateLabel_->font();
  stateFont.setPointSizeF(stateFont.pointSizeF() * 1.3);
  stateFont.setBold(true);
  runStateLabel_->setFont(stateFont);
  runStateLabel_->setMinimumWidth(
      QFontMetrics(stateFont).horizontalAdvance(QStringLiteral("Link lost (load may be on)")) + 24);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(openCommand_);
  layout->addWidget(recentButton_);
  for (QPushButton* b : {saveCommand_, connectCommand_, checkCommand_}) {
    layout->addWidget(b);
  }
  layout->addStretch(1);
  layout->addWidget(runStateLabel_);
  for (QPushButton* b : {runCommand_, stopCommand_, openResultsCmd_, saveLogCmd_, reportCmd_}) {
    layout->addWidget(b);
  }

  connect(openCommand_, &QPushButton::clicked, this, &MainForm::onOpenClicked);
  connect(saveCommand_, &QPushButton::clicked, this, &MainForm::onSaveClicked);
  connect(connectCommand_, &QPushButton::clicked, this, &MainForm::OpenConnectionSetup);
  connect(runCommand_, &QPushButton::clicked, this, &MainForm::runTest);
  connect(stopCommand_, &QPushButton::clicked, this, &MainForm::stopTest);
  connect(saveLogCmd_, &QPushButton::clicked, this, &MainForm::onSaveLogClicked);
  connect(openResultsCmd_, &QPushButton::clicked, this, &MainForm::onOpenResultsClicked);
  connect(reportCmd_, &QPushButton::clicked, this, &MainForm::onReportClicked);
  connect(checkCommand_, &QPushButton::clicked, this, [this] {
    checkSteps();
    tabs_->setCurrentWidget(checkView_);
  });

  const auto shortcut = [this](QKeySequence keys, auto slot) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
  };
  shortcut(QKeySequence::Open, &MainForm::onOpenClicked);
  shortcut(QKeySequence::Save, &MainForm::onSaveClicked);
  shortcut(QKeySequence(Qt::Key_F5), &MainForm::runTest);
  // Never Esc: it closes drop-downs and cancels typing, and must not end a
  // run when it reaches the window instead.
  shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F5), &MainForm::stopTest);
  return row;
}

void MainForm::buildHiddenControls(QWidget* parent) {
  // Kept for what reads them; the operator never sees them.
  measTimeText_ = new QLineEdit(QStringLiteral("1000"), parent);
  measTimeText_->setObjectName(QStringLiteral("MeasTimeText"));
  label20_ = new QLabel(QStringLiteral("Sampling Time"), parent);
  label20_->setObjectName(QStringLiteral("Label20"));
  label21_ = new QLabel(QStringLiteral("ms"), parent);
  label21_->setObjectName(QStringLiteral("Label21"));
  list1_ = new QListWidget(parent);
  list1_->setObjectName(QStringLiteral("List1"));
  text1_ = new QLineEdit(parent);
  text1_->setObjectName(QStringLiteral("Text1"));
  for (QWidget* w : std::initializer_list<QWidget*>{measTimeText_, label20_, label21_, text1_}) {
    w->hide();
  }
  connect(editorWidget_, &StepEditorWidget::stepCountChanged, text1_, &QLineEdit::setText);
}

void MainForm::buildStatusLine() {
  // Every part of the line is a field that shortens its text with "…" and
  // then holds all of it in its tool tip; the message takes the room left.
  // QStatusBar draws a message only left of its first permanent field, so
  // the message field, first and stretching, leaves it none and shows it.
  messageStatus_ = new ElidedLabel({}, this);
  messageStatus_->setObjectName(QStringLiteral("StatusMessage"));
  // The fields first, then the message in what room is left.
  messageStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  messageStatus_->setMinimumWidth(TwipsToPixels(3000, this));
  statusBar()->addPermanentWidget(messageStatus_, 1);
  connect(statusBar(), &QStatusBar::messageChanged, messageStatus_, &ElidedLabel::setText);
  const auto section = [this](const char* name, const QString& tip) {
    auto* label = new ElidedLabel(tip, this);
    label->setObjectName(QLatin1String(name));
    statusBar()->addPermanentWidget(label);
    return label;
  };
  connectionStatus_ =
      section("ConnectionStatus", QStringLiteral("Connection and identified model"));
  stepStatus_ = section("StepStatus", QStringLiteral("The running step"));
  timeLeftStatus_ = section("TimeLeftStatus", QStringLiteral("Time left in the step's budget"));
  elapsedStatus_ = section("ElapsedStatus", QStringLiteral("Time since Start Test"));
  readingStatus_ = section("ReadingStatus", QStringLiteral("Last voltage, current, Ah and Wh"));
  planStatus_ =
      section("PlanStatus", QStringLiteral("The run time the step list's check estimates"));
  journalStatus_ = section("JournalStatus", QStringLiteral("Where this run's rows are journaled"));
  auto* openFolder = new QAction(QStringLiteral("Open journal folder"), journalStatus_);
  openFolder->setObjectName(QStringLiteral("OpenJournalFolderAction"));
  connect(openFolder, &QAction::triggered, this, &MainForm::openJournalFolder);
  journalStatus_->addAction(openFolder);
  journalStatus_->setContextMenuPolicy(Qt::ActionsContextMenu);
  auto* folderButton = new QToolButton(this);
  folderButton->setObjectName(QStringLiteral("OpenJournalFolder"));
  folderButton->setDefaultAction(openFolder);
  folderButton->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  folderButton->setToolTip(QStringLiteral("Open the folder of the run journals"));
  folderButton->setAutoRaise(true);
  statusBar()->addPermanentWidget(folderButton);
}

void MainForm::startUp(const std::string& stepFile) {
  // The result columns exist (buildControls); then the grids, the settings
  // (read by the bench) and the last step file, as the program always did.
  files_.InitGrids();
  QStringList warnings;
  for (const std::string& w : bench_.Warnings()) {
    warnings << QString::fromStdString(w);
  }
  if (const std::vector<std::string> keys = unusableKeys(); !keys.empty()) {
    QStringList names;
    for (const std::string& k : keys) {
      names << QString::fromStdString(k);
    }
    warnings << QStringLiteral(
                    "Unusable connection settings (%1): Start Test opens Device "
                    "Connect Setup first")
                    .arg(names.join(QStringLiteral(", ")));
  }
  if (!warnings.isEmpty()) {
    statusBar()->showMessage(warnings.join(QStringLiteral("; ")));
  }
  files_.SetCurrentStepFile(stepFile.empty() ? bench_.Settings().testFileName : stepFile);
  const FileActionOutcome loaded = files_.LoadStartupFile();
  updateStepCount();
  if (!loaded.message.isEmpty()) {
    showBox(loaded.message);
  }
  editor_.SelectFunction("Discharge");
  editorWidget_->refresh();
  list1_->hide();
  updateConnectionText();
  updateTitle();
}

}  // namespace kv
