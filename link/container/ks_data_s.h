// `TKSDataS`: the suite's typed record container, loaded from the byte
// image the server sends in `msgContainer`.
//
// Byte image (little-endian, no gaps):
//
//   +-----------+-----------+-------------+-----------+--------+------------
//   | HeaderA 4 | HeaderB 4 | HeaderD 8   | HeaderC 4 | G i32  | G groups
//   +-----------+-----------+-------------+-----------+--------+------------
//   (24 bytes before the groups; note the order A, B, D, C)
//
// Each group:
//
//   +-----------+--------------+------------------+-------+---------------+-------+---------
//   | GroupId 4 | AutoNumber 4 | GroupName 1+L    | P i32 | P x 29 params | R i32 | records
//   +-----------+--------------+------------------+-------+---------------+-------+---------
//   param: ParamId i32, ParamName (16-byte name slot, capacity 15),
//          ParamType u8, ParamSize i32, ParamExtra i32
//   record: N i32, then N bytes of values back to back
//
// Width of a value in a record by ParamType: 1, 6, 8, 25, 26: 4; 3, 4: 1;
// 5: 2; 7, 9, 13: 8; 11: ParamSize; 24: counted text (1 + its length).
// When locating a value, every type but 24 counts as ParamSize bytes.
//
// The image is untrusted: counts are capped by what the remaining bytes can
// hold (nothing is allocated for a claimed count), and locating a value
// never walks past the bytes of its record.
//
// Threads: a plain object without locking; one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

inline constexpr size_t kContainerHeaderSize = 24;
inline constexpr size_t kContainerParamSize = 29;
// Fewest image bytes a group can take (id, AutoNumber, empty name, P, R).
inline constexpr size_t kContainerMinGroupSize = 4 + 4 + 1 + 4 + 4;
// Largest record LocateField builds when asked to append one.
inline constexpr int64_t kContainerMaxAppendBytes = 64 * 1024 * 1024;

inline constexpr uint8_t kParamTypeText = 24;
inline constexpr uint8_t kParamTypeBytes = 11;

struct stru_ksdata_par {
  int32_t ParamId = 0;
  std::string ParamName;  // at most 15 bytes
  uint8_t ParamType = 0;
  int32_t ParamSize = 0;
  int32_t ParamExtra = 0;
  std::vector<uint8_t> ByteList;   // never filled here; emptied by ClearAll
  std::vector<uint16_t> WordList;  // never filled here; emptied by ClearAll
  std::vector<std::string> TextList;  // never filled here; emptied by ClearAll
};

struct stru_ksdata_group {
  int32_t GroupId = 0;
  std::string GroupName;
  int32_t ParamCount = 0;  // always Params.size()
  int32_t AutoNumber = 0;  // next value of a `dn_abs` parameter of an appended record
  int32_t CurrentRecord = 0;  // record located last; -1 after a failed locate
  std::vector<stru_ksdata_par> Params;
  std::vector<std::string> Records;
};

class TKSDataS {
 public:
  // Replaces the content with the image. Reading stops at the first failure
  // (the image ends early, a count or length is negative): what was read
  // stays, no error is reported. Groups, parameters and records are added as
  // they are read, so a claimed count allocates nothing: a group or record
  // cut short stays as far as it was read, entries after it are not added.
  // ParamCount is the number of parameters held.
  void LoadFromBytes(std::string_view image);

  // Byte offset of parameter k's value in record *r of group g, or -1.
  // *r = -2 means the group's CurrentRecord (after a failed locate that is
  // -1, which answers -1: it does not append); *r = -1 appends a new record
  // (each parameter's initial value; a `dn_abs` parameter of type 1 takes the
  // group's AutoNumber, which then grows by one) and *r becomes its index.
  // k = 0 answers 0. An empty record, or a walk that would leave the record's
  // bytes, answers -1 and sets CurrentRecord to -1; success sets
  // CurrentRecord to *r. An append larger than kContainerMaxAppendBytes, or
  // with a negative type-11 size, answers -1 without appending.
  int32_t LocateField(int32_t g, int32_t k, int32_t* r);

  // The counted text value of parameter k (type 24) of record r of group g;
  // empty when it cannot be located, is of another type, or runs past its
  // record. r follows LocateField (so -1 appends).
  std::string ReadText(int32_t g, int32_t k, int32_t r);

  // Releases every group, parameter list and record.
  void ClearAll();

  int32_t HeaderA() const { return header_a_; }
  int32_t HeaderB() const { return header_b_; }
  int32_t HeaderC() const { return header_c_; }
  const std::string& HeaderD() const { return header_d_; }  // 8 bytes after a load
  int32_t GroupCount() const { return static_cast<int32_t>(groups_.size()); }
  int32_t LastGroupIndex() const { return GroupCount() - 1; }
  const std::vector<stru_ksdata_group>& Groups() const { return groups_; }

 private:
  int32_t header_a_ = 0;
  int32_t header_b_ = 0;
  int32_t header_c_ = 0;
  std::string header_d_;
  std::vector<stru_ksdata_group> groups_;
};

}  // namespace korvel
