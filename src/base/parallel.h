// Work spread over threads: the one rule for how many, and the one pool that
// runs a numbered list of tasks. Plain C++ threads.
#pragma once

#include <cstddef>
#include <functional>

// The threads a job of `work` items uses: `asked` when above 0, else one per
// core and at most 4 (reading archives gains little past that); never more
// than there are items, at least 1.
int Base_WorkerCount(int asked, size_t work);

// Runs work(0) ... work(count - 1) on `threads` threads (0: one per core),
// the caller's among them, each taking the next index as it finishes one;
// returns when all are done. Fewer threads run when the system gives no more.
void Base_ParallelFor(size_t count, int threads, const std::function<void(size_t)> &work);
