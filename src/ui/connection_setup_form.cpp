#include "ui/connection_setup_form.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QSysInfo>
#include <QVBoxLayout>

#include "publish/publish_settings.h"

namespace kv {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}
std::string S(const QString& s) {
  return s.toStdString();
}

// Every box takes typed text as well as a choice (a baud rate of 38400, COM
// port 20, a device path).
QComboBox* EditableCombo(const QString& name, const std::vector<std::string>& items,
                         QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& item : items) {
    combo->addItem(Q(item));
  }
  return combo;
}

QLineEdit* Box(const QString& name, QWidget* parent, int maxWidth = 0) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  if (maxWidth > 0) {
    box->setMaximumWidth(maxWidth);
  }
  return box;
}

QString ProgramFolder() {
  return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

}  // namespace

ConnectionSetupForm::ConnectionSetupForm(std::string iniPath, LinkSettings current, QWidget* parent,
                                         std::string programFolder, int openOnMode)
    : QDialog(parent),
      model_(iniPath, programFolder.empty() ? S(ProgramFolder()) : programFolder),
      settings_(std::move(current)) {
  setObjectName(QStringLiteral("ConnectionSetupForm"));
  setWindowTitle(QStringLiteral("Connect Setup"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  BuildWidgets();
  // The broker as kvload-run would take it, with the rest of [Publish].
  model_.SetBrokerCheck([iniPath](const std::string& broker) {
    PublishSettings publish = ReadPublishSettings(iniPath);
    publish.broker = broker;
    std::string problem;
    CheckPublishSettings(publish, QSysInfo::machineHostName().toStdString(), &problem);
    return problem;
  });
  model_.Start(&settings_, &warnings_);
  if (openOnMode >= 0 && openOnMode <= 2) {
    model_.fields().selectedOption = openOnMode;
  }
  ShowFields();
}

void ConnectionSetupForm::BuildWidgets() {
  auto* frame1 = new QGroupBox(QStringLiteral("Connection Mode"), this);
  frame1->setObjectName(QStringLiteral("Frame1"));
  auto* modeLayout = new QVBoxLayout(frame1);
  auto* group = new QButtonGroup(this);
  const std::array<QString, 3> captions{QStringLiteral("RS-232/USB"), QStringLiteral("GPIB"),
                                        QStringLiteral("LAN")};
  for (int i = 0; i < 3; ++i) {
    auto* option = new QRadioButton(captions[static_cast<std::size_t>(i)], frame1);
    option->setObjectName(QStringLiteral("Option%1").arg(i + 1));
    group->addButton(option, i);
    modeLayout->addWidget(option);
    options_[static_cast<std::size_t>(i)] = option;
  }
  modeLayout->addStretch();
  connect(group, &QButtonGroup::idClicked, this, &ConnectionSetupForm::SelectMode);

  // Frame2: RS-232. The system's ports follow the numbered ones so that a USB
  // adapter can be picked by name.
  auto* frame2 = new QGroupBox(QStringLiteral("RS-232 Setup"), this);
  frame2->setObjectName(QStringLiteral("Frame2"));
  baudRate_ = EditableCombo(QStringLiteral("Combo1"), ConnectionSetupModel::BaudRateList(), frame2);
  std::vector<std::string> ports = ConnectionSetupModel::ComPortList();
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    ports.push_back(S(info.portName()));
  }
  comPort_ = EditableCombo(QStringLiteral("Combo2"), ports, frame2);
  handShake_ =
      EditableCombo(QStringLiteral("Combo3"), ConnectionSetupModel::HandShakeNames(), frame2);
  auto* serial = new QGridLayout(frame2);
  serial->addWidget(new QLabel(QStringLiteral("Baudrate"), frame2), 0, 0);
  serial->addWidget(baudRate_, 0, 1);
  serial->addWidget(new QLabel(QStringLiteral("COM Port"), frame2), 1, 0);
  serial->addWidget(comPort_, 1, 1);
  serial->addWidget(new QLabel(QStringLiteral("HandShake"), frame2), 2, 0);
  serial->addWidget(handShake_, 2, 1);

  auto* frame3 = new QGroupBox(QStringLiteral("GPIB Setup"), this);
  frame3->setObjectName(QStringLiteral("Frame3"));
  address_ = EditableCombo(QStringLiteral("Combo4"), ConnectionSetupModel::AddressList(), frame3);
  auto* gpib = new QGridLayout(frame3);
  gpib->addWidget(new QLabel(QStringLiteral("Address"), frame3), 0, 0);
  gpib->addWidget(address_, 0, 1);
  gpib->setRowStretch(1, 1);

  auto* frame4 = new QGroupBox(QStringLiteral("LAN Setup"), this);
  frame4->setObjectName(QStringLiteral("Frame4"));
  auto* lan = new QGridLayout(frame4);
  lan->addWidget(new QLabel(QStringLiteral("IP Address"), frame4), 0, 0);
  auto* octets = new QHBoxLayout();
  for (std::size_t i = 0; i < lanIp_.size(); ++i) {
    lanIp_[i] = Box(QStringLiteral("Text1_%1").arg(i), frame4, 48);
    octets->addWidget(lanIp_[i]);
  }
  lan->addLayout(octets, 0, 1);
  lan->addWidget(new QLabel(QStringLiteral("Port"), frame4), 1, 0);
  lanPort_ = Box(QStringLiteral("Text2"), frame4, 80);
  lan->addWidget(lanPort_, 1, 1, Qt::AlignLeft);
  lan->setRowStretch(2, 1);

  frames_ = {frame2, frame3, frame4};

  auto* top = new QGridLayout();
  top->addWidget(frame1, 0, 0);
  // The three frames lie on top of each other; the option shows one.
  for (QGroupBox* frame : frames_) {
    top->addWidget(frame, 0, 1);
  }
  top->setColumnStretch(1, 1);

  auto* pathRow = new QHBoxLayout();
  pathRow->addWidget(new QLabel(QStringLiteral("Default Path:"), this));
  defaultPath_ = Box(QStringLiteral("DefaultPathText"), this);
  pathRow->addWidget(defaultPath_, 1);
  auto* browse = new QPushButton(QStringLiteral("..."), this);
  browse->setObjectName(QStringLiteral("Command3"));
  browse->setAutoDefault(false);
  browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) * 3);
  pathRow->addWidget(browse);
  connect(browse, &QPushButton::clicked, this, &ConnectionSetupForm::Browse);

  auto* brokerRow = new QHBoxLayout();
  brokerRow->addWidget(new QLabel(QStringLiteral("Publish to broker:"), this));
  broker_ = Box(QStringLiteral("BrokerText"), this);
  broker_->setPlaceholderText(QStringLiteral("mqtt://host:1883 (empty: off)"));
  brokerRow->addWidget(broker_, 1);

  auto* save = new QPushButton(QStringLiteral("Save"), this);
  save->setObjectName(QStringLiteral("Command1"));
  save->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("Command2"));
  cancel->setAutoDefault(false);
  connect(save, &QPushButton::clicked, this, &ConnectionSetupForm::Save);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  buttons->addWidget(save);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(pathRow);
  layout->addLayout(brokerRow);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setMinimumWidth(480);
}

void ConnectionSetupForm::ShowFields() {
  const ConnectionSetupFields& f = model_.fields();
  for (std::size_t i = 0; i < options_.size(); ++i) {
    options_[i]->setChecked(static_cast<int>(i) == f.selectedOption);
  }
  baudRate_->setCurrentText(Q(f.baudRate));
  comPort_->setCurrentText(Q(f.comPort));
  handShake_->setCurrentText(Q(f.handShake));
  address_->setCurrentText(Q(f.address));
  for (std::size_t i = 0; i < lanIp_.size(); ++i) {
    lanIp_[i]->setText(Q(f.lanIp[i]));
  }
  lanPort_->setText(Q(f.lanPort));
  defaultPath_->setText(Q(f.defaultPath));
  broker_->setText(Q(f.broker));
  SelectMode(f.selectedOption);
}

void ConnectionSetupForm::TakeFields() {
  ConnectionSetupFields& f = model_.fields();
  f.selectedOption = -1;
  for (std::size_t i = 0; i < options_.size(); ++i) {
    if (options_[i]->isChecked()) {
      f.selectedOption = static_cast<int>(i);
    }
  }
  f.baudRate = S(baudRate_->currentText());
  f.comPort = S(comPort_->currentText());
  f.handShake = S(handShake_->currentText());
  f.address = S(address_->currentText());
  for (std::size_t i = 0; i < lanIp_.size(); ++i) {
    f.lanIp[i] = S(lanIp_[i]->text());
  }
  f.lanPort = S(lanPort_->text());
  f.defaultPath = S(defaultPath_->text());
  f.broker = S(broker_->text());
}

void ConnectionSetupForm::SelectMode(int mode) {
  if (mode >= 0 && mode < static_cast<int>(options_.size())) {
    options_[static_cast<std::size_t>(mode)]->setChecked(true);
  }
  for (std::size_t i = 0; i < frames_.size(); ++i) {
    frames_[i]->setVisible(static_cast<int>(i) == mode);
  }
}

void ConnectionSetupForm::Save() {
  TakeFields();
  LinkSettings saved = settings_;
  const ConnectionSaveOutcome outcome = model_.Save(&saved);
  refusal_ = Q(outcome.message);
  if (!outcome.message.empty()) {
    // Not exec(): Save stays a plain call, and the dialog beneath stays open
    // on a refusal.
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), refusal_, QMessageBox::Ok,
                                outcome.accepted ? parentWidget() : this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  }
  if (!outcome.accepted) {
    return;
  }
  settings_ = std::move(saved);
  accept();
}

void ConnectionSetupForm::Browse() {
  const QString current = defaultPath_->text();
  const QString picked = folderPicker_
                             ? folderPicker_(this, current)
                             : QFileDialog::getExistingDirectory(
                                   this, QStringLiteral("Please select Report Path"), current);
  if (!picked.isEmpty()) {
    defaultPath_->setText(QDir::toNativeSeparators(picked));
  }
}

}  // namespace kv
