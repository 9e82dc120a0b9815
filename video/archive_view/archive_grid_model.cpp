#include "video/archive_view/archive_grid_model.h"

#include "platform/codepage.h"

namespace korvel {
namespace {

QString FromCp1251(std::string_view text) {
  return QString::fromStdString(Cp1251ToUtf8(text));
}

}  // namespace

ArchiveGridModel::ArchiveGridModel(const ArchiveEntry* entry, QObject* parent)
    : QAbstractTableModel(parent), entry_(entry) {}

void ArchiveGridModel::Refresh() {
  beginResetModel();
  endResetModel();
}

int ArchiveGridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return ArchiveGridRowCount(*entry_) - 1;
}

int ArchiveGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 3;
}

QVariant ArchiveGridModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  ArchiveRowView row;
  if (!ReadArchiveRow(*entry_, index.row() + 1, &row)) return QString();
  switch (index.column()) {
    case 0:
      return QString::fromStdString(ArchiveRowTimeText(row));
    case 1:
      return FromCp1251(row.object);
    case 2:
      return FromCp1251(ArchiveRowCameraText(row));
    default:
      return {};
  }
}

QVariant ArchiveGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return QString::fromUtf8(ArchiveColumnTitle(section).data(),
                           static_cast<qsizetype>(ArchiveColumnTitle(section).size()));
}

}  // namespace korvel
