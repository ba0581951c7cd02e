#include "Src/Component/ComSelectInternal.h"

#include "support/Testing.h"

using namespace Orvane::Component;
using namespace Orvane::Testing;
using Orvane::Virad::flex_string;

namespace {

// Names the class after the channel or device; answers true only when the
// caller's argument reached it untouched.
class FakeQueryer : public IServerInfoQueryer {
public:
    void destroy() override { delete this; }
    void* queryInterface(const char*) override { return nullptr; }
    bool classIdByChannel(int channel, flex_string& classId, void* argument) override {
        classId = "Channel" + std::to_string(channel);
        return argument == this;
    }
    bool classIdByDeviceId(const char* deviceId, flex_string& classId, void* argument) override {
        classId = flex_string("Device.") + deviceId;
        return argument == this;
    }
};

} // namespace

TEST(ComSelectTest, DefaultClassIsSetOnceAndClassIdsJoinWithADot) {
    static int round = 0;
    const std::string iid = "IRound" + std::to_string(++round);
    EXPECT_EQ(CLocalComSelectManager::getDefaultClassID(iid.c_str()), "Local");
    EXPECT_TRUE(CLocalComSelectManager::setDefaultComponent(iid.c_str(), "A"));
    EXPECT_FALSE(CLocalComSelectManager::setDefaultComponent(iid.c_str(), "B"));
    EXPECT_EQ(CLocalComSelectManager::getDefaultClassID(iid.c_str()), "A");
    EXPECT_FALSE(CLocalComSelectManager::setDefaultComponent(nullptr, "A"));
    EXPECT_EQ(CLocalComSelectManager::getDefaultClassID(nullptr), "");
    EXPECT_EQ(getClassId("Client", ""), "Client");
    EXPECT_EQ(getClassId("Client", "x"), "Client.x");
}

// In a fresh process, which has no queryer yet.
TEST(ComSelectTest, QueryerIsTakenOnceAndAnswersForChannelsAndDevices) {
    expectInFreshProcess([] {
        CapturePrinter capture(true, 2); // errors only
        flex_string classId;
        EXPECT_TRUE(getClassIdByChannel(5, classId, nullptr) && getClassIdByChannel(-2, classId, nullptr));
        EXPECT_EQ(classId, "Local");
        EXPECT_FALSE(getClassIdByDeviceId("cam", classId, nullptr));
        EXPECT_FALSE(setQueryerHandler(TComPtr<IServerInfoQueryer>()));
        auto* held = new FakeQueryer;
        auto* other = new FakeQueryer;
        const std::string otherText = address(other);
        EXPECT_TRUE(setQueryerHandler(TComPtr<IServerInfoQueryer>(held, nullptr)));
        EXPECT_FALSE(setQueryerHandler(TComPtr<IServerInfoQueryer>(other, nullptr)));
        EXPECT_FALSE(setQueryerHandler(TComPtr<IServerInfoQueryer>()));

        EXPECT_TRUE(getClassIdByChannel(-1, classId, nullptr) && classId == "Local");
        EXPECT_FALSE(getClassIdByChannel(-2, classId, held));
        EXPECT_TRUE(getClassIdByChannel(5, classId, held) && classId == "Channel5");
        EXPECT_FALSE(getClassIdByChannel(0, classId, nullptr)) << "the queryer's answer";
        EXPECT_FALSE(getClassIdByDeviceId(nullptr, classId, held));
        EXPECT_TRUE(getClassIdByDeviceId("cam", classId, held) && classId == "Device.cam");
        const std::string failed = "setQueryerHandler failed setPtr:";
        EXPECT_EQ(capture.bodies(), Lines({"please call setQueryerHandler interface\n",
                                           failed + address(nullptr) + ", oldPtr:" + address(nullptr) + "\n",
                                           failed + otherText + ", oldPtr:" + address(held) + "\n",
                                           failed + address(nullptr) + ", oldPtr:" + address(held) + "\n",
                                           "channel:-2 is invalid \n", "deviceId:(null) is empty\n"}));
    });
}
