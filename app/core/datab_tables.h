// The coordinator's tables: the table registry, seen through TableAccess by
// reconciliation and probing. Private to datab; every call runs under the
// coordinator's table lock.
#pragma once

#include "app/core/datab.h"
#include "app/core/table_access.h"
#include "table/table_registry.h"

namespace korvel {

class datab::Tables : public TableAccess {
 public:
  TableRegistry registry;

  bool RequestsPresent() override { return registry.VideoR() != nullptr; }
  int RequestCount() override;
  bool ReadRequest(int record, RequestRecord* out) override;
  bool DeleteRequest(int record) override;
  bool TakeRequestsRefresh() override;

  bool CamerasPresent() override { return registry.Video() != nullptr; }
  int CameraCount() override;
  bool ReadCamera(int record, CameraRecord* out) override;
  bool WriteProbeResult(int record, DateTime when, bool reachable) override;
};

}  // namespace korvel
