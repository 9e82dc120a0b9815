// TForm1: the 200 ms timer and what the status bar shows.
#include "app/gui/status_bar.h"
#include "app/gui/tform1.h"

namespace korvel {

void TForm1::Timer1Timer() {
  const bool published = link_up_published_.load();
  if (published != link_up_shown_) {
    link_up_shown_ = published;
    LayoutTiles();
  }
  if (coordinator_ && coordinator_->archive().dirty.exchange(false)) {
    try {
      RebuildArchive();
    } catch (...) {
      // The flag is already clear: the next change brings the next rebuild.
    }
  }
}

void TForm1::RebuildArchive() {
  if (year_reload_) {
    year_reload_ = false;
    coordinator_->LoadArchiveYear();
    if (cl* link = coordinator_->link()) link->SetLastSendTick(0);  // poll at once
    ShowArchiveYear(coordinator_->ArchiveYear());
  }
  ArchiveFilter filter;
  if (archive_hooks_.filter) filter = archive_hooks_.filter();
  filter.video_place = settings_.video_place;
  RebuildArchiveRows(filter, &coordinator_->archive());
  if (archive_hooks_.rows_rebuilt) archive_hooks_.rows_rebuilt();
}

StatusView TForm1::ReadStatusView() const {
  StatusView view;
  view.password = close_password_;
  const cl* link = coordinator_ ? coordinator_->link() : nullptr;
  view.link_exists = link != nullptr;
  view.connected = link != nullptr && link->Connected();
  view.activity = coordinator_ ? coordinator_->activity_counter() % 16 : 0;
  return view;
}

}  // namespace korvel
