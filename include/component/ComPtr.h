/// \file
/// TComPtr: a component together with the remote client it was reached
/// through (null for a local component).
///
/// Constructing from the two pointers takes over references the caller
/// already holds; copies add one reference to each, and destruction drops
/// both. Calls through -> first make the client the calling thread's current
/// user, so that a component talking to its server knows on whose behalf it
/// runs. Like a plain pointer, one TComPtr is not shared between threads
/// without a lock; copies are independent.
#ifndef DOZUV2_COMPONENT_COMPTR_H
#define DOZUV2_COMPONENT_COMPTR_H

#include "component/Client.h"
#include "component/Unknown.h"
#include "virad/Assertion.h"

namespace Orvane {
namespace Component {
/// \addtogroup components
/// @{

/// A component and the client it was reached through, described above.
template <typename T> class TComPtr {
public:
    TComPtr() : m_ptr(nullptr), m_client(nullptr) {}
    /// Takes over the references the caller holds.
    TComPtr(T* object, IClient* client) : m_ptr(object), m_client(client) {}
    /// Copies add a reference to each; moves take them over, leaving the source empty.
    ///@{
    TComPtr(const TComPtr& other) : m_ptr(other.m_ptr), m_client(other.m_client) {
        Detail::CComponentHelper::addRef(m_ptr);
        Detail::CComponentHelper::addRef(m_client);
    }
    TComPtr(TComPtr&& other) noexcept : m_ptr(other.m_ptr), m_client(other.m_client) {
        other.m_ptr = nullptr;
        other.m_client = nullptr;
    }
    TComPtr& operator=(const TComPtr& other) {
        TComPtr copy(other);
        swap(copy);
        return *this;
    }
    TComPtr& operator=(TComPtr&& other) noexcept {
        TComPtr taken(static_cast<TComPtr&&>(other));
        swap(taken);
        return *this;
    }
    ///@}
    /// Drops both references.
    ~TComPtr() {
        // The helper skips null pointers too; testing here saves a call into
        // the library for every local component.
        if (m_ptr != nullptr) {
            Detail::CComponentHelper::release(m_ptr);
        }
        if (m_client != nullptr) {
            Detail::CComponentHelper::release(m_client);
        }
    }

    /// Makes the client the calling thread's current user, then gives the component; null is an assertion.
    T* operator->() const {
        Detail::CComponentHelper::setAsCurrentUser(m_client);
        if (m_ptr == nullptr) {
            DOZUV2_FAIL("m_ptr != NULL");
        }
        return m_ptr;
    }
    /// The component and the client, without a reference; true when there is a component.
    ///@{
    T* get() const { return m_ptr; }
    IClient* client() const { return m_client; }
    explicit operator bool() const { return m_ptr != nullptr; }
    ///@}

    /// Exchanges the pointers of two handles.
    void swap(TComPtr& other) noexcept {
        T* const ptr = m_ptr;
        IClient* const client = m_client;
        m_ptr = other.m_ptr;
        m_client = other.m_client;
        other.m_ptr = ptr;
        other.m_client = client;
    }

private:
    T* m_ptr;
    IClient* m_client;
};
/// @}

} // namespace Component
} // namespace Orvane

#endif
