#include "video/archive_view/archive_view.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>
#include <exception>

#include "platform/codepage.h"
#include "video/archive/archive_year_step.h"
#include "video/archive/playback_math.h"
#include "video/archive_view/archive_grid_model.h"
#include "video/archive_view/seek_progress_bar.h"

namespace korvel {
namespace {

constexpr int kGridWidth = 464;
constexpr int kGridRowHeight = 16;
constexpr int kColumnWidths[3] = {96, 167, 178};
constexpr int kProgressWidth = 241;
constexpr int kFilterMinWidth = 100;
constexpr int kFilterMaxWidth = 180;
const char kFilterHint[] = "Наложение фильтра на список объектов";

}  // namespace

ArchiveView::ArchiveView(ArchiveEntry* entry, const VideoPlayerFactory& factory, Settings settings,
                         QWidget* parent)
    : QWidget(parent), entry_(entry), settings_(std::move(settings)) {
  setObjectName("Panel2");
  BuildControls(factory);
}

ArchiveView::~ArchiveView() = default;

void ArchiveView::BuildControls(const VideoPlayerFactory& factory) {
  auto* bar = new QWidget(this);
  bar->setObjectName("ArchiveFilterBar");
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(4, 2, 4, 2);

  label10_ = new QLabel(QStringLiteral("Выборка"), bar);
  label10_->setObjectName("Label10");
  edit1_ = new QLineEdit(bar);
  edit1_->setObjectName("Edit1");
  edit1_->setToolTip(QString::fromUtf8(kFilterHint));
  radio_and_ = new QRadioButton(QStringLiteral("И"), bar);
  radio_and_->setObjectName("RadioButton1");
  radio_and_->setChecked(true);
  radio_or_ = new QRadioButton(QStringLiteral("ИЛИ"), bar);
  radio_or_->setObjectName("RadioButton2");
  edit2_ = new QLineEdit(bar);
  edit2_->setObjectName("Edit2");
  edit2_->setToolTip(QString::fromUtf8(kFilterHint));
  for (QLineEdit* edit : {edit1_, edit2_}) {
    edit->setMinimumWidth(kFilterMinWidth);
    edit->setMaximumWidth(kFilterMaxWidth);
  }

  year_back_ = new QToolButton(bar);
  year_back_->setObjectName("AdvGlowButton284");
  year_back_->setArrowType(Qt::LeftArrow);
  year_back_->setToolTip(QStringLiteral("События - день назад"));
  year_label_ = new QLabel(QStringLiteral("2011"), bar);
  year_label_->setObjectName("Label327");
  QFont year_font = year_label_->font();
  year_font.setPointSize(16);
  year_font.setBold(true);
  year_label_->setFont(year_font);
  year_forward_ = new QToolButton(bar);
  year_forward_->setObjectName("AdvGlowButton285");
  year_forward_->setArrowType(Qt::RightArrow);
  year_forward_->setToolTip(QStringLiteral("События - день вперед"));

  play_ = new QPushButton(QStringLiteral("Просмотр"), bar);
  play_->setObjectName("Button1");
  play_->setEnabled(false);
  pause_ = new QPushButton(QStringLiteral("Пауза"), bar);
  pause_->setObjectName("Button3");
  pause_->setEnabled(false);
  stop_ = new QPushButton(QStringLiteral("Стоп"), bar);
  stop_->setObjectName("Button2");
  stop_->setEnabled(false);
  progress_ = new SeekProgressBar(bar);
  progress_->setObjectName("ProgressBar1");
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->setFixedWidth(kProgressWidth);
  time_label_ = new QLabel(QString::fromLatin1(kPlaybackLabelStopped), bar);
  time_label_->setObjectName("Label1");

  for (QWidget* w : std::initializer_list<QWidget*>{label10_, edit1_, radio_and_, radio_or_, edit2_,
                                                   year_back_, year_label_, year_forward_, play_,
                                                   pause_, stop_, progress_, time_label_}) {
    row->addWidget(w);
  }
  row->addStretch(1);

  grid_ = new QTableView(this);
  grid_->setObjectName("StringGrid1");
  model_ = new ArchiveGridModel(entry_, grid_);
  grid_->setModel(model_);
  grid_->setFixedWidth(kGridWidth);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setShowGrid(true);
  grid_->setWordWrap(false);
  // A compact font, so that "dd.mm hh:nn:ss" fits the first column's
  // design width and a row stays 16 pixels high.
  QFont grid_font = grid_->font();
  grid_font.setPixelSize(11);
  grid_->setFont(grid_font);
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setMinimumSectionSize(kGridRowHeight);
  grid_->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grid_->horizontalHeader()->setHighlightSections(false);
  for (int c = 0; c < 3; ++c) grid_->setColumnWidth(c, kColumnWidths[c]);

  player_ = factory(this);
  player_->setObjectName("VideoGrabber1");
  QPalette black = player_->palette();
  black.setColor(QPalette::Window, Qt::black);
  player_->setPalette(black);
  player_->setAutoFillBackground(true);

  auto* body = new QHBoxLayout;
  body->setContentsMargins(0, 0, 0, 0);
  body->setSpacing(0);
  body->addWidget(grid_);
  body->addWidget(player_, 1);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(bar);
  column->addLayout(body, 1);

  connect(edit1_, &QLineEdit::textChanged, this, [this] { SetDirty(); });
  connect(edit2_, &QLineEdit::textChanged, this, [this] { SetDirty(); });
  connect(radio_and_, &QRadioButton::clicked, this, [this] { SetDirty(); });
  connect(radio_or_, &QRadioButton::clicked, this, [this] { SetDirty(); });
  connect(year_back_, &QToolButton::clicked, this, [this] { AdvGlowButton284Click(); });
  connect(year_forward_, &QToolButton::clicked, this, [this] { AdvGlowButton285Click(); });
  connect(play_, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(pause_, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(stop_, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(progress_, &SeekProgressBar::pressedAt, this, [this](int x) { ProgressBar1MouseDown(x); });
  connect(grid_, &QTableView::doubleClicked, this, [this] { StringGrid1DblClick(); });
  connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            StringGrid1SelectCell(current.isValid() ? current.row() + 1 : 0);
          });
  connect(player_, &VideoPlayer::opened, this, [this] { PlayerOpened(); });
  connect(player_, &VideoPlayer::positionChanged, this,
          [this](qint64 frame) { PlayerPosition(frame); });
  connect(player_, &VideoPlayer::doubleClicked, this, [this] { PlayerDoubleClick(); });
}

DateTime ArchiveView::Now() const { return settings_.now ? settings_.now() : NowDateTime(); }

// ---- the list ----------------------------------------------------------------

bool ArchiveView::TimerStep() {
  if (!entry_->dirty.exchange(false)) return false;
  try {
    if (year_reload_) {
      year_reload_ = false;
      const int year = YearOf(entry_->archive_date);
      LoadArchiveYear(settings_.base_dir, year, entry_);
      if (year_reloaded_) year_reloaded_();
      ShowYear(year);
    }
    Rebuild();
  } catch (const std::exception&) {
    // Swallowed; the next change of a filter, the year or the archive
    // starts a new rebuild.
  }
  return true;
}

ArchiveFilter ArchiveView::CurrentFilter() const {
  ArchiveFilter filter;
  filter.text1 = Utf8ToCp1251(edit1_->text().toStdString());
  filter.text2 = Utf8ToCp1251(edit2_->text().toStdString());
  filter.and_mode = radio_and_->isChecked();
  filter.video_place = settings_.video_place;
  return filter;
}

void ArchiveView::Rebuild() {
  RebuildArchiveRows(CurrentFilter(), entry_);
  RowsRebuilt();
}

void ArchiveView::RowsRebuilt() {
  // The grid keeps its current row number across the rebuild, as far as
  // the new list reaches; the first row when there was none.
  const int old_row = CurrentGridRow();
  const int old_column = grid_->currentIndex().isValid() ? grid_->currentIndex().column() : 0;
  model_->Refresh();
  const int rows = model_->rowCount();
  const int row = std::clamp(old_row, 1, rows);
  const QSignalBlocker block(grid_->selectionModel());
  grid_->selectionModel()->setCurrentIndex(model_->index(row - 1, old_column),
                                           QItemSelectionModel::ClearAndSelect |
                                               QItemSelectionModel::Rows);
  grid_->viewport()->update();
  StringGrid1SelectCell(row);
}

void ArchiveView::ShowYear(int year) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d", std::clamp(year, 0, 9999));
  year_label_->setText(QString::fromLatin1(text));
}

int ArchiveView::CurrentGridRow() const {
  const QModelIndex current = grid_->currentIndex();
  return current.isValid() ? current.row() + 1 : 0;
}

void ArchiveView::SelectGridRow(int row) {
  if (row < 1 || row > model_->rowCount()) return;
  grid_->selectionModel()->setCurrentIndex(
      model_->index(row - 1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ArchiveView::StringGrid1SelectCell(int row) {
  switch (SelectArchiveRow(*entry_, row, settings_.base_dir)) {
    case PlayButtonState::kDisabled:
      play_->setEnabled(false);
      break;
    case PlayButtonState::kEnabled:
      play_->setEnabled(true);
      break;
    case PlayButtonState::kKeep:
      break;
  }
}

void ArchiveView::RequestYearReload() {
  if (year_step_) {
    year_step_();
  } else {
    year_reload_ = true;
  }
  SetDirty();
}

void ArchiveView::AdvGlowButton284Click() {
  DateTime date = 0;
  if (!ArchiveYearBack(entry_->archive_date, &date)) return;
  entry_->archive_date = date;
  RequestYearReload();
}

void ArchiveView::AdvGlowButton285Click() {
  DateTime date = 0;
  if (!ArchiveYearForward(entry_->archive_date, Now(), &date)) return;
  entry_->archive_date = date;
  RequestYearReload();
}

// ---- playback ------------------------------------------------------------------

void ArchiveView::Button1Click() {
  ArchiveRowView row;
  if (!ReadArchiveRow(*entry_, CurrentGridRow(), &row)) return;
  if (player_paused_) {
    player_->Resume();
  } else {
    // The file may have gone since the row was selected, and a path from
    // the archive is opened only as a local regular file.
    const std::string path = LocalRecordingFile(row.recording_path, settings_.base_dir);
    if (path.empty()) return;
    player_->OpenFile(QString::fromStdString(path));
  }
  player_paused_ = false;
}

void ArchiveView::Button3Click() {
  player_->Pause();
  player_paused_ = true;
}

void ArchiveView::Button2Click() {
  player_->StopPlayback();
  time_label_->setText(QString::fromLatin1(kPlaybackLabelStopped));
  stop_->setEnabled(false);
  pause_->setEnabled(false);
  player_paused_ = false;
}

void ArchiveView::StringGrid1DblClick() {
  if (stop_->isEnabled()) Button2Click();
  if (play_->isEnabled()) Button1Click();
}

void ArchiveView::PlayerOpened() {
  stop_->setEnabled(true);
  pause_->setEnabled(true);
}

void ArchiveView::PlayerPosition(qint64 frame_number) {
  if (const auto percent = ProgressPercent(frame_number, player_->FrameCount())) {
    progress_->setValue(*percent);
  }
  time_label_->setText(QString::fromStdString(
      PlaybackLabelText(player_->Position100ns(), player_->Duration100ns())));
}

void ArchiveView::ProgressBar1MouseDown(int x) {
  if (const auto frame = SeekFrameForClick(x, progress_->width(), player_->FrameCount())) {
    player_->SeekToFrame(*frame);
  }
}

void ArchiveView::PlayerDoubleClick() {
  if (player_->IsFullScreen()) {
    player_->ExitFullScreen();
  } else {
    player_->SetFullScreen(settings_.dfsm);
  }
}

}  // namespace korvel
