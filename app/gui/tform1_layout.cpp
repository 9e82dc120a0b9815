// TForm1: its controls and the layout of the two views.
#include <QButtonGroup>
#include <QLabel>
#include <QResizeEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/gui/status_bar.h"
#include "app/gui/tform1.h"
#include "app/gui/top_panel.h"
#include "video/archive_view/archive_view.h"

namespace korvel {

namespace {
QToolButton* ViewButton(QWidget* parent, const char* name, const QString& label_text,
                        const char* label_name, int left, QStyle::StandardPixmap icon) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setCheckable(true);
  button->setAutoRaise(true);  // flat
  button->setIcon(parent->style()->standardIcon(icon));
  button->setIconSize(QSize(32, 32));
  button->setToolTip(label_text);
  button->setGeometry(left, 6, 64, 48);
  auto* label = new QLabel(label_text, parent);
  label->setObjectName(label_name);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setGeometry(left - 18, 56, 100, 18);
  return button;
}
}  // namespace

void TForm1::BuildControls() {
  panel1_ = new TopPanel(this);
  panel1_->setFrameShape(QFrame::StyledPanel);
  panel1_->setFixedHeight(kPanel1HeightPx);
  speed_button1_ = ViewButton(panel1_, "SpeedButton1", QStringLiteral("Видеоохрана"), "Label1", 24,
                              QStyle::SP_ComputerIcon);
  speed_button2_ = ViewButton(panel1_, "SpeedButton2", QStringLiteral("Архив"), "Label2", 124,
                              QStyle::SP_DirOpenIcon);
  auto* group = new QButtonGroup(panel1_);  // group 1: exactly one is down
  group->setExclusive(true);
  group->addButton(speed_button1_);
  group->addButton(speed_button2_);
  speed_button1_->setChecked(true);
  connect(speed_button1_, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
  connect(speed_button2_, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
  connect(panel1_, &TopPanel::doubleClicked, this, [this] { Panel1DblClick(); });

  // The archive view's place. Until the archive view is put in, it shows the
  // year label alone.
  panel2_ = new QWidget(this);
  panel2_->setObjectName("Panel2");
  panel2_->setVisible(false);
  auto* archive_layout = new QVBoxLayout(panel2_);
  year_label_ = new QLabel(QStringLiteral("2011"), panel2_);
  year_label_->setObjectName("Label327");
  QFont big = year_label_->font();
  big.setPointSize(20);
  year_label_->setFont(big);
  archive_layout->addWidget(year_label_, 0, Qt::AlignLeft | Qt::AlignTop);
  archive_layout->addStretch(1);

  status_ = new StatusBar(this, [this] { return ReadStatusView(); });

  timer_ = new QTimer(this);
  timer_->setObjectName("Timer1");
  connect(timer_, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

void TForm1::BuildArchiveView() {
  ArchiveView::Settings view_settings;
  view_settings.base_dir = base_dir_;
  view_settings.video_place = settings_.video_place;
  view_settings.dfsm = settings_.dfsm;
  archive_view_ = new ArchiveView(&coordinator_->archive(), options_.player_factory,
                                  view_settings, panel2_);
  archive_view_->setObjectName("ArchiveView");
  // The year buttons hand the reload to this window's timer.
  archive_view_->SetYearStepHook([this] { RequestYearReload(); });
  archive_hooks_.filter = [this] { return archive_view_->CurrentFilter(); };
  archive_hooks_.rows_rebuilt = [this] { archive_view_->RowsRebuilt(); };
  year_label_->setVisible(false);
  panel2_->layout()->addWidget(archive_view_);
  static_cast<QVBoxLayout*>(panel2_->layout())->setStretchFactor(archive_view_, 100);
  panel2_->layout()->setContentsMargins(0, 0, 0, 0);
}

void TForm1::PlaceRegions() {
  const int w = width();
  const int h = height();
  panel1_->setGeometry(0, 0, w, panel1_->height());
  status_->setGeometry(0, h - StatusBar::kHeightPx, w, StatusBar::kHeightPx);
  panel2_->setGeometry(0, panel1_->height(), w,
                       std::max(0, h - panel1_->height() - StatusBar::kHeightPx));
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutTiles();  // FormResize
}

void TForm1::LayoutTiles() {
  PlaceRegions();
  if (!view_mode_) {
    panel2_->setVisible(true);
    wall_->HideAll();
    return;
  }
  panel2_->setVisible(false);
  WallMetrics metrics;
  metrics.client_width = width();
  metrics.client_height = height();
  metrics.panel1_height = panel1_->height();
  metrics.status_height = status_->height();
  wall_->SetLinkShown(link_up_shown_);
  wall_->Place(metrics);
}

void TForm1::Panel1DblClick() {
  panel1_->setFixedHeight(panel1_->height() == kPanel1HeightPx ? kPanel1CollapsedPx
                                                               : kPanel1HeightPx);
  LayoutTiles();
}

void TForm1::SpeedButton1Click() {
  view_mode_ = true;
  speed_button1_->setChecked(true);
  LayoutTiles();
}

void TForm1::SpeedButton2Click() {
  view_mode_ = false;
  speed_button2_->setChecked(true);
  LayoutTiles();
}

}  // namespace korvel
