// The model behind the archive grid "StringGrid1": three columns ("Дата
// время", "Объект", "Камера") whose cells are read straight from the archive
// entry's arrays at paint time, through ReadArchiveRow; nothing is cached,
// so a list of a million rows costs no memory beyond `archive_rows`.
//
// Row r of the model is grid row r + 1 (the grid's header row is the view's
// horizontal header). The model shows ArchiveGridRowCount - 1 rows, at least
// one, so an empty list shows one blank row. Every cell re-checks its row
// against `archive_rows` and the index (ReadArchiveRow does), so a cell of
// a list that changed under the view paints empty rather than wrong.
//
// Threads: GUI thread only; the entry must outlive the model.
#pragma once

#include <QAbstractTableModel>

#include "video/archive/archive_entry.h"

namespace korvel {

class ArchiveGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ArchiveGridModel(const ArchiveEntry* entry, QObject* parent = nullptr);

  // Call after RebuildArchiveRows (or a load) has changed the list.
  void Refresh();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  const ArchiveEntry* entry_;
};

}  // namespace korvel
