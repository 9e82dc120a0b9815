#include "platform/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>

#include "platform/codepage.h"
#include "platform/cp1251_case.h"
#include "platform/file_io.h"

namespace korvel {
namespace {

// Names compare without regard to case whatever script they are written in.
std::string Lower(std::string_view s) { return LowerCp1251(s); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The value as the system INI reader returns it: blanks around it removed,
// then one pair of enclosing quotes (both " or both ').
std::string CleanValue(std::string_view raw) {
  std::string_view v = Trim(raw);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v.remove_prefix(1);
    v.remove_suffix(1);
  }
  return std::string(v);
}

std::string MapKey(std::string_view section, std::string_view key) {
  return Lower(Trim(section)) + '\n' + Lower(Trim(key));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseIniInteger(const std::string& text, int32_t* out) {
  std::string_view s = text;
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  bool hex = false;
  if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    hex = true;
    s.remove_prefix(2);
  } else if (!s.empty() && s[0] == '$') {
    hex = true;
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  // Hexadecimal spans all 32 bits ("$FFFFFFFF" is -1); decimal must fit
  // the signed range.
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  uint64_t value = 0;
  for (char c : s) {
    const int d = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (d < 0) return false;
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    if (value > limit) return false;
  }
  const uint32_t bits = static_cast<uint32_t>(negative ? (0 - value) : value);
  *out = static_cast<int32_t>(bits);
  return true;
}

Settings Settings::Load(const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, &text)) return Settings();
  return Parse(text);
}

Settings Settings::Parse(const std::string& text) {
  std::string_view body = text;
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  // A file that is valid UTF-8 is converted; anything else is taken as
  // Windows-1251 already (plain ASCII is the same in both).
  const std::string cp1251 = IsValidUtf8(body) ? Utf8ToCp1251(body) : std::string(body);

  Settings settings;
  std::string section;
  bool in_section = false;
  std::string_view rest = cp1251;
  while (!rest.empty()) {
    const size_t eol = rest.find('\n');
    std::string_view line = rest.substr(0, eol);
    rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      line.remove_prefix(1);
      const size_t close = line.find(']');
      section = std::string(line.substr(0, close));
      in_section = true;
      continue;
    }
    const size_t eq = line.find('=');
    if (!in_section || eq == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, eq));
    if (key.empty()) continue;
    // emplace keeps the first value of a repeated key.
    settings.values_.emplace(MapKey(section, key), std::string(line.substr(eq + 1)));
  }
  return settings;
}

int32_t Settings::ReadInteger(const std::string& section, const std::string& key,
                              int32_t def) const {
  const auto it = values_.find(MapKey(section, key));
  if (it == values_.end()) return def;
  int32_t value = 0;
  return ParseIniInteger(CleanValue(it->second), &value) ? value : def;
}

bool Settings::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

std::string Settings::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
  const auto it = values_.find(MapKey(section, key));
  return it == values_.end() ? def : CleanValue(it->second);
}

}  // namespace korvel
