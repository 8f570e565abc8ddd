// Work spread over threads: the one rule for how many, the pool that runs a
// numbered list of tasks, and the one bounded pool whose results are taken in
// order. Plain C++ threads.
#pragma once

#include <atomic>
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

// Items 0..count-1 made by `make(worker, i)` on `workers` threads (worker
// numbered from 0), each handed to `take(i)` on the calling thread in item
// order as soon as it and every item before it are made. Workers run at most
// Base_OrderedWindow(workers) items ahead of `take`, so an item's result may
// live in slot i % window of a ring the caller owns. `make` must not throw.
// A set `stop` ends the run before the next item is taken; false then (items
// made but not taken stay in the ring for the caller to clear).
// When no thread can be started the calling thread makes each item itself.
size_t Base_OrderedWindow(int workers);
bool Base_RunOrdered(size_t count, int workers, const std::atomic<bool> *stop,
                     const std::function<void(int worker, size_t i)> &make, const std::function<void(size_t i)> &take);
