#include "net/proto/byte_chain.h"

#include <cstring>
#include <new>

ByteChain::~ByteChain() {
  Clear();
  while (kept_records_) {
    Block* next = kept_records_->next;
    delete kept_records_;
    kept_records_ = next;
  }
  delete spare_area_;
}

ByteChain::DataArea* ByteChain::TakeArea() {
  DataArea* area = spare_area_;
  if (area) {
    spare_area_ = nullptr;
  } else {
    area = new DataArea;
  }
  area->refs.store(1, std::memory_order_relaxed);
  return area;
}

void ByteChain::ReleaseArea(DataArea* area) {
  if (area->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  if (!spare_area_) {
    spare_area_ = area;
  } else {
    delete area;
  }
}

void ByteChain::ReleaseRecord(Block* block) {
  if (kept_count_ < kMaxKeptRecords) {
    block->next = kept_records_;
    kept_records_ = block;
    ++kept_count_;
  } else {
    delete block;
  }
}

ByteChain::Block* ByteChain::NewBlock() {
  Block* block = kept_records_;
  if (block) {
    kept_records_ = block->next;
    --kept_count_;
  } else {
    block = new Block;
  }
  block->next = nullptr;
  block->area = nullptr;
  block->data = nullptr;
  block->size = 0;
  return block;
}

void ByteChain::Link(Block* block) {
  if (tail_) {
    tail_->next = block;
  } else {
    head_ = block;
  }
  tail_ = block;
}

bool ByteChain::TailWritable() const {
  if (!tail_) return false;
  // A shared area may hold bytes past our view that belong to another chain.
  if (tail_->area->refs.load(std::memory_order_acquire) != 1) return false;
  return tail_->data + tail_->size < tail_->area->bytes + kBlockSize;
}

void ByteChain::Append(const void* bytes, size_t count) {
  const uint8_t* from = static_cast<const uint8_t*>(bytes);
  while (count > 0) {
    if (!TailWritable()) {
      Block* block = NewBlock();
      block->area = TakeArea();
      block->data = block->area->bytes;
      Link(block);
    }
    uint8_t* end = tail_->data + tail_->size;
    size_t room = static_cast<size_t>(tail_->area->bytes + kBlockSize - end);
    size_t n = count < room ? count : room;
    std::memcpy(end, from, n);
    tail_->size += static_cast<int32_t>(n);
    size_ += static_cast<int32_t>(n);
    from += n;
    count -= n;
  }
}

void ByteChain::AppendByte(uint8_t byte) { Append(&byte, 1); }

void ByteChain::AppendChain(const ByteChain& other) {
  // Walk a snapshot of the source's blocks: appending to ourselves must not
  // visit the blocks the walk itself adds, nor the bytes it adds to a writable
  // last block, so that block's size is taken before the walk.
  const Block* last = other.tail_;
  const int32_t last_size = last ? last->size : 0;
  for (const Block* b = other.head_; b; b = b->next) {
    const int32_t size = b == last ? last_size : b->size;
    if (size >= kShareThreshold) {
      Block* shared = NewBlock();
      b->area->refs.fetch_add(1, std::memory_order_relaxed);
      shared->area = b->area;
      shared->data = b->data;
      shared->size = size;
      Link(shared);
      size_ += size;
    } else {
      Append(b->data, static_cast<size_t>(size));
    }
    if (b == last) break;
  }
}

uint8_t* ByteChain::CopyTo(uint8_t* out) const {
  for (const Block* b = head_; b; b = b->next) {
    std::memcpy(out, b->data, static_cast<size_t>(b->size));
    out += b->size;
  }
  return out;
}

void ByteChain::Clear() {
  Block* b = head_;
  while (b) {
    Block* next = b->next;
    ReleaseArea(b->area);
    ReleaseRecord(b);
    b = next;
  }
  head_ = tail_ = nullptr;
  size_ = 0;
}

int32_t ByteChain::MemoryFootprint() const {
  size_t total = sizeof(ByteChain);
  for (const Block* b = head_; b; b = b->next) total += kBlockSize + sizeof(Block);
  total += static_cast<size_t>(kept_count_) * sizeof(Block);
  if (spare_area_) total += sizeof(DataArea);
  return static_cast<int32_t>(total);
}
