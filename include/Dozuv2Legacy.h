/// \file
/// Dozuv2's older interface: the global-namespace CMutex, CGuard, CTime,
/// CPacket and IPacketManager, kept for callers written against it.
///
/// Kept apart from Dozuv2.h because these names are also those of classes of
/// Orvane::Virad and Orvane::Memory: a program that includes both umbrellas
/// names the older classes with a leading "::" (::CMutex) and the current
/// ones qualified, or unqualified from code where the current namespace is
/// nearer than the global one (inside namespace Orvane, or after a
/// using-declaration such as `using Orvane::Virad::CTime;`).
#ifndef DOZUV2LEGACY_H
#define DOZUV2LEGACY_H

#include "legacy/LegacyMutex.h"
#include "legacy/LegacyTime.h"
#include "legacy/LegacyPacket.h"

#endif
