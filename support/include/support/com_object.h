// The one base of the COM objects every DLL implements, in the manner of WRL's RuntimeClass:
// the interfaces as template arguments, an atomic reference count, QueryInterface answered
// from the list, and a hook that runs when the last reference goes.
//
//   class Enumerator final : public support::ComObject<Enumerator, IEnumSTATSTG> {
//   public:
//       HRESULT STDMETHODCALLTYPE Next(...) override;   // the interfaces' own methods only
//   };
//   support::ComPtr<Enumerator> made = support::makeComObject<Enumerator>(arguments...);
//
// IUnknown is answered through the first interface of the list, so that every query for it
// gives the same pointer. A derived class may hide these members of the base to change what
// it answers (they are found through the derived type, never through a virtual call):
//   bool answersInterface(REFIID riid) const  false refuses a listed interface (default true)
//   void* otherInterface(REFIID riid)          an interface beyond the list, or null
//   void finalRelease()                        runs before the object is deleted
// The object is deleted through its own type, so the interfaces need no virtual destructor.
#pragma once

#include "com_ptr.h"

#include <unknwn.h>

#include <atomic>
#include <new>
#include <type_traits>
#include <utility>

namespace support {

template <typename Derived, typename FirstInterface, typename... OtherInterfaces>
class ComObject : public FirstInterface, public OtherInterfaces... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        Derived& self = static_cast<Derived&>(*this);
        if (riid == __uuidof(IUnknown))
            *object = static_cast<IUnknown*>(static_cast<FirstInterface*>(this));
        else if (self.answersInterface(riid))
            *object = listedInterface(riid);
        if (!*object)
            *object = self.otherInterface(riid);
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override {
        return references_.fetch_add(1, std::memory_order_relaxed) + 1;
    }

    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG remaining = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (remaining == 0) {
            Derived* self = static_cast<Derived*>(this);
            self->finalRelease();
            delete self;
        }
        return remaining;
    }

    // The defaults of the hooks described above.
    [[nodiscard]] bool answersInterface(REFIID) const { return true; }
    [[nodiscard]] void* otherInterface(REFIID) { return nullptr; }
    void finalRelease() {}

protected:
    // Objects start with the one reference their maker hands on; a few documented classes
    // start at 0 and are raised by their creator's QueryInterface.
    explicit ComObject(ULONG initialReferences = 1) : references_(initialReferences) {}
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    ~ComObject() = default;

private:
    [[nodiscard]] void* listedInterface(REFIID riid) {
        void* found = nullptr;
        (void)(matches<FirstInterface>(riid, &found) || ... ||
               matches<OtherInterfaces>(riid, &found));
        return found;
    }

    template <typename Interface>
    [[nodiscard]] bool matches(REFIID riid, void** found) {
        if (riid != __uuidof(Interface))
            return false;
        *found = static_cast<Interface*>(this);
        return true;
    }

    std::atomic<ULONG> references_;
};

// A new object holding the one reference the result owns; null when memory runs out.
template <typename Object, typename... Arguments>
[[nodiscard]] ComPtr<Object> makeComObject(Arguments&&... arguments) {
    return ComPtr<Object>::attach(new (std::nothrow) Object(std::forward<Arguments>(arguments)...));
}

} // namespace support
