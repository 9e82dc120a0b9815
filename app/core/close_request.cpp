#include "app/core/close_request.h"

#include "platform/byte_io.h"
#include "platform/counted_text.h"

namespace korvel {

std::string BuildCloseRequest(const CloseRequest& request) {
  std::string m;
  PutU16(&m, kCloseRequestCode);
  PutCountedText(&m, request.name);
  PutCountedText(&m, request.url);
  PutI32(&m, request.n_obj);
  return m;
}

bool ParseCloseRequest(std::string_view message, CloseRequest* out) {
  ByteReader in(message);
  CloseRequest r;
  if (!in.Skip(2) || !GetCountedText(in, &r.name) || !GetCountedText(in, &r.url) ||
      !in.GetI32(&r.n_obj)) {
    return false;
  }
  *out = std::move(r);
  return true;
}

bool CloseRequestTextMatches(std::string_view request_text, std::string_view record_text) {
  if (request_text.size() == kCountedTextMax && record_text.size() > kCountedTextMax) {
    return record_text.substr(0, kCountedTextMax) == request_text;
  }
  return request_text == record_text;
}

}  // namespace korvel
