// The heap the benchmarks measure memory by: glibc's bytes in use, small blocks and mapped ones.
#pragma once

#include <malloc.h>

#include <cstddef>

namespace qm {

inline std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

}  // namespace qm
