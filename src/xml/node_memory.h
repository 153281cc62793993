// Memory for XML nodes and attributes.
//
// A loaded document is hundreds of thousands of small objects that are made
// in one go and destroyed in one go. They are carved one after another from
// 64 KiB blocks taken by the allocating thread; a block is returned when the
// last object in it is destroyed (on any thread) and its thread has moved on
// to a new block. This keeps loading and destroying a large document from
// being dominated by the general-purpose allocator.
#ifndef TAVIRELLE_XML_NODE_MEMORY_H_
#define TAVIRELLE_XML_NODE_MEMORY_H_

#include <cstddef>

namespace tavirelle {

void* AllocateXMLObject(size_t size);
void FreeXMLObject(void* object) noexcept;

}  // namespace tavirelle

#endif  // TAVIRELLE_XML_NODE_MEMORY_H_
