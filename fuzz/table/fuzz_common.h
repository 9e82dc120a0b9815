// Shared by the table fuzz targets: a table of every kind as a snapshot, and
// a walk over a table that calls every getter and view option.
#pragma once

#include <string>

#include "table/ks_base_c.h"

namespace korvel::fuzz {

// Snapshot of table "t": three records, one field of every kind.
std::string AllKindsSnapshot();
// Reads every field of the first records with every getter, sorts by a few
// fields, filters, and runs an edit with a Post.
void ExerciseTable(TKSBaseC* t);

}  // namespace korvel::fuzz
