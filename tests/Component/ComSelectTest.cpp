#include "Src/Component/ComSelectInternal.h"

#include "support/FakeClient.h"

using namespace Orvane::Component;
using namespace Orvane::Testing;
using Orvane::Virad::flex_string;

namespace {

// Names the class after the channel or device; answers true only when the
// caller's argument reached it untouched.
class FakeQueryer : public IServerInfoQueryer {
public:
    static inline std::atomic<int> destroyed{0};
    void destroy() override {
        ++destroyed;
        delete this;
    }
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

// (channel, number, text): the text comes second among the constructor's arguments but last in the record.
TEST(ComSelectTest, ChannelAndDeviceRecords) {
    using Channel = std::tuple<int, int, const char*>;
    auto fields = [](const ComSelChannelInfo& info) { return Channel(info.channel, info.number, info.text); };
    const char* const text = "camera";
    EXPECT_EQ(fields(ComSelChannelInfo::local), Channel(-1, -1, nullptr));
    EXPECT_EQ(fields(ComSelChannelInfo()), Channel(-1, -1, nullptr));
    EXPECT_EQ(fields(ComSelChannelInfo(3, text, 4)), Channel(3, 4, text));
    const ComSelDeviceIdInfo device;
    EXPECT_EQ(device.deviceId, nullptr);
    EXPECT_EQ(device.data, nullptr);
}

// In a fresh process, which has no queryer yet.
TEST(ComSelectTest, QueryerIsTakenOnceAndAnswersForChannelsAndDevices) {
    expectInFreshProcess([] {
        CapturePrinter capture(true, 2); // errors only
        flex_string classId;
        for (int channel : {5, -2}) { // no queryer: every channel is local
            classId = "unset";
            EXPECT_TRUE(getClassIdByChannel(channel, classId, nullptr)) << channel;
            EXPECT_EQ(classId, "Local") << channel;
        }
        EXPECT_FALSE(getClassIdByDeviceId("cam", classId, nullptr));
        EXPECT_FALSE(setQueryerHandler(TComPtr<IServerInfoQueryer>()));
        auto* held = new FakeQueryer;
        auto* other = new FakeQueryer;
        const std::string otherText = address(other);
        EXPECT_TRUE(setQueryerHandler(TComPtr<IServerInfoQueryer>(held, nullptr)));
        EXPECT_EQ(countOf(held), 1) << "the handler's own reference, the caller's gone";
        EXPECT_FALSE(setQueryerHandler(TComPtr<IServerInfoQueryer>(other, nullptr)));
        EXPECT_EQ(FakeQueryer::destroyed.load(), 1) << "a refused queryer is not kept";
        EXPECT_FALSE(setQueryerHandler(TComPtr<IServerInfoQueryer>()));
        EXPECT_EQ(countOf(held), 1);

        classId = "unset";
        EXPECT_TRUE(getClassIdByChannel(-1, classId, nullptr));
        EXPECT_EQ(classId, "Local") << "channel -1 is local even with a queryer";
        EXPECT_FALSE(getClassIdByChannel(-2, classId, held));
        EXPECT_TRUE(getClassIdByChannel(5, classId, held));
        EXPECT_EQ(classId, "Channel5");
        EXPECT_FALSE(getClassIdByChannel(0, classId, nullptr)) << "the queryer's answer";
        EXPECT_FALSE(getClassIdByDeviceId(nullptr, classId, held));
        EXPECT_TRUE(getClassIdByDeviceId("cam", classId, held));
        EXPECT_EQ(classId, "Device.cam");
        const std::string failed = "setQueryerHandler failed setPtr:";
        EXPECT_EQ(capture.bodies(), Lines({"please call setQueryerHandler interface\n",
                                           failed + address(nullptr) + ", oldPtr:" + address(nullptr) + "\n",
                                           failed + otherText + ", oldPtr:" + address(held) + "\n",
                                           failed + address(nullptr) + ", oldPtr:" + address(held) + "\n",
                                           "channel:-2 is invalid \n", "deviceId:(null) is empty\n"}));
    });
}
