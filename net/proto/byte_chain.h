// A chained byte buffer: the store of a message's unknown fields and the target
// of WriteToChain. Bytes go into fixed-size blocks; released block records and one
// data area are kept for reuse, and large blocks of another chain can be shared by
// reference instead of copied.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

class ByteChain {
 public:
  static constexpr int32_t kBlockSize = 1024;       // data bytes per block
  static constexpr int kMaxKeptRecords = 8;         // released records kept for reuse
  static constexpr int32_t kShareThreshold = 1000;  // blocks this full are shared, not copied

  ByteChain() = default;
  ~ByteChain();
  ByteChain(const ByteChain&) = delete;
  ByteChain& operator=(const ByteChain&) = delete;

  void Append(const void* bytes, size_t count);
  void AppendByte(uint8_t byte);
  // Appends all bytes of `other` (which may be this chain's own content too).
  void AppendChain(const ByteChain& other);

  int32_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Copies every byte in order; returns the first byte past them.
  uint8_t* CopyTo(uint8_t* out) const;
  // Drops the content, keeping records and one data area for reuse.
  void Clear();
  // Estimate of the memory held: this object, each block, kept records and area.
  int32_t MemoryFootprint() const;

 private:
  struct DataArea {
    std::atomic<int32_t> refs;
    uint8_t bytes[kBlockSize];
  };
  struct Block {
    Block* next;
    DataArea* area;
    uint8_t* data;  // first byte of this block's view of the area
    int32_t size;   // bytes in use from `data`
  };

  Block* NewBlock();
  void Link(Block* block);
  DataArea* TakeArea();
  void ReleaseArea(DataArea* area);
  void ReleaseRecord(Block* block);
  // True when the last block has room and no other chain shares its area.
  bool TailWritable() const;

  Block* head_ = nullptr;
  Block* tail_ = nullptr;
  int32_t size_ = 0;
  Block* kept_records_ = nullptr;
  int kept_count_ = 0;
  DataArea* spare_area_ = nullptr;
};
