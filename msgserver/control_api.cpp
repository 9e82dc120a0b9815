#include "msgserver/control_api.h"

#include <cstdlib>
#include <vector>

namespace korvel::msgserver {
namespace {

using nlohmann::json;

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 1;
  while (start <= path.size()) {
    const size_t slash = path.find('/', start);
    const std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (!part.empty()) parts.push_back(part);
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return parts;
}

HttpResponse Json(const json& j, int status = 200) {
  return {status, j.dump(2, ' ', false, json::error_handler_t::replace) + "\n", "application/json"};
}

HttpResponse Error(int status, const std::string& text) { return Json({{"error", text}}, status); }

bool ParseInt32(const std::string& s, int32_t* out) {
  char* end = nullptr;
  const long long v = std::strtoll(s.c_str(), &end, 10);
  if (s.empty() || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

uint64_t Since(const HttpRequest& r) {
  auto it = r.query.find("since");
  return it == r.query.end() ? 0 : std::strtoull(it->second.c_str(), nullptr, 10);
}

std::string TypeFilter(const HttpRequest& r) {
  auto it = r.query.find("type");
  return it == r.query.end() ? std::string() : it->second;
}

}  // namespace

HttpResponse HandleControlRequest(MessageServer& server, const HttpRequest& r) {
  const auto p = SplitPath(r.path);
  const std::string& m = r.method;
  json body;
  if (!r.body.empty()) {
    body = json::parse(r.body, nullptr, false);
    if (body.is_discarded()) return Error(400, "the body is not valid JSON");
  }
  json out;
  int status = 400;
  std::string error;
  auto result = [&](bool ok) { return ok ? Json(out) : Error(status, error); };

  if (p.size() == 1 && p[0] == "status" && m == "GET") return Json(server.Status());
  if (p.size() == 1 && p[0] == "tables" && m == "GET") return Json(server.ListTables());
  if (p.size() == 2 && p[0] == "tables" && m == "GET") return result(server.GetTable(p[1], &out, &status, &error));
  if (p.size() == 3 && p[0] == "tables" && p[2] == "records" && m == "POST") {
    return result(server.InsertRecord(p[1], body, &out, &status, &error));
  }
  if (p.size() == 3 && p[0] == "tables" && p[2] == "compact" && m == "POST") {
    return result(server.CompactTable(p[1], &out, &status, &error));
  }
  if (p.size() == 4 && p[0] == "tables" && p[2] == "records") {
    int32_t n_abs = 0;
    if (!ParseInt32(p[3], &n_abs)) return Error(400, "record must be given by its n_abs");
    if (m == "PATCH" || m == "PUT") return result(server.UpdateRecord(p[1], n_abs, body, &out, &status, &error));
    if (m == "DELETE") {
      out = {{"deleted", n_abs}};
      return result(server.DeleteRecord(p[1], n_abs, &status, &error));
    }
    return Error(405, "use PATCH or DELETE on a record");
  }
  if (p.size() == 1 && p[0] == "settings") {
    if (m == "GET") return Json(server.Settings());
    if (m == "PATCH" || m == "PUT") {
      if (!server.SetSettings(body, &status, &error)) return Error(status, error);
      return Json(server.Settings());
    }
    return Error(405, "use GET or PATCH on /settings");
  }
  if (p.size() == 3 && p[0] == "workstations") {
    if (p[2] == "send" && m == "POST") {
      if (!body.is_object() || !body.contains("message") || !body["message"].is_string()) {
        return Error(400, "body must be {\"message\": \"msgReconnect\"}");
      }
      return result(server.SendControl(p[1], body["message"].get<std::string>(), &out, &status, &error));
    }
    if (p[2] == "faults" && m == "POST") return result(server.SetFaults(p[1], body, &out, &status, &error));
    if (p[2] == "resync" && m == "POST") return result(server.Resync(p[1], &out, &status, &error));
    if (p[2] == "log" && m == "GET") return result(server.Log(p[1], Since(r), TypeFilter(r), &out, &status, &error));
  }
  if (p.size() == 1 && p[0] == "log" && m == "GET") return result(server.Log("all", Since(r), TypeFilter(r), &out, &status, &error));
  if (p.size() == 1 && p[0] == "archives" && m == "GET") return Json(server.Archives());
  if (p.size() == 1 && p[0] == "clock" && (m == "PUT" || m == "PATCH")) {
    if (!body.is_object() || !body.contains("offset_seconds") || !body["offset_seconds"].is_number()) {
      return Error(400, "body must be {\"offset_seconds\": number}");
    }
    server.SetClockOffsetSeconds(body["offset_seconds"].get<double>());
    return Json({{"offset_seconds", body["offset_seconds"]}});
  }
  return Error(404, "no such control request: " + m + " " + r.path);
}

}  // namespace korvel::msgserver
