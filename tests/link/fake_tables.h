// TableAccess over plain vectors, for reconciliation and probing tests.
#pragma once

#include <string>
#include <vector>

#include "app/core/table_access.h"

namespace korvel::test {

class FakeTables : public TableAccess {
 public:
  struct Write {
    int record;
    DateTime when;
    bool reachable;
  };

  bool RequestsPresent() override { return requests_present; }
  int RequestCount() override { return static_cast<int>(requests.size()); }
  bool ReadRequest(int r, RequestRecord* out) override {
    if (r < 1 || r > RequestCount()) return false;
    *out = requests[r - 1];
    return true;
  }
  bool DeleteRequest(int r) override {
    deleted.push_back(r);
    return true;
  }
  bool TakeRequestsRefresh() override {
    const bool f = refresh;
    refresh = false;
    return f;
  }
  bool CamerasPresent() override { return cameras_present; }
  int CameraCount() override { return static_cast<int>(cameras.size()); }
  bool ReadCamera(int r, CameraRecord* out) override {
    if (r < 1 || r > CameraCount()) return false;
    *out = cameras[r - 1];
    return true;
  }
  bool WriteProbeResult(int r, DateTime when, bool reachable) override {
    writes.push_back({r, when, reachable});
    return true;
  }

  bool requests_present = true;
  bool cameras_present = true;
  bool refresh = false;
  std::vector<RequestRecord> requests;
  std::vector<CameraRecord> cameras;
  std::vector<int> deleted;
  std::vector<Write> writes;
};

}  // namespace korvel::test
