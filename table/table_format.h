// Byte layouts of the table messages: snapshots, record updates, deletion
// and edit-done notices (server to program) and the insert, update, delete
// and dictionary-code requests (program to server). Little-endian, no
// padding; texts are counted texts, names travel in name slots of 9 (table)
// and 16 (field) bytes (platform/counted_text.h).
//
// Snapshot:
//   table slot(9) | N i32 | F i32 | F x ( descriptor(33) | column )
// Field descriptor (33 bytes):
//   tag i32 | field slot(16) | kind u8 | width i32 | text width i32 | reserved i32
// Column for N records (w width, t text width); no bytes at all when N is 0:
//   1 10 12 14 19 21   N x 4 (int32)        2      N x w counted-text slots
//   3 4 18             N x 1                5      N x 2
//   6                  N x 4 (float)        7 9    N x 8 (double)
//   8 25               N x 4 (uint32)       11 22  N x w blocks
//   13 20              N x 8 (int64)        23     N x w x t text slots
//   15   N x 2 codes | D i32 | D x ( key u32 | text slot(t) )
//   16   N x 1 codes | D i32 | D x ( key u16 | text slot(t) )
//   24   N x 4 offsets | H i32 | H bytes of heap (counted texts)
//   17 and codes outside 1..25: nothing
//   Fixed kinds use the kind's own size here, whatever w says.
//
// Record update:   table slot(9) | index i32 | total i32 | entries to the end
// Entry:           field slot(16) | value slot
// Value slot of a record update: w bytes for every kind but these:
//   2   w bytes: a counted text in its slot     23  w x t text slots
//   15  code in w bytes | text slot(t)          16  code in w bytes | text slot(t)
//   24  H u32 | offset i32 | (when H > 0) counted text of its own length
// Value slot of an insert/update request: as above except
//   15, 16  text slot(t) only (the server assigns the code)
//   24      counted text of its own length
//
// Insert:          table slot(9) | entries | SYSUSER entry
// Update:          table slot(9) | identity i32 | entries | SYSUSER entry
// SYSUSER entry:   field slot(16) "SYSUSER" | counted text (user name)
// Delete:          table slot(9) | n_abs i32                       13 bytes
// Deletion notice: table slot(9) | n_abs i32
// Edit-done:       table slot(9)
// Snapshot ack:    table slot(9)
// Dictionary code (30 bytes):
//   table slot(9) | field slot(16) | kind u8 | text width low byte u8 | 3 u8 |
//   code (kind 15: u16; kind 16: u8 then 0; otherwise 0 0)
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel::table_format {

// Command codes carried by the link (type codes of the messages).
inline constexpr int32_t kCmdSnapshot = 0x02200003;
inline constexpr int32_t kCmdInsert = 0x02200007;
inline constexpr int32_t kCmdUpdate = 0x02200008;
inline constexpr int32_t kCmdDelete = 0x02200009;
inline constexpr int32_t kCmdSnapshotAck = 0x0220000A;
inline constexpr int32_t kCmdRecordUpdate = 0x0220000C;
inline constexpr int32_t kCmdEditDone = 0x0220000D;
inline constexpr int32_t kCmdDeletionNotice = 0x0220000E;
inline constexpr int32_t kCmdTableList = 0x02200045;
inline constexpr int32_t kCmdDictionaryCode = 0x02200049;

inline constexpr size_t kTableSlotSize = 9;
inline constexpr size_t kFieldSlotSize = 16;

inline constexpr size_t kSnapshotHeaderSize = 17;  // slot(9) N(4) F(4)
inline constexpr size_t kSnapshotCountOffset = 9;
inline constexpr size_t kSnapshotFieldCountOffset = 13;

inline constexpr size_t kDescriptorSize = 33;
inline constexpr size_t kDescriptorTagOffset = 0;
inline constexpr size_t kDescriptorNameOffset = 4;
inline constexpr size_t kDescriptorKindOffset = 20;
inline constexpr size_t kDescriptorWidthOffset = 21;
inline constexpr size_t kDescriptorTextWidthOffset = 25;
inline constexpr size_t kDescriptorReservedOffset = 29;

inline constexpr size_t kRecordUpdateIndexOffset = 9;
inline constexpr size_t kRecordUpdateTotalOffset = 13;
inline constexpr size_t kRecordUpdateEntriesOffset = 17;

inline constexpr size_t kDeleteMessageSize = 13;
inline constexpr size_t kDeletionNoticeSize = 13;
inline constexpr size_t kDictionaryCodeSize = 30;
inline constexpr uint8_t kDictionaryCodeConstant = 3;

inline constexpr char kSysUserName[] = "SYSUSER";

}  // namespace korvel::table_format
