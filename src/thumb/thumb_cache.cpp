// The thumbnail cache: least recently used first out, bounded in pixel bytes.
#include "thumb/thumb.h"

namespace {

size_t PictureBytes(const TextureImage &image)
{
    // The record and its vector's own few words count too, so that many
    // tiny pictures cannot pass the budget unseen.
    return image.rgba.capacity() + sizeof(TextureImage) + 64;
}

}  // namespace

ThumbCache::ThumbCache(size_t budgetBytes) : budget_(budgetBytes) {}

std::shared_ptr<const TextureImage> ThumbCache::Find(const std::string &key)
{
    std::lock_guard lock(mutex_);
    const auto it = items_.find(key);
    if (it == items_.end())
        return nullptr;
    order_.splice(order_.begin(), order_, it->second);
    return it->second->image;
}

std::shared_ptr<const TextureImage> ThumbCache::Put(const std::string &key, TextureImage image)
{
    const size_t bytes = PictureBytes(image);
    auto shared = std::make_shared<const TextureImage>(std::move(image));
    std::lock_guard lock(mutex_);
    if (const auto it = items_.find(key); it != items_.end()) {
        bytes_ -= it->second->bytes;
        order_.erase(it->second);
        items_.erase(it);
    }
    if (bytes > budget_)
        return shared;
    order_.push_front({key, shared, bytes});
    items_[key] = order_.begin();
    bytes_ += bytes;
    EvictLocked();
    return shared;
}

void ThumbCache::Remove(const std::string &key)
{
    std::lock_guard lock(mutex_);
    if (const auto it = items_.find(key); it != items_.end()) {
        bytes_ -= it->second->bytes;
        order_.erase(it->second);
        items_.erase(it);
    }
}

void ThumbCache::Clear()
{
    std::lock_guard lock(mutex_);
    order_.clear();
    items_.clear();
    bytes_ = 0;
}

size_t ThumbCache::Bytes() const
{
    std::lock_guard lock(mutex_);
    return bytes_;
}

size_t ThumbCache::Count() const
{
    std::lock_guard lock(mutex_);
    return items_.size();
}

void ThumbCache::EvictLocked()
{
    while (bytes_ > budget_ && !order_.empty()) {
        bytes_ -= order_.back().bytes;
        items_.erase(order_.back().key);
        order_.pop_back();
    }
}
