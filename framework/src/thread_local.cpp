// Per-thread data: numbered slots, one object per thread and slot, created on the
// thread's first access, destroyed when the thread ends (the framework DLL's thread detach)
// or when the slot's holder is destroyed (a library unloading).
#include "framework_internal.h"

#include <mutex>
#include <new>
#include <vector>

namespace {

// The objects of one thread, indexed by slot.
struct ThreadData {
    std::vector<CNoTrackObject*> objects;
};

class SlotRegistry {
public:
    [[nodiscard]] int allocateSlot() {
        std::lock_guard lock(mutex_);
        // Slot 0 is never used: a holder's slot number 0 means "not yet allocated".
        for (size_t slot = 1; slot < slotsInUse_.size(); ++slot) {
            if (!slotsInUse_[slot]) {
                slotsInUse_[slot] = true;
                return static_cast<int>(slot);
            }
        }
        if (slotsInUse_.empty())
            slotsInUse_.push_back(true);
        slotsInUse_.push_back(true);
        return static_cast<int>(slotsInUse_.size() - 1);
    }

    // Destroys every thread's object of the slot and makes the slot free again.
    void freeSlot(int slot) {
        std::vector<CNoTrackObject*> doomed;
        {
            std::lock_guard lock(mutex_);
            for (ThreadData* data : threads_) {
                if (static_cast<size_t>(slot) < data->objects.size() && data->objects[slot]) {
                    doomed.push_back(data->objects[slot]);
                    data->objects[slot] = nullptr;
                }
            }
            slotsInUse_[static_cast<size_t>(slot)] = false;
        }
        for (CNoTrackObject* object : doomed)
            delete object;
    }

    [[nodiscard]] CNoTrackObject* get(int slot) {
        ThreadData* data = currentThread(false);
        std::lock_guard lock(mutex_);
        if (data == nullptr || static_cast<size_t>(slot) >= data->objects.size())
            return nullptr;
        return data->objects[static_cast<size_t>(slot)];
    }

    void set(int slot, CNoTrackObject* object) {
        ThreadData* data = currentThread(true);
        std::lock_guard lock(mutex_);
        if (static_cast<size_t>(slot) >= data->objects.size())
            data->objects.resize(static_cast<size_t>(slot) + 1, nullptr);
        data->objects[static_cast<size_t>(slot)] = object;
    }

    // Destroys the calling thread's objects, newest slot first.
    void releaseCurrentThread() {
        auto* data = static_cast<ThreadData*>(TlsGetValue(tlsIndex_));
        if (data == nullptr)
            return;
        {
            std::lock_guard lock(mutex_);
            std::erase(threads_, data);
        }
        TlsSetValue(tlsIndex_, nullptr);
        for (auto object = data->objects.rbegin(); object != data->objects.rend(); ++object)
            delete *object;
        delete data;
    }

private:
    ThreadData* currentThread(bool create) {
        auto* data = static_cast<ThreadData*>(TlsGetValue(tlsIndex_));
        if (data != nullptr || !create)
            return data;
        data = new ThreadData;
        TlsSetValue(tlsIndex_, data);
        std::lock_guard lock(mutex_);
        threads_.push_back(data);
        return data;
    }

    DWORD tlsIndex_ = TlsAlloc();
    std::mutex mutex_;
    std::vector<bool> slotsInUse_;
    std::vector<ThreadData*> threads_;
};

// Lives until the process ends: holders in other libraries may be destroyed after the
// framework's own static objects.
SlotRegistry& registry() {
    static SlotRegistry* const instance = new SlotRegistry;
    return *instance;
}

std::mutex g_slotAllocation;

} // namespace

CNoTrackObject* CThreadLocalObject::GetData(CNoTrackObject*(AFXAPI* pfnCreateObject)()) {
    if (m_nSlot == 0) {
        std::lock_guard lock(g_slotAllocation);
        if (m_nSlot == 0)
            m_nSlot = registry().allocateSlot();
    }
    if (CNoTrackObject* existing = registry().get(m_nSlot))
        return existing;
    // No memory for the state: the caller gets none (CThreadLocal then throws the
    // invalid-argument exception).
    CNoTrackObject* created = nullptr;
    try {
        created = pfnCreateObject();
        registry().set(m_nSlot, created);
    } catch (CMemoryException* exception) {
        exception->Delete();
        return nullptr;
    } catch (const std::bad_alloc&) {
        delete created;
        return nullptr;
    }
    return created;
}

CNoTrackObject* CThreadLocalObject::GetDataNA() {
    return m_nSlot == 0 ? nullptr : registry().get(m_nSlot);
}

CThreadLocalObject::~CThreadLocalObject() {
    if (m_nSlot != 0)
        registry().freeSlot(m_nSlot);
    m_nSlot = 0;
}

namespace z64mfc {

void releaseThreadData() {
    registry().releaseCurrentThread();
}

} // namespace z64mfc
