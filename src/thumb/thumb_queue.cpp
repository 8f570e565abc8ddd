// Thumbnails made in the background: a driver thread that waits for requests
// and, while any wait, runs the worker pool over them, each worker taking the
// front request as it finishes one.
#include "thumb/thumb.h"

#include "base/parallel.h"

#include <cstring>
#include <new>

ThumbQueue::ThumbQueue(ThumbCache &cache, int workers, std::function<void(const ThumbResult &)> done)
    : cache_(cache), workers_(Base_WorkerCount(workers, 64)), done_(std::move(done))
{
    driver_ = std::thread([this] { Drive(); });
}

ThumbQueue::~ThumbQueue()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        waiting_.clear();
    }
    wake_.notify_all();
    driver_.join();
}

void ThumbQueue::Want(std::vector<ThumbRequest> requests)
{
    {
        std::lock_guard lock(mutex_);
        waiting_.clear();
        for (ThumbRequest &request : requests)
            if (!making_.count(request.key))
                waiting_.push_back(std::move(request));
    }
    wake_.notify_all();
}

bool ThumbQueue::Idle() const
{
    std::lock_guard lock(mutex_);
    return waiting_.empty() && making_.empty();
}

void ThumbQueue::Drive()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !waiting_.empty(); });
        if (stop_)
            return;
        lock.unlock();
        // The pool ends when nothing waits; this thread is one of its workers.
        Base_ParallelFor(static_cast<size_t>(workers_), workers_, [this](size_t) {
            PakOpenFile open;  // a worker keeps its holding file open from one entry to the next
            std::vector<uint8_t> bytes;
            for (ThumbRequest request; Take(request);) {
                Make(request, open, bytes);
                std::lock_guard done(mutex_);
                if (--making_[request.key] == 0)
                    making_.erase(request.key);
            }
        });
        lock.lock();
    }
}

bool ThumbQueue::Take(ThumbRequest &request)
{
    std::lock_guard lock(mutex_);
    if (stop_ || waiting_.empty())
        return false;
    request = std::move(waiting_.front());
    waiting_.pop_front();
    ++making_[request.key];
    return true;
}

void ThumbQueue::Make(const ThumbRequest &request, PakOpenFile &open, std::vector<uint8_t> &bytes)
{
    ThumbResult result;
    result.tag = request.tag;
    ThumbSource &source = *request.source;
    {
        std::lock_guard lock(source.openLock);
        if (!source.given && !source.opened && !source.refused) {
            source.refused = Pak_OpenArchive(source.path, source.pak) != PakOpenResult::Ok;
            source.opened = !source.refused;
        }
    }
    const PakArchive &pak = source.pak;
    if ((!source.given && !source.opened) || request.slot < 0 || static_cast<size_t>(request.slot) >= pak.entries.size()) {
        result.kind = -2;
        done_(result);
        return;
    }
    const PakEntry &entry = pak.entries[static_cast<size_t>(request.slot)];
    try {
        std::span<const uint8_t> resource;
        const auto edited = source.pending.find(request.slot);
        if (edited != source.pending.end() && edited->second) {
            resource = *edited->second;
        } else if (Pak_LoadEntry(pak, entry, bytes, nullptr, open) == PakLoadResult::Ok) {
            resource = bytes;
        } else {
            result.kind = -2;
            done_(result);
            return;
        }
        const ResourceKind kind = ClassifyResource(resource.data(), resource.size());
        result.kind = kind;
        if (kind == KindTexture || kind == KindMaterial) {
            LookupArchives archives;
            archives.main = &pak;
            archives.global = &source.global;
            archives.globalLock = &source.globalLock;
            if (!source.pending.empty())
                archives.mainPending = [&source](size_t slot) -> const std::vector<uint8_t> * {
                    const auto it = source.pending.find(static_cast<int>(slot));
                    return it == source.pending.end() ? nullptr : it->second.get();
                };
            TextureImage picture;
            if (Thumb_FromResource(archives, std::string(entry.name, strnlen(entry.name, sizeof entry.name)), kind,
                                   resource, request.size, picture)) {
                cache_.Put(request.key, std::move(picture));
                result.pictured = true;
            }
        }
    } catch (const std::bad_alloc &) {
        result.pictured = false;  // no picture; the cell shows its kind
    }
    // A large texture's buffer is not kept for the small ones after it.
    if (bytes.capacity() > (16u << 20))
        std::vector<uint8_t>().swap(bytes);
    done_(result);
}
