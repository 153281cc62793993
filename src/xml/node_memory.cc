#include "xml/node_memory.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace tavirelle {

#if defined(__SANITIZE_ADDRESS__)
#define TAVIRELLE_XML_PLAIN_ALLOCATION 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVIRELLE_XML_PLAIN_ALLOCATION 1
#endif
#endif

#ifdef TAVIRELLE_XML_PLAIN_ALLOCATION

// Under the address sanitizer every object gets its own allocation, so that
// overruns and uses after destruction are caught.
void* AllocateXMLObject(size_t size) { return ::operator new(size); }
void FreeXMLObject(void* object) noexcept { ::operator delete(object); }

#else

namespace {

constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kAlignment = 16;
// Larger objects (a document, say) get an allocation of their own.
constexpr size_t kLargest = kBlockSize / 8;

// While a block is its thread's current one, its references hold a large
// bias instead of one count per object, so that allocating needs no atomic
// operation; retiring the block trades the bias for the number of objects
// made in it. Objects freed meanwhile (on any thread) only lower the bias.
constexpr size_t kBias = size_t{1} << 48;

struct Block {
  std::atomic<size_t> references;
  size_t used;
  size_t objects;  // made in this block; touched only by its thread
};

// Precedes every object; null block: the object has its own allocation.
struct alignas(kAlignment) Header {
  Block* block;
};

constexpr size_t RoundUp(size_t n) { return (n + kAlignment - 1) & ~(kAlignment - 1); }

void Release(Block* block, size_t count) noexcept {
  if (block->references.fetch_sub(count, std::memory_order_acq_rel) == count) {
    block->~Block();
    std::free(block);
  }
}

void Retire(Block* block) noexcept {
  if (block != nullptr) Release(block, kBias - block->objects);
}

struct ThreadBlock {
  Block* current = nullptr;
  ~ThreadBlock() { Retire(current); }
};

thread_local ThreadBlock thread_block;

}  // namespace

void* AllocateXMLObject(size_t size) {
  const size_t need = sizeof(Header) + RoundUp(size);
  if (need > kLargest) {
    auto* header = static_cast<Header*>(std::malloc(need));
    if (header == nullptr) throw std::bad_alloc();
    header->block = nullptr;
    return header + 1;
  }
  Block* block = thread_block.current;
  if (block == nullptr || block->used + need > kBlockSize) {
    void* memory = std::malloc(kBlockSize);
    if (memory == nullptr) throw std::bad_alloc();
    Block* fresh = new (memory) Block;
    fresh->references.store(kBias, std::memory_order_relaxed);
    fresh->used = RoundUp(sizeof(Block));
    fresh->objects = 0;
    Retire(block);
    thread_block.current = fresh;
    block = fresh;
  }
  auto* header = reinterpret_cast<Header*>(reinterpret_cast<char*>(block) + block->used);
  block->used += need;
  ++block->objects;
  header->block = block;
  return header + 1;
}

void FreeXMLObject(void* object) noexcept {
  if (object == nullptr) return;
  Header* header = static_cast<Header*>(object) - 1;
  if (header->block == nullptr) {
    std::free(header);
    return;
  }
  Release(header->block, 1);
}

#endif

}  // namespace tavirelle
