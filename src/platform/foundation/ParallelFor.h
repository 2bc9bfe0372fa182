#pragma once

#include <cstddef>
#include <functional>

// Calls `work(i)` for every i below `count` on up to `threads` threads, the
// calling thread among them (fewer when there are fewer indices, or when the
// system refuses to start more: the threads there are do the rest). Indices
// are handed out in order, each once. Once a call answers false no further
// index is handed out; answers whether every call that ran answered true.
bool parallelFor(size_t count, int threads, const std::function<bool(size_t)>& work);
