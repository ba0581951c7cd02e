/// \file
/// Component creators: the simple way of making components, by a function
/// registered under a class id instead of a factory.
///
/// A creator makes one component of its class for a server description (null
/// for a component living in this process) and returns it with its creation
/// reference, or null. When no creator is registered for a class id, the
/// library looks for one in a dynamic library named after the class id: the
/// host's file name for it ("lib<class id>.so" here, "<class id>.dll" on
/// Windows) and the entry point "create<class id>Object" of type
/// ComponentCreator, exported without C++ name decoration. Both names are cut
/// to 31 characters, so a loadable class id is short. A library, once loaded,
/// stays loaded for the life of the process.
///
/// Shared objects. getComponentInstance hands out one object per class id and
/// server identity (the description's text1, number1, userName, text3 and
/// flag1; a null text equals an empty one) and adds a reference on every later
/// call; the object leaves the shared set when its last reference is
/// released. createComponentObject always makes a new object. Either way the
/// caller owns one reference and releases it.
///
/// Threads. Every function may be called on any thread. Creators run without
/// any lock of the library held, so a creator may register creators or ask
/// for other components. Callers asking at the same time for the same shared
/// object wait for the one creation under way and share its object; a creator
/// that itself asks for a shared object never waits, and then makes one of its
/// own if that object is still being made.
#ifndef DOZUV2_COMPONENT_CREATOR_H
#define DOZUV2_COMPONENT_CREATOR_H

#include "component/Client.h"
#include "component/Unknown.h"
#include "virad/Export.h"

namespace Orvane {
namespace Component {
/// \addtogroup components
/// @{

/// Makes a component for the server (null: a local component); null when it
/// cannot.
using ComponentCreator = IUnknown* (*)(const ServerInfo* info);

/// Registers the creator for the class id; a second registration warns and
/// replaces the first. False only for a null or empty class id.
DOZUV2_API bool registerComponent(const char* classId, ComponentCreator creator);
/// The shared object of the class for the server's identity, made on first
/// use; null when there is no creator or it made nothing.
DOZUV2_API IUnknown* getComponentInstance(const char* classId, const ServerInfo* info);
/// A new object of the class; null when there is no creator or it made nothing.
DOZUV2_API IUnknown* createComponentObject(const char* classId, const ServerInfo* info);
/// @}

} // namespace Component
} // namespace Orvane

#endif
