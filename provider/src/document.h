// The state shared by every object of one open compound file: the engine's file, the bytes
// under it, the lock that serialises access, and the property storages whose buffered
// changes must reach the file before it is committed.
//
// Objects of the element tree also share Scopes: a Scope ends when its object is released,
// and its children's Scopes end with it, as do they when the object is reverted. A method
// of an object whose Scope has ended answers STG_E_REVERTED, as ole32's compound files do for
// the elements of a released or reverted storage.
#pragma once

#include "com_ptr.h"
#include "lock_bytes_array.h"
#include "share_locks.h"

#include <cfb/compound_file.h>

#include <objidl.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace provider {

class Scope {
public:
    [[nodiscard]] static std::shared_ptr<Scope> makeRoot();
    [[nodiscard]] static std::shared_ptr<Scope> makeChild(const std::shared_ptr<Scope>& parent);

    // True while this object and every object above it are alive and none was reverted
    // since this one was opened.
    [[nodiscard]] bool valid() const;
    // Whether this is `ancestor` or was opened, at any depth, below it.
    [[nodiscard]] bool isWithin(const Scope& ancestor) const;
    // The object was released: it and everything below it are reverted.
    void end() { alive_ = false; }
    // The object was reverted: everything opened below it so far is reverted.
    void revertChildren() { ++epoch_; }

private:
    std::shared_ptr<Scope> parent_;
    std::uint64_t parentEpoch_ = 0;
    std::atomic<bool> alive_{true};
    std::atomic<std::uint64_t> epoch_{0};
};

// Something holding changes that must be written before the file commits.
class BufferedChanges {
public:
    virtual ~BufferedChanges() = default;
    [[nodiscard]] virtual HRESULT writeBufferedChanges() = 0;
};

class Document {
public:
    // A document on `bytes`; `commitsOnChange` for a root opened in direct mode, where every
    // Commit and the root's release make the changes durable.
    Document(std::shared_ptr<LockBytesByteArray> bytes,
             std::unique_ptr<engine::cfb::CompoundFile> file, bool commitsOnChange);

    std::recursive_mutex mutex;

    [[nodiscard]] engine::cfb::CompoundFile& file() { return *file_; }
    [[nodiscard]] bool commitsOnChange() const { return commitsOnChange_; }
    [[nodiscard]] bool closed() const { return closed_; }

    // Counts changes to stream data, so that a stream's read-ahead can tell it is still
    // current.
    [[nodiscard]] std::uint64_t dataVersion() const { return dataVersion_; }
    // STG_E_ACCESSDENIED while the single writer of a STGM_DIRECT_SWMR file lacks write
    // access; beginChange is called before anything changes, and counts the change.
    [[nodiscard]] HRESULT checkChangeAllowed() const;
    [[nodiscard]] HRESULT beginChange();

    // The byte-range locks of a root on a file of its own (share_locks.h), held until close.
    void adoptShareLocks(std::unique_ptr<ShareLocks> locks) { locks_ = std::move(locks); }
    [[nodiscard]] ShareLocks* shareLocks() { return locks_.get(); }
    // The single writer of STGM_DIRECT_SWMR changes nothing without write access
    // (IDirectWriterLock).
    void requireWriteAccess() { requiresWriteAccess_ = true; }

    void addBuffered(BufferedChanges* changes);
    void removeBuffered(BufferedChanges* changes);
    // Writes every registered buffer into the file (not yet committing it).
    [[nodiscard]] HRESULT writeBufferedChanges();
    // Writes buffers, then commits the file.
    [[nodiscard]] HRESULT commit();
    // Forgets every change since the last commit.
    [[nodiscard]] HRESULT revert();
    // For a transacted root that others may write at the same time: Commit refuses with
    // STG_E_NOTCURRENT when another writer committed since this one opened, committed or
    // reverted, instead of writing over a file it no longer knows. Commits are serialised
    // with the commit byte of the range-lock sector.
    [[nodiscard]] HRESULT guardAgainstOtherWriters();
    // Lets go of the bytes (the file handle), so that the file can be opened or deleted
    // while objects of this document are still referenced.
    void close();

private:
    std::shared_ptr<LockBytesByteArray> bytes_;
    std::unique_ptr<engine::cfb::CompoundFile> file_;
    std::unique_ptr<ShareLocks> locks_;
    bool commitsOnChange_;
    bool requiresWriteAccess_ = false;
    bool closed_ = false;
    std::vector<BufferedChanges*> buffered_;
    bool guarded_ = false;
    std::uint64_t dataVersion_ = 0;
    std::vector<std::uint8_t> knownHeader_;

    [[nodiscard]] HRESULT readHeader(std::vector<std::uint8_t>* header);
    // The header of the snapshot the document works on.
    [[nodiscard]] HRESULT snapshotHeader(std::vector<std::uint8_t>* header);
    // A revert of a document working on a snapshot: a new snapshot of the file as it is now.
    [[nodiscard]] HRESULT revertToNewSnapshot();
    // The engine's commit, then the staged bytes of a replaced file written out.
    [[nodiscard]] HRESULT commitFile();
    // A transacted root's commit while others may use the file: under the commit byte, never
    // while a priority reader is open, and for guarded roots only over the commit they know.
    [[nodiscard]] HRESULT commitShared();
};

// The elements opened from one storage object, by folded name, so that an element cannot be
// opened twice from the same storage (as with ole32's compound files).
class OpenElements {
public:
    class Registration;
    // Registers `key`; fails (returns null) when it is already open.
    [[nodiscard]] static std::shared_ptr<Registration> add(const std::shared_ptr<OpenElements>& set,
                                                           const std::u16string& key);
    [[nodiscard]] bool contains(const std::u16string& key);
    // Forgets a key (its element was destroyed).
    void forget(const std::u16string& key);

private:
    std::mutex mutex_;
    std::map<std::u16string, std::uint64_t> open_;
    std::uint64_t nextToken_ = 1;
};

class OpenElements::Registration {
public:
    Registration(std::shared_ptr<OpenElements> set, std::u16string key, std::uint64_t token)
        : set_(std::move(set)), key_(std::move(key)), token_(token) {}
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    ~Registration();

private:
    std::shared_ptr<OpenElements> set_;
    std::u16string key_;
    std::uint64_t token_;
};

// The key an element name is registered under: names compare without regard to case.
[[nodiscard]] std::u16string elementKey(std::u16string_view name);

} // namespace provider
