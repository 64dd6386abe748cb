// Replaces malloc and its family for the whole kqfx process (plug-ins
// included: the executable's definitions come first in symbol lookup) with
// the C library's own allocator plus a count, so that the validator can
// see a plug-in allocate or free inside a process call. operator new and
// delete allocate through malloc and free, so they are counted too.
//
// Linked into the kqfx executable only, and never into sanitizer builds,
// whose runtimes replace malloc themselves.
#include <cerrno>
#include <cstddef>

#include "AllocationWatch.h"

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);

__attribute__((visibility("default"))) extern const bool kqfxCountingAllocatorLinked;
const bool kqfxCountingAllocatorLinked = true;

using kqfx::command::validate::detail::noteAllocation;
using kqfx::command::validate::detail::noteFree;

__attribute__((visibility("default"))) void* malloc(std::size_t size) {
  noteAllocation();
  return __libc_malloc(size);
}

__attribute__((visibility("default"))) void free(void* pointer) {
  if (pointer) noteFree();
  __libc_free(pointer);
}

__attribute__((visibility("default"))) void* calloc(std::size_t count, std::size_t size) {
  noteAllocation();
  return __libc_calloc(count, size);
}

__attribute__((visibility("default"))) void* realloc(void* pointer, std::size_t size) {
  noteAllocation();
  return __libc_realloc(pointer, size);
}

__attribute__((visibility("default"))) void* memalign(std::size_t alignment, std::size_t size) {
  noteAllocation();
  return __libc_memalign(alignment, size);
}

__attribute__((visibility("default"))) void* aligned_alloc(std::size_t alignment,
                                                           std::size_t size) {
  noteAllocation();
  return __libc_memalign(alignment, size);
}

__attribute__((visibility("default"))) int posix_memalign(void** result, std::size_t alignment,
                                                          std::size_t size) {
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
  noteAllocation();
  void* pointer = __libc_memalign(alignment, size);
  if (!pointer && size != 0) return ENOMEM;
  *result = pointer;
  return 0;
}
}
