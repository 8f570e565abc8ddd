// Inside the gameset folder: the one worker pool that reads entries of an
// archive on several threads for the diff, the search and the references.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

// Threads for `work` items: `asked` when positive, else one per core, at
// most 4; never more than there are items, never fewer than one.
int Gameset_WorkerCount(int asked, size_t work);

// Items 0..count-1 made by `make(worker, i)` on `workers` threads (worker
// numbered from 0), each handed to `take(i)` on the calling thread in item
// order as soon as it and every item before it are made. Workers run at most
// Gameset_PoolWindow(workers) items ahead of `take`, so an item's result may
// live in slot i % window of a ring the caller owns. `make` must not throw.
// A set `stop` ends the run before the next item is taken; false then.
// When no thread can be started the calling thread makes each item itself.
size_t Gameset_PoolWindow(int workers);
bool Gameset_RunOrdered(size_t count, int workers, const std::atomic<bool> *stop,
                        const std::function<void(int worker, size_t i)> &make,
                        const std::function<void(size_t i)> &take);
