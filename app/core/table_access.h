// The coordinator's view of the two tables it works on: the request table
// "videor" and the camera table "video". Reconciliation and probing are
// written against this view; the coordinator implements it over the table
// registry, tests over plain vectors.
//
// Every method is called with the table lock held, and each call looks the
// table up afresh (a reset may release the tables between two calls, after
// which the table is absent). Records are numbered 1..Count of the table's
// view; a number outside that range reads nothing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/date_time.h"

namespace korvel {

// The fields of a request record ("videor") the wall needs.
struct RequestRecord {
  int32_t n_obj = 0;
  std::string url;
  std::string name;
  std::string nameobj;
  int32_t mesto = 0;
};

// The fields of a camera record ("video") the probe needs.
struct CameraRecord {
  int32_t n_obj = 0;
  std::string ip;
  int32_t port = 0;
  DateTime lasttime = 0;
};

class TableAccess {
 public:
  virtual ~TableAccess() = default;

  // ---- request table ----
  virtual bool RequestsPresent() = 0;
  virtual int RequestCount() = 0;
  virtual bool ReadRequest(int record, RequestRecord* out) = 0;
  // Makes the record current and sends its delete message (the local record
  // stays until the server's deletion notice comes back).
  virtual bool DeleteRequest(int record) = 0;
  // Reads and clears the request table's FlagRefresh.
  virtual bool TakeRequestsRefresh() = 0;

  // ---- camera table ----
  virtual bool CamerasPresent() = 0;
  virtual int CameraCount() = 0;
  virtual bool ReadCamera(int record, CameraRecord* out) = 0;
  // Edit, lasttime := when, ltime := when as well if reachable, Post (which
  // sends the update message). A failure between Edit and Post cancels the
  // edit. False when nothing was sent.
  virtual bool WriteProbeResult(int record, DateTime when, bool reachable) = 0;
};

}  // namespace korvel
