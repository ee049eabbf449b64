#include "cfb/child_index.h"

#include "cfb/names.h"

#include <utility>

namespace engine::cfb::detail {
namespace {

constexpr std::uint32_t smallestCapacity = 8;

// FNV-1a over the units, then a finaliser that spreads the last units' changes over the low
// bits the table indexes by (sibling names often differ only in their last digits).
[[nodiscard]] std::uint32_t hashUnits(std::u16string_view units) {
    std::uint32_t hash = 2166136261u;
    for (const char16_t unit : units) {
        hash = (hash ^ unit) * 16777619u;
    }
    hash ^= hash >> 16;
    hash *= 0x85EBCA6Bu;
    hash ^= hash >> 13;
    hash *= 0xC2B2AE35u;
    hash ^= hash >> 16;
    return hash;
}

} // namespace

FoldedKey::FoldedKey(std::u16string_view name) : units_{}, length_(name.size()) {
    for (std::size_t i = 0; i < length_; ++i)
        units_[i] = upperCaseUnit(name[i]);
    hash_ = hashUnits(units());
}

bool FoldedKey::matches(std::u16string_view name) const {
    if (name.size() != length_)
        return false;
    for (std::size_t i = 0; i < length_; ++i)
        if (upperCaseUnit(name[i]) != units_[i])
            return false;
    return true;
}

void ChildIndex::clear() {
    slots_.reset();
    mask_ = 0;
    count_ = 0;
}

void ChildIndex::place(Slot slot) {
    std::uint32_t at = slot.hash & mask_;
    while (slots_[at].node != noStream)
        at = (at + 1) & mask_;
    slots_[at] = slot;
}

// Empties a slot and moves later slots of the same probe run back into the gap, so that
// every entry stays reachable from its home slot without markers for removed entries.
void ChildIndex::removeSlot(std::uint32_t at) {
    for (std::uint32_t next = (at + 1) & mask_; slots_[next].node != noStream;
         next = (next + 1) & mask_) {
        const std::uint32_t home = slots_[next].hash & mask_;
        // The entry at `next` may fill the gap unless its home lies after the gap.
        if (((next - home) & mask_) >= ((next - at) & mask_)) {
            slots_[at] = slots_[next];
            at = next;
        }
    }
    slots_[at].node = noStream;
    --count_;
}

void ChildIndex::grow() {
    const std::uint32_t oldCapacity = capacity();
    const std::uint32_t newCapacity = oldCapacity == 0 ? smallestCapacity : 2 * oldCapacity;
    std::unique_ptr<Slot[]> old = std::exchange(slots_, std::make_unique<Slot[]>(newCapacity));
    mask_ = newCapacity - 1;
    for (std::uint32_t i = 0; i < newCapacity; ++i)
        slots_[i].node = noStream;
    for (std::uint32_t i = 0; i < oldCapacity; ++i)
        if (old[i].node != noStream)
            place(old[i]);
}

} // namespace engine::cfb::detail
