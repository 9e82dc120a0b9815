#include "msgserver/value_json.h"

#include <cmath>

#include "platform/codepage.h"
#include "platform/date_time.h"

namespace korvel::msgserver {
namespace {

using nlohmann::json;

bool IntegerFrom(const json& j, int64_t* out) {
  if (j.is_boolean()) {
    *out = j.get<bool>() ? 1 : 0;
    return true;
  }
  if (j.is_number_integer()) {
    *out = j.get<int64_t>();
    return true;
  }
  if (j.is_number_float()) {
    const double d = j.get<double>();
    if (!std::isfinite(d)) return false;
    *out = TruncToI64(d);
    return true;
  }
  return false;
}

bool TextFrom(const json& j, std::string* out) {
  if (!j.is_string()) return false;
  *out = Utf8ToCp1251(j.get<std::string>());
  return true;
}

std::string ToUtf8(const std::string& cp1251) { return Cp1251ToUtf8(cp1251); }

json DateTimeJson(DateTime dt) {
  if (!(dt > 0)) return 0;
  const std::string text = FormatShortDate(dt) + " " + FormatLongTime(dt);
  return text.size() > 1 ? json(text) : json(dt);
}

}  // namespace

bool ValueFromJson(const FieldDescriptor& field, const json& j, IncomingValue* out, std::string* error) {
  out->field = field.name;
  FieldValue& v = out->value;
  auto fail = [&](const char* what) {
    *error = "field " + ToUtf8(field.name) + ": expected " + what;
    return false;
  };
  switch (field.kind) {
    case kFieldText:
      return TextFrom(j, &v.bytes) || fail("a string");
    case kFieldDict16:
    case kFieldDict8:
    case kFieldHeap:
      return TextFrom(j, &out->text) || fail("a string");
    case kFieldSingle:
    case kFieldDouble:
      if (!j.is_number()) return fail("a number");
      v.real = j.get<double>();
      return true;
    case kFieldDateTime:
      if (j.is_number()) {
        v.real = j.get<double>();
        return true;
      }
      if (j.is_string() && ParseDateTimeDefault(j.get<std::string>(), &v.real)) return true;
      return fail("a date-time \"dd.MM.yyyy HH:mm:ss\" or a number of days");
    case kFieldSeconds2000: {
      DateTime dt = 0;
      if (j.is_string() && ParseDateTimeDefault(j.get<std::string>(), &dt)) {
        v.number = Seconds2000FromDateTime(dt);
        return true;
      }
      int64_t n = 0;
      if (IntegerFrom(j, &n) && n >= 0 && n <= 0xFFFFFFFFLL) {
        v.number = n;
        return true;
      }
      return fail("a date-time \"dd.MM.yyyy HH:mm:ss\" or a number of seconds since 2000");
    }
    case kFieldChar:
      if (j.is_string()) {
        const std::string s = Utf8ToCp1251(j.get<std::string>());
        v.number = s.empty() ? 0 : static_cast<uint8_t>(s[0]);
        return true;
      }
      return IntegerFrom(j, &v.number) || fail("a character");
    case kFieldBlock:
    case kFieldFlags:
      if (!j.is_array()) return fail("an array of byte values");
      v.bytes.clear();
      for (const auto& b : j) {
        int64_t n = 0;
        if (!IntegerFrom(b, &n) || n < 0 || n > 255) return fail("an array of byte values");
        v.bytes.push_back(static_cast<char>(n));
      }
      return true;
    case kFieldTextList:
      if (!j.is_array()) return fail("an array of strings");
      v.texts.clear();
      for (const auto& t : j) {
        std::string s;
        if (!TextFrom(t, &s)) return fail("an array of strings");
        v.texts.push_back(std::move(s));
      }
      return true;
    default:
      return IntegerFrom(j, &v.number) || fail("a number");
  }
}

json ValueToJson(const ServerTable& table, size_t fi, const FieldValue& v) {
  const FieldDescriptor& f = table.fields()[fi];
  switch (f.kind) {
    case kFieldText: return ToUtf8(v.bytes);
    case kFieldDict16:
    case kFieldDict8:
    case kFieldHeap: return ToUtf8(table.ResolvedText(fi, v));
    case kFieldSingle:
    case kFieldDouble: return v.real;
    case kFieldDateTime: return DateTimeJson(v.real);
    case kFieldSeconds2000:
      return v.number == 0 ? json(0)
                           : DateTimeJson(DateTimeFromSeconds2000(static_cast<uint32_t>(v.number)));
    case kFieldBoolean: return v.number != 0;
    case kFieldBlock:
    case kFieldFlags: {
      json a = json::array();
      for (char c : v.bytes) a.push_back(static_cast<uint8_t>(c));
      return a;
    }
    case kFieldTextList: {
      json a = json::array();
      for (const auto& t : v.texts) a.push_back(ToUtf8(t));
      return a;
    }
    default: return v.number;
  }
}

json RecordToJson(const ServerTable& table, int32_t index) {
  json rec = json::object();
  const auto& values = table.record(index);
  for (size_t fi = 0; fi < table.fields().size(); ++fi) {
    rec[ToUtf8(table.fields()[fi].name)] = ValueToJson(table, fi, values[fi]);
  }
  return rec;
}

json FieldsToJson(const ServerTable& table) {
  json a = json::array();
  for (size_t fi = 0; fi < table.fields().size(); ++fi) {
    const FieldDescriptor& f = table.fields()[fi];
    json jf = {{"name", ToUtf8(f.name)}, {"kind", f.kind}, {"width", f.width},
               {"text_width", f.text_width}, {"tag", f.tag}};
    if (f.kind == kFieldDict16 || f.kind == kFieldDict8) {
      json d = json::object();
      for (const auto& e : table.dictionary(fi)) d[std::to_string(e.key)] = ToUtf8(e.text);
      jf["dictionary"] = d;
    }
    a.push_back(jf);
  }
  return a;
}

bool RecordValuesFromJson(const ServerTable& table, const json& obj,
                          std::vector<IncomingValue>* out, std::string* error) {
  if (!obj.is_object()) {
    *error = "record values must be a JSON object";
    return false;
  }
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    const int fi = table.FieldIndex(Utf8ToCp1251(it.key()));
    if (fi < 0) {
      *error = "table " + ToUtf8(table.name()) + " has no field " + it.key();
      return false;
    }
    IncomingValue v;
    if (!ValueFromJson(table.fields()[static_cast<size_t>(fi)], it.value(), &v, error)) {
      return false;
    }
    out->push_back(std::move(v));
  }
  return true;
}

}  // namespace korvel::msgserver
