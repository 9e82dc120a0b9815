#include "video/wall/video_wall.h"

#include <QAction>

#include "app/core/close_request.h"
#include "platform/codepage.h"
#include "video/wall/recording_path.h"

namespace korvel {

VideoWall::VideoWall(QWidget* host, const VideoPlayerFactory& factory, Settings settings,
                     CameraEventSink* sink)
    : QObject(host), host_(host), settings_(std::move(settings)), sink_(sink),
      now_(&NowDateTime) {
  menu_ = new QMenu(host_);
  menu_->setObjectName("PopupMenu1");
  n2_ = menu_->addAction(QStringLiteral("Закрыть"));
  n2_->setObjectName("N2");
  connect(menu_, &QMenu::aboutToShow, this, [this] { PopupMenu1Popup(); });
  connect(n2_, &QAction::triggered, this, [this] { N2Click(); });

  for (int t = 0; t < WallTable::kTiles; ++t) {
    VideoPlayer* p = factory(host_);
    p->setObjectName(QString::fromStdString(PlayerName(t)));
    p->setVisible(false);
    p->setContextMenuPolicy(Qt::CustomContextMenu);
    AttachHandlers(p);
    players_[t] = p;
  }
  for (int t = 0; t < WallTable::kTiles; ++t) {
    auto* c = new CaptionPanel(host_);
    c->setObjectName(QStringLiteral("caption%1").arg(t));
    c->setText(QString());
    c->setVisible(false);  // shown by the first layout
    captions_[t] = c;
  }
}

VideoWall::~VideoWall() = default;

void VideoWall::AttachHandlers(VideoPlayer* p) {
  connect(p, &VideoPlayer::previewStarted, this, [this, p] { TilePreviewStarted(p); });
  connect(p, &VideoPlayer::recordingStarted, this,
          [this, p](const QString& file) { TileRecordingStarted(p, file); });
  connect(p, &VideoPlayer::deviceLost, this, [this, p] { TileDeviceLost(p); });
  connect(p, &VideoPlayer::logText, this, [this, p](const QString& text) { TileLog(p, text); });
  connect(p, &VideoPlayer::doubleClicked, this, [this, p] { TileDoubleClick(p); });
  connect(p, &VideoPlayer::mouseDown, this, [this, p] { VideoGrabber1MouseDown(p); });
  connect(p, &QWidget::customContextMenuRequested, this,
          [this, p](const QPoint& pos) { menu_->popup(p->mapToGlobal(pos)); });
}

bool VideoWall::OpenCamera(const std::string& name, const std::string& url, int32_t n_obj,
                           const std::string& nameobj) {
  const int t = table_.Open(name, url, n_obj, nameobj, settings_.recording);
  if (t < 0) return false;
  recording_paths_[t].clear();
  recording_written_[t] = false;
  VideoPlayer* p = players_[t];
  p->SetStreamTimeoutMs(kStreamTimeoutMs);
  p->OpenLive(QString::fromStdString(Cp1251ToUtf8(url)));
  if (settings_.recording) {
    table_.record(t).recording_file = StartRecording(t, p);
  } else {
    p->StartPreview();
  }
  captions_[t]->SetTextColor(CaptionPanel::kRed);
  if (layout_) layout_();
  return true;
}

std::string VideoWall::StartRecording(int t, VideoPlayer* p) {
  const DateTime now = now_();
  CalendarFields when;
  if (!DecodeDateTime(now, &when)) when = CalendarFields{2000, 1, 1};
  const std::string& prefix = settings_.storage_prefix;
  if (!CreateDayFolders(prefix, when.year, when.month, when.day)) {
    Log("Не удалось создать папку записи " + DayFolderPath(prefix, when.year, when.month, when.day));
  }
  const TileRecord& r = table_.record(t);
  const std::string base =
      RecordingBaseName(Cp1251ToUtf8(r.nameobj), Cp1251ToUtf8(r.name), FormatLongTime(now));
  const std::string path =
      UniqueRecordingPath(DayFolderPath(prefix, when.year, when.month, when.day), base,
                          [this](const std::string& c) { return RecordingPathTaken(c); });
  recording_paths_[t] = path;
  p->StartRecording(QString::fromStdString(path));
  const std::string reported = p->RecordingFile().toStdString();
  return Utf8ToCp1251(reported.empty() ? path : reported);
}

bool VideoWall::RecordingPathTaken(const std::string& path) const {
  for (int t = 0; t < WallTable::kTiles; ++t) {
    if (table_.record(t).occupied() && recording_paths_[t] == path) return true;
  }
  return PathExists(path);
}

void VideoWall::CloseTile(int position) {
  if (position < 0 || position >= WallTable::kTiles) return;
  const int t = table_.TileAt(position);
  Journal(t, CameraEventKind::kClosed);
  table_.Close(position);
  recording_paths_[t].clear();
  VideoPlayer* p = players_[t];
  if (p->IsFullScreen()) p->ExitFullScreen();
  p->Stop();
  captions_[t]->SetTextColor(CaptionPanel::kRed);
  if (layout_) layout_();
}

void VideoWall::Place(const WallMetrics& metrics) {
  const std::vector<TileRect> rects = WallTileRects(metrics, table_.layout_mode());
  if (rects.empty()) return;
  const int shown = static_cast<int>(rects.size());
  for (int k = 0; k < shown; ++k) {
    VideoPlayer* p = players_[table_.TileAt(k)];
    const TileRect& r = rects[k];
    placed_[table_.TileAt(k)] = r;
    if (!p->IsFullScreen()) {
      p->setGeometry(r.left, r.top, std::max(0, r.width), std::max(0, r.height));
      p->setVisible(true);
    }
    ShowTileCaption(k);
  }
  for (int k = shown; k < WallTable::kTiles; ++k) {
    const int t = table_.TileAt(k);
    if (!players_[t]->IsFullScreen()) players_[t]->setVisible(false);
    captions_[t]->setVisible(false);
  }
}

void VideoWall::HideAll() {
  for (int t = 0; t < WallTable::kTiles; ++t) {
    if (!players_[t]->IsFullScreen()) players_[t]->setVisible(false);
    captions_[t]->setVisible(false);
  }
}

void VideoWall::ShowTileCaption(int position) {
  if (position < 0 || position >= WallTable::kTiles) return;
  const int t = table_.TileAt(position);
  // The bounds the layout gave the player (kept while it is full screen).
  captions_[t]->ShowFor(placed_[t], link_shown_, CaptionText(t), table_.live(t));
}

QString VideoWall::CaptionText(int t) const {
  const TileRecord& r = table_.record(t);
  return QString::fromStdString(Cp1251ToUtf8(r.nameobj) + " - " + Cp1251ToUtf8(r.name));
}

WallTiles VideoWall::ReadWallTiles() const {
  WallTiles tiles;
  for (int k = 0; k < WallTable::kTiles; ++k) {
    const TileRecord& r = table_.record(table_.TileAt(k));
    tiles[k] = TileRequest{r.n_obj, r.name, r.url, r.nameobj};
  }
  return tiles;
}

void VideoWall::PopupMenu1Popup() {
  const bool open = menu_tile_ >= 0 && menu_tile_ < WallTable::kTiles &&
                    !table_.record(menu_tile_).url.empty();
  n2_->setEnabled(open);
}

void VideoWall::N2Click() {
  if (menu_tile_ < 0 || menu_tile_ >= WallTable::kTiles) return;
  const TileRecord& r = table_.record(menu_tile_);
  const std::string request = BuildCloseRequest(CloseRequest{r.name, r.url, r.n_obj});
  if (put_close_request_) put_close_request_(request);
}

void VideoWall::Log(std::string_view utf8) {
  // Player texts may quote what a camera sent: no control bytes in a line.
  if (log_) log_(ReplaceControlBytes(Utf8ToCp1251(utf8)));
}

}  // namespace korvel
