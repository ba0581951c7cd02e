// The class lookups through the host's queryer, for the component model's
// own callers.
#ifndef DOZUV2_COMPONENT_COMSELECTINTERNAL_H
#define DOZUV2_COMPONENT_COMSELECTINTERNAL_H

#include "component/ComSelect.h"

namespace Orvane {
namespace Component {

// The class serving the channel: "Local" (true) without a queryer or for
// channel -1; false, reported, for a channel below -1; otherwise the
// queryer's answer.
bool getClassIdByChannel(int channel, Virad::flex_string& classId, void* argument);
// The class serving the device: false, reported, without a queryer or for a
// null device id; otherwise the queryer's answer.
bool getClassIdByDeviceId(const char* deviceId, Virad::flex_string& classId, void* argument);

} // namespace Component
} // namespace Orvane

#endif
