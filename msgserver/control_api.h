// The HTTP + JSON control interface of the message server (loopback).
//
//   GET    /status                              server and workstations
//   GET    /tables                              tables and field definitions
//   GET    /tables/{t}                          all records of a table
//   POST   /tables/{t}/records       {values}   add a record (pushed to all)
//   PATCH  /tables/{t}/records/{n}   {values}   change record n_abs = n
//   DELETE /tables/{t}/records/{n}              delete it (deletion notice)
//   POST   /tables/{t}/compact                  drop deleted records, push
//                                               fresh snapshots
//   GET    /settings                            the 512-byte settings block
//   PATCH  /settings                 {"386":32} set bytes, push the block
//   POST   /workstations/{w}/send    {"message":"msgReconnect"}
//   POST   /workstations/{w}/faults  {"silent":true,"damage_next":1,
//                                     "delay_ms":500,"close":true}
//   POST   /workstations/{w}/resync             snapshots as sub-messages
//   GET    /workstations/{w}/log?since=N&type=T decoded messages it sent
//   GET    /log?since=N&type=T                  the same for every one
//   GET    /archives                            year archives and sizes
//   PUT    /clock                    {"offset_seconds": -30}
//
// {w} is a workstation id, "all" or "place:N". Errors answer a 4xx status
// with {"error": "..."}.
#pragma once

#include "msgserver/http_server.h"
#include "msgserver/message_server.h"

namespace korvel::msgserver {

// Handles one control request against the server. Thread: the HTTP
// server's; the server's operations are thread-safe.
HttpResponse HandleControlRequest(MessageServer& server, const HttpRequest& request);

}  // namespace korvel::msgserver
