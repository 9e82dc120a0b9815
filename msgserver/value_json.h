// JSON forms of field values, used by the seed file and the control
// interface. JSON texts are UTF-8; stored texts are Windows-1251.
//
//   kinds 1 3 5 8 10 12 13 14 19 20 21   number
//   4                                     true/false (or 0/1)
//   6 7                                   number
//   9                                     "dd.MM.yyyy HH:mm:ss" (or a number
//                                         of days since 30.12.1899)
//   25                                    "dd.MM.yyyy HH:mm:ss" (or a number
//                                         of seconds since 01.01.2000)
//   18                                    one-character string (or a number)
//   2, 24, 15, 16                         string (for 15 and 16 the
//                                         dictionary text; the server
//                                         assigns the code)
//   11, 22                                array of byte numbers
//   23                                    array of strings
//
// Written values use the first form; date-times that are not positive are
// written as 0.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "msgserver/table_model.h"

namespace korvel::msgserver {

// Converts a JSON value for a field. False, with *error set, when the JSON
// type does not fit the kind.
bool ValueFromJson(const FieldDescriptor& field, const nlohmann::json& j, IncomingValue* out,
                   std::string* error);

// The JSON form of the value of field `fi` in `record`.
nlohmann::json ValueToJson(const ServerTable& table, size_t fi, const FieldValue& value);

// A whole record as a JSON object, fields in table order.
nlohmann::json RecordToJson(const ServerTable& table, int32_t index);

// Field definitions as JSON (name, kind, width, text_width, tag; the
// dictionary for kinds 15 and 16).
nlohmann::json FieldsToJson(const ServerTable& table);

// Converts a JSON object {field: value} for a table. Unknown field names
// and unfitting values fail with *error set.
bool RecordValuesFromJson(const ServerTable& table, const nlohmann::json& obj,
                          std::vector<IncomingValue>* out, std::string* error);

}  // namespace korvel::msgserver
