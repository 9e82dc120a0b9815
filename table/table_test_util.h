// Fixtures of the table tests: tables built by the snapshot writer and
// loaded through the loader, and a recorder of sent messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "table/ks_base_c.h"
#include "table/snapshot_writer.h"

namespace korvel::testing {

FieldDescriptor Desc(std::string name, uint8_t kind, int32_t width = -1, int32_t text_width = 0);
TableValue Num(int64_t v);
TableValue Real(double v);
TableValue Text(std::string v);

// A column description: the descriptor and one value per record.
SnapshotField Column(FieldDescriptor d, std::vector<TableValue> values);

// `n_abs` (kind 1) and `p_d` (kind 3) columns for identities 1..n (all
// visible), followed by `more`.
SnapshotTable MakeTable(std::string name, int32_t records, std::vector<SnapshotField> more);

// Loads a snapshot into `table` and rebuilds its view.
void Load(TKSBaseC* table, const SnapshotTable& snapshot);

struct SentMessage {
  int32_t command = 0;
  std::string bytes;
};
// Makes `table` record every message it sends into `sent`.
void RecordSends(TKSBaseC* table, std::vector<SentMessage>* sent);

}  // namespace korvel::testing
