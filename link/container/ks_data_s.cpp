#include "link/container/ks_data_s.h"

#include <algorithm>

#include "platform/byte_io.h"
#include "platform/counted_text.h"

namespace korvel {
namespace {

// Reads one group into *g. Returns false at the first failure; what was read
// up to then stays in *g. Lists grow only as their entries are read (at most
// one entry per remaining byte), never to a claimed count.
bool ReadGroup(ByteReader& in, stru_ksdata_group* g) {
  if (!in.GetI32(&g->GroupId)) return false;
  if (!in.GetI32(&g->AutoNumber)) return false;
  if (!GetCountedText(in, &g->GroupName)) return false;

  int32_t p = 0;
  if (!in.GetI32(&p) || p < 0) return false;
  g->Params.reserve(std::min<size_t>(static_cast<size_t>(p), in.remaining() / kContainerParamSize));
  for (int32_t i = 0; i < p; ++i) {
    if (in.remaining() < kContainerParamSize) return false;
    stru_ksdata_par par;
    in.GetI32(&par.ParamId);
    GetNameSlot(in, kFieldNameCapacity, &par.ParamName);
    in.GetU8(&par.ParamType);
    in.GetI32(&par.ParamSize);
    in.GetI32(&par.ParamExtra);
    g->Params.push_back(std::move(par));
    g->ParamCount = static_cast<int32_t>(g->Params.size());
  }

  int32_t r = 0;
  if (!in.GetI32(&r) || r < 0) return false;
  g->Records.reserve(std::min<size_t>(static_cast<size_t>(r), in.remaining() / 4));
  for (int32_t i = 0; i < r; ++i) {
    // The record exists (empty) as soon as its turn comes, as in a list
    // sized to its count; it is filled only when its bytes are all there.
    if (in.empty()) return false;
    std::string& rec = g->Records.emplace_back();
    int32_t n = 0;
    if (!in.GetI32(&n) || n < 0) return false;
    if (!in.GetBytes(static_cast<size_t>(n), &rec)) return false;
  }
  return true;
}

// The initial bytes of a record appended to group g, or false when they
// would be larger than kContainerMaxAppendBytes or a size is negative.
bool BuildAppendedRecord(stru_ksdata_group& g, std::string* out) {
  int64_t total = 0;
  for (const stru_ksdata_par& par : g.Params) {
    switch (par.ParamType) {
      case 1: case 6: case 8: case 25: case 26: total += 4; break;
      case 3: case 4: case kParamTypeText: total += 1; break;
      case 5: total += 2; break;
      case 7: case 9: case 13: total += 8; break;
      case kParamTypeBytes:
        if (par.ParamSize < 0) return false;
        total += par.ParamSize;
        break;
      default: break;
    }
    if (total > kContainerMaxAppendBytes) return false;
  }
  out->clear();
  out->reserve(static_cast<size_t>(total));
  for (const stru_ksdata_par& par : g.Params) {
    switch (par.ParamType) {
      case 1:
        if (par.ParamName == "dn_abs") {
          PutI32(out, g.AutoNumber);
          // Wraps like the 32-bit counter it is, never overflows.
          g.AutoNumber = static_cast<int32_t>(static_cast<uint32_t>(g.AutoNumber) + 1u);
        } else {
          PutI32(out, 0);
        }
        break;
      case 6: case 8: case 25: case 26: PutI32(out, 0); break;
      case 3: case 4: case kParamTypeText: PutU8(out, 0); break;  // 24: empty counted text
      case 5: PutU16(out, 0); break;
      case 7: case 9: case 13: PutU64(out, 0); break;
      case kParamTypeBytes: out->append(static_cast<size_t>(par.ParamSize), '\0'); break;
      default: break;
    }
  }
  return true;
}

}  // namespace

void TKSDataS::LoadFromBytes(std::string_view image) {
  ClearAll();
  header_a_ = header_b_ = header_c_ = 0;
  header_d_.clear();
  ByteReader in(image);
  if (!in.GetI32(&header_a_) || !in.GetI32(&header_b_) || !in.GetBytes(8, &header_d_) ||
      !in.GetI32(&header_c_)) {
    return;
  }
  int32_t count = 0;
  if (!in.GetI32(&count) || count < 0) return;
  // Groups are added as they are read: a claimed count allocates nothing.
  // A group cut short stays as far as it was read; groups after it, which
  // would be empty, are not added.
  groups_.reserve(std::min<size_t>(static_cast<size_t>(count), in.remaining() / kContainerMinGroupSize));
  for (int32_t i = 0; i < count; ++i) {
    if (in.empty()) return;
    if (!ReadGroup(in, &groups_.emplace_back())) return;
  }
}

int32_t TKSDataS::LocateField(int32_t g, int32_t k, int32_t* r) {
  if (g < 0 || g > LastGroupIndex()) return -1;
  stru_ksdata_group& group = groups_[static_cast<size_t>(g)];
  if (k < 0 || static_cast<size_t>(k) >= group.Params.size()) return -1;

  // -2 takes the record located last; only an explicit -1 appends, so a
  // CurrentRecord of -1 left by a failed locate answers -1 instead of
  // growing the group.
  if (*r == -2) {
    *r = group.CurrentRecord;
  } else if (*r == -1) {
    std::string record;
    if (!BuildAppendedRecord(group, &record)) return -1;
    group.Records.push_back(std::move(record));
    *r = static_cast<int32_t>(group.Records.size() - 1);
  }
  if (*r < 0 || static_cast<size_t>(*r) >= group.Records.size()) return -1;
  if (k == 0) return 0;

  const std::string& rec = group.Records[static_cast<size_t>(*r)];
  if (rec.empty()) {
    group.CurrentRecord = -1;
    return -1;
  }
  // Walk the values before parameter k; every step must stay inside the
  // record, and parameter k's value must start inside it.
  int64_t offset = 0;
  const auto size = static_cast<int64_t>(rec.size());
  for (int32_t i = 0; i < k; ++i) {
    const stru_ksdata_par& par = group.Params[static_cast<size_t>(i)];
    int64_t width = par.ParamSize;
    if (par.ParamType == kParamTypeText) {
      width = offset < size ? 1 + static_cast<uint8_t>(rec[static_cast<size_t>(offset)]) : -1;
    }
    if (width < 0 || offset + width > size) {
      group.CurrentRecord = -1;
      return -1;
    }
    offset += width;
  }
  if (offset >= size) {
    group.CurrentRecord = -1;
    return -1;
  }
  group.CurrentRecord = *r;
  return static_cast<int32_t>(offset);
}

std::string TKSDataS::ReadText(int32_t g, int32_t k, int32_t r) {
  const int32_t offset = LocateField(g, k, &r);
  if (offset < 0) return {};
  const stru_ksdata_group& group = groups_[static_cast<size_t>(g)];
  if (group.Params[static_cast<size_t>(k)].ParamType != kParamTypeText) return {};
  const std::string& rec = group.Records[static_cast<size_t>(r)];
  ByteReader in(rec);
  std::string text;
  if (!in.Skip(static_cast<size_t>(offset)) || !GetCountedText(in, &text)) return {};
  return text;
}

void TKSDataS::ClearAll() {
  for (stru_ksdata_group& g : groups_) {
    g.Records.clear();
    for (stru_ksdata_par& p : g.Params) {
      p.ByteList.clear();
      p.WordList.clear();
      p.TextList.clear();
    }
    g.Params.clear();
    g.ParamCount = 0;
  }
  groups_.clear();
}

}  // namespace korvel
