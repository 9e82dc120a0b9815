#include "video/archive/archive_date_text.h"

namespace korvel {
namespace {

// Two digits of 0..99 at out[0..1].
void Put2(char* out, int v) {
  out[0] = static_cast<char>('0' + v / 10);
  out[1] = static_cast<char>('0' + v % 10);
}

}  // namespace

void FormatArchiveDateTexts(const ArchiveEventTime& t, ArchiveDateTexts* out) {
  char* s = out->short_;
  Put2(s, t.day);
  s[2] = '.';
  Put2(s + 3, t.month);
  s[5] = ' ';
  Put2(s + 6, t.hour);
  s[8] = ':';
  Put2(s + 9, t.minute);
  s[11] = ':';
  Put2(s + 12, t.second);

  char* l = out->long_;
  Put2(l, t.day);
  l[2] = '.';
  Put2(l + 3, t.month);
  l[5] = '.';
  Put2(l + 6, t.year / 100);
  Put2(l + 8, t.year % 100);
  out->long_size_ = 10;
  if (t.hour != 0 || t.minute != 0 || t.second != 0) {
    l[10] = ' ';
    Put2(l + 11, t.hour);
    l[13] = ':';
    Put2(l + 14, t.minute);
    l[16] = ':';
    Put2(l + 17, t.second);
    out->long_size_ = 19;
  }
}

}  // namespace korvel
