// Reader of `korvel.ini` with the rules of the system's INI reader:
// - section and key names compare without regard to case ("MAIN" = "Main");
// - integers are decimal, or hexadecimal with a "0x" or "$" prefix;
// - booleans are integers: 0 is false, any other number true;
// - strings lose surrounding blanks and one pair of enclosing quotes;
// - a missing file, section or key, or a value that does not parse, gives
//   the default.
// The file may be UTF-8 or Windows-1251; string values are returned as
// Windows-1251 bytes (the program's inner text form). The first value of a
// repeated key wins. Read-only; the program never writes the file.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace korvel {

class Settings {
 public:
  // Loads the file; a file that cannot be read gives an empty set.
  static Settings Load(const std::string& path);
  // Parses the text of a settings file.
  static Settings Parse(const std::string& text);

  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) const;

 private:
  // Keyed by lower-cased "section\nkey"; the raw (untrimmed) value text.
  std::map<std::string, std::string> values_;
};

// Parses an INI integer ("12", "-3", "0x1F", "$1f"); false when it is not one
// or does not fit in 32 bits.
bool ParseIniInteger(const std::string& text, int32_t* out);

}  // namespace korvel
