// Byte layouts of the link to the message server: frames, messages, the
// payloads the link itself builds or parses, and every message type code.
//
// Integers are little-endian, members follow each other without gaps, texts
// are Windows-1251. A name slot of capacity N is a counted text padded to
// 1 + N bytes (platform/counted_text.h).
//
// Frame: a 21-byte header, then `wire length` body bytes.
//
//   0        1            5              9             17             21
//   +--------+------------+--------------+-------------+--------------+------
//   | marker | reserved 4 | wire len i32 | reserved 8  | plain len i32| body
//   +--------+------------+--------------+-------------+--------------+------
//   marker 0xFF: the body is the message as is.
//   marker 0xF0: the body is the whole message (header included) as a zlib
//                stream (RFC 1950), deflate level 1, 15-bit window, memory
//                level 8, default strategy; it inflates to `plain len` bytes.
//   Reserved bytes are written as zero and ignored on receipt.
//
// Message: an 18-byte header, then the payload.
//
//   0       1           5             9                 17    18
//   +-------+-----------+-------------+-----------------+-----+---------
//   | start | type u32  | length i32  | sequence u64    | end | payload
//   +-------+-----------+-------------+-----------------+-----+---------
//   start 0xFF when sent (0xF0 also accepted), end 0xFE. A message filling a
//   frame takes every byte after its header as payload; a sub-message inside
//   a poll reply is delimited by its length field.
//
// Poll payload (msgPoll, program to server): empty when there is no archive
// to report, otherwise 47 bytes:
//
//   0            4
//   +------------+------------------------------+
//   | count i32=1| archive sizes record (43)    |
//   +------------+------------------------------+
//
// Archive sizes record (43 bytes):
//
//   0                     31          35            39           43
//   +---------------------+-----------+-------------+------------+
//   | archive name slot30 | pool i32  | records i32 | index i32  |
//   +---------------------+-----------+-------------+------------+
//   bytes held of the .fm8 string pool, the .fp8 record file, the .fz8 index.
//
// Poll reply payload (msgPoll, server to program): empty (nothing), or
//
//   0                 8          9
//   +-----------------+----------+----------------------------------
//   | server time f64 | count u8 | sub-messages, header + payload each
//   +-----------------+----------+----------------------------------
//   (a payload of exactly 8 bytes carries the server time only).
//
// Archive chunk (msgArchiveChunk), a 55-byte header then the blocks whose
// length is above 0, in the order pool, record file, index file:
//
//   0                 31      35      39      43      47      51      55
//   +-----------------+-------+-------+-------+-------+-------+-------+----
//   | archive slot 30 | pool  | pool  | rec   | rec   | index | index | ...
//   |                 | off   | len   | off   | len   | off   | len   |
//   +-----------------+-------+-------+-------+-------+-------+-------+----
//   all int32; an index length of -2 has a meaning of its own.
//
// Deletion notice (msgDeletionNotice), 13 bytes whatever its length field:
//
//   0                  9
//   +------------------+-----------+
//   | table slot 8     | n_abs i32 |
//   +------------------+-----------+
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// ---- frame ---------------------------------------------------------------
inline constexpr size_t kFrameHeaderSize = 21;
inline constexpr size_t kFrameMarkerOffset = 0;
inline constexpr size_t kFrameWireLengthOffset = 5;
inline constexpr size_t kFramePlainLengthOffset = 17;
inline constexpr uint8_t kFrameMarkerPlain = 0xFF;
inline constexpr uint8_t kFrameMarkerCompressed = 0xF0;
// Ceiling for a frame's wire and plain length: a peer's claim above it fails
// the exchange before anything is allocated.
inline constexpr int32_t kMaxFrameLength = 64 * 1024 * 1024;

// zlib parameters of a compressed body.
inline constexpr int kDeflateLevel = 1;
inline constexpr int kDeflateWindowBits = 15;
inline constexpr int kDeflateMemLevel = 8;

// ---- message ---------------------------------------------------------------
inline constexpr size_t kMessageHeaderSize = 18;
inline constexpr size_t kMessageTypeOffset = 1;
inline constexpr size_t kMessageLengthOffset = 5;
inline constexpr size_t kMessageSequenceOffset = 9;
inline constexpr size_t kMessageEndOffset = 17;
inline constexpr uint8_t kMessageStart = 0xFF;
inline constexpr uint8_t kMessageStartAlt = 0xF0;
inline constexpr uint8_t kMessageEnd = 0xFE;

// ---- timing ----------------------------------------------------------------
// Longest wait for a frame header, and for each body read.
inline constexpr int kReceiveTimeoutMs = 35000;
// Longest wait for a connect to the message server.
inline constexpr int kConnectTimeoutMs = 4000;
// Chunk size for body reads until the socket reports its receive buffer
// (the default of the PacketSize setting).
inline constexpr int32_t kDefaultPacketSize = 64000;

// ---- payloads --------------------------------------------------------------
inline constexpr size_t kArchiveNameSlotSize = 31;  // name slot of capacity 30
inline constexpr size_t kTableNameSlotSize = 9;     // name slot of capacity 8
inline constexpr size_t kArchiveSizesRecordSize = 43;
inline constexpr size_t kPollPayloadWithSizes = 4 + kArchiveSizesRecordSize;  // 47
inline constexpr size_t kPollReplyTimeSize = 8;
inline constexpr size_t kPollReplyHeaderSize = 9;
inline constexpr size_t kArchiveChunkHeaderSize = 55;
inline constexpr int32_t kArchiveIndexLengthRefresh = -2;
inline constexpr size_t kDeletionNoticeSize = 13;
inline constexpr size_t kServerSettingsSize = 512;
inline constexpr size_t kCameraEventSize = 1461;
inline constexpr uint16_t kClientKind = 63;  // payload of msgLogin
inline constexpr size_t kClientFlagsSize = 8;
inline constexpr size_t kClientVersionSize = 8;
inline constexpr size_t kDictionaryCodeSize = 30;

// ---- message type codes ------------------------------------------------------
// "top": fills a frame; "sub": arrives inside a poll reply.
inline constexpr uint32_t msgLogin = 0x02000001;           // to server, top: u16 kind 63
inline constexpr uint32_t msgLoginAccepted = 0x02000003;   // to program, top
inline constexpr uint32_t msgLinkDisable = 0x02000005;     // to program, top
inline constexpr uint32_t msgResetErrors = 0x02000007;     // to program, top
inline constexpr uint32_t msgResourceText = 0x02000009;    // to program, sub, skipped
inline constexpr uint32_t msgReconnect = 0x02FFFFFD;       // to program, top
inline constexpr uint32_t msgDropAndClear = 0x02FFFFFE;    // to program, top
inline constexpr uint32_t msgSnapshot = 0x02200003;        // to program, top or sub
inline constexpr uint32_t msgInsert = 0x02200007;          // to server, top (table)
inline constexpr uint32_t msgUpdate = 0x02200008;          // to server, top (table)
inline constexpr uint32_t msgDelete = 0x02200009;          // to server, top (table)
inline constexpr uint32_t msgSnapshotAck = 0x0220000A;     // to server, top
inline constexpr uint32_t msgRecordUpdate = 0x0220000C;    // to program, top or sub
inline constexpr uint32_t msgEditDoneNotice = 0x0220000D;  // to program, top
inline constexpr uint32_t msgDeletionNotice = 0x0220000E;  // to program, sub
inline constexpr uint32_t msgArchiveChunk = 0x0220000F;    // to program, sub
inline constexpr uint32_t msgCameraEvent = 0x02200013;     // to server, top: 1461 bytes
inline constexpr uint32_t msgPoll = 0x0220003F;            // both ways, top
inline constexpr uint32_t msgTableList = 0x02200045;       // to program, top
inline constexpr uint32_t msgDictionaryCode = 0x02200049;  // to server, top (table)
inline constexpr uint32_t msgTableBlob = 0x0220004D;       // to program, sub, skipped
inline constexpr uint32_t msgClientFlags = 0x02200062;     // to server, top: 8 bytes
inline constexpr uint32_t msgClientVersion = 0x02200063;   // to server, top: 4 x u16
inline constexpr uint32_t msgClientPlace = 0x02200065;     // to server, top: 1 byte
inline constexpr uint32_t msgServerSettings = 0x0220008B;  // to program, sub: 512 bytes
inline constexpr uint32_t msgContainer = 0x02200099;       // to program, sub

}  // namespace korvel
