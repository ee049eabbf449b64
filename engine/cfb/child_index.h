// The children of one storage, found by name.
//
// An open-addressing table of node numbers, each beside the hash of its folded name: a
// lookup walks one short array and compares names only where the hashes agree, and a
// storage with thousands of children costs eight bytes a slot instead of a heap node and a
// heap string per child. Names themselves stay with the nodes; the table asks for them
// through a callable `nameOf(node) -> std::u16string_view`.
#pragma once

#include "cfb/constants.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

namespace engine::cfb::detail {

// A name folded to upper case, with its hash: what the index looks names up by.
class FoldedKey {
public:
    // `name` must have at most maxNameUnits units (longer names are never elements).
    explicit FoldedKey(std::u16string_view name);

    [[nodiscard]] std::u16string_view units() const { return {units_.data(), length_}; }
    [[nodiscard]] std::uint32_t hash() const { return hash_; }
    // Whether `name` folds to this key.
    [[nodiscard]] bool matches(std::u16string_view name) const;

private:
    std::array<char16_t, maxNameUnits> units_;
    std::size_t length_;
    std::uint32_t hash_;
};

class ChildIndex {
public:
    ChildIndex() = default;
    ChildIndex(ChildIndex&&) noexcept = default;
    ChildIndex& operator=(ChildIndex&&) noexcept = default;

    [[nodiscard]] std::uint32_t size() const { return count_; }

    // The child whose name folds to `key`, or noStream.
    template <class NameOf>
    [[nodiscard]] std::uint32_t find(const FoldedKey& key, const NameOf& nameOf) const {
        const std::uint32_t at = slotOf(key, nameOf);
        return at == noSlot ? noStream : slots_[at].node;
    }

    // Adds `node` under `key`; false (and nothing added) when a child already has the name.
    template <class NameOf>
    [[nodiscard]] bool insert(const FoldedKey& key, std::uint32_t node, const NameOf& nameOf) {
        if (slotOf(key, nameOf) != noSlot)
            return false;
        if (2 * (count_ + 1) > capacity())
            grow();
        place({key.hash(), node});
        ++count_;
        return true;
    }

    // Removes the child named `key`, if there is one.
    template <class NameOf>
    void erase(const FoldedKey& key, const NameOf& nameOf) {
        const std::uint32_t at = slotOf(key, nameOf);
        if (at != noSlot)
            removeSlot(at);
    }

    // Calls `visit(node)` for every child, in no particular order.
    template <class Visit>
    void forEach(const Visit& visit) const {
        for (std::uint32_t i = 0; i < capacity(); ++i)
            if (slots_[i].node != noStream)
                visit(slots_[i].node);
    }

    void clear();

private:
    struct Slot {
        std::uint32_t hash;
        std::uint32_t node; // noStream marks an empty slot
    };
    static constexpr std::uint32_t noSlot = 0xFFFFFFFFu;

    [[nodiscard]] std::uint32_t capacity() const { return slots_ ? mask_ + 1 : 0; }

    template <class NameOf>
    [[nodiscard]] std::uint32_t slotOf(const FoldedKey& key, const NameOf& nameOf) const {
        if (count_ == 0)
            return noSlot;
        for (std::uint32_t at = key.hash() & mask_;; at = (at + 1) & mask_) {
            const Slot& slot = slots_[at];
            if (slot.node == noStream)
                return noSlot;
            if (slot.hash == key.hash() && key.matches(nameOf(slot.node)))
                return at;
        }
    }

    void place(Slot slot);
    void removeSlot(std::uint32_t at);
    void grow();

    std::unique_ptr<Slot[]> slots_;
    std::uint32_t mask_ = 0;
    std::uint32_t count_ = 0;
};

} // namespace engine::cfb::detail
