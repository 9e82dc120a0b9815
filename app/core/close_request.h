// The close request: the byte message the main window puts into the
// coordinator inbound queue when the operator closes a tile.
//
//   0         2              3+n            4+n+m
//   +---------+--------------+--------------+-----------+
//   | code u16| name 1+n     | url 1+m      | n_obj i32 |
//   +---------+--------------+--------------+-----------+
//   code 699 as built; the coordinator dispatches on its low byte (187).
//   Texts are counted Windows-1251 texts (cut to 255 bytes).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

inline constexpr uint16_t kCloseRequestCode = 699;
inline constexpr uint8_t kCloseRequestLowByte = 187;  // 699 & 0xFF

struct CloseRequest {
  std::string name;
  std::string url;
  int32_t n_obj = 0;
};

std::string BuildCloseRequest(const CloseRequest& request);

// Reads name, url and n_obj after the 2-byte code. False when the message
// ends early.
bool ParseCloseRequest(std::string_view message, CloseRequest* out);

// A text of a close request matches a record's text when equal as bytes;
// a request text of 255 bytes (the most a counted text holds) also matches
// a longer record text on its first 255 bytes.
bool CloseRequestTextMatches(std::string_view request_text, std::string_view record_text);

}  // namespace korvel
