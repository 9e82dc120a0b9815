// Readers shared by the getters, the view builder and the sender of the
// engine. Internal to table/.
#pragma once

#include <cstdint>
#include <string>

#include "table/field_ksb.h"

namespace korvel::field_internal {

// The counted text at the record's heap offset, cut to the heap; empty for
// a negative offset or one beyond the heap. `entry` may be nullptr.
std::string HeapText(const FieldKSB* f, const uint8_t* entry);
// The dictionary text of a code; empty for code 0 or an unknown code.
std::string DictionaryText(const FieldKSB* f, uint32_t code);
// The code stored in a kind-15/16 entry; 0 for nullptr.
uint32_t StoredCode(const FieldKSB* f, const uint8_t* entry);

}  // namespace korvel::field_internal
