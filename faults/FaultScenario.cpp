// One run of the allocation-failure sweep: a scenario that touches every
// subsystem, with the FailingAllocator failing the N-th allocation after it
// starts.
//
//     FaultScenario POLICY N DIRECTORY [persist]
//
// POLICY is the packet manager's policy for the run (1 to 4), frozen at the
// packets' first use, which is why the sweep runs each policy in processes of
// its own. N is the allocation to fail (0: none). DIRECTORY is an empty
// folder of the run's own for the log files and the file layer. With
// "persist", every allocation from the N-th on fails.
//
// The run ends in one of these ways, which the sweep tells apart:
// - exit status 0: every step either did its work or gave the failure result
//   the library promises for it (a null, a false, a 0, nothing half done);
// - exit status 3: a step gave a result that is neither (named on the
//   standard error as "wrong: ...");
// - the library's assertion report on the standard error, then an abort;
// - anything else: an escaped exception (terminate), a signal, a hang.
//
// The last line of a finished run on the standard output is
// "allocations: COUNT" (counted up to there; the exit handlers allocate more).
//
// The scenario itself allocates nothing of its own beyond what a step is
// about: the checks write to the standard error with fprintf and every
// buffer is on the stack or static.
#include "FailingAllocator.h"

#include "component/Creator.h"
#include "component/Factory.h"
#include "legacy/LegacyTime.h"
#include "memory/Buffer.h"
#include "memory/Packet.h"
#include "memory/PacketManager.h"
#include "utils/Aes.h"
#include "utils/Base64.h"
#include "utils/Charset.h"
#include "utils/Sha1.h"
#include "utils/TripleDes.h"
#include "virad/File.h"
#include "virad/FileFind.h"
#include "virad/LastError.h"
#include "virad/LogFilter.h"
#include "virad/PrintLog.h"
#include "virad/Thread.h"
#include "virad/ThreadManager.h"
#include "virad/Timer.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <new>

using namespace Orvane;

namespace {

int g_wrong = 0;

// A step's result that is neither its work done nor its promised failure.
void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "wrong: %s\n", what);
        ++g_wrong;
    }
}

bool sameBytes(const void* a, const void* b, std::size_t length) {
    return std::memcmp(a, b, length) == 0;
}

// ---- Print path, logfilter words and the log file ----

std::atomic<int> g_printed{0};

bool countLine(const char*) {
    ++g_printed;
    return true;
}

void logWords(std::initializer_list<const char*> words) {
    char* argv[8] = {};
    int argc = 0;
    for (const char* word : words) {
        argv[argc++] = const_cast<char*>(word);
    }
    Virad::setLogFilter(argc, argv);
}

void printPath(const char* directory) {
    const Virad::TFunction1<bool, const char*> printer(&countLine);
    const bool attached = Virad::attachPrint(printer);
    check(attached, "attachPrint of a new printer is true");

    char logPath[512];
    std::snprintf(logPath, sizeof logPath, "%s/fault.log", directory);
    logWords({"-loglevel", "5"});
    logWords({"-logpath", logPath});
    logWords({"-logmodule", "Scenario", "on"});
    logWords({"-logmodule", "Other.Module.With.A.Long.Name", "off"});
    logWords({"-logmodulestatistics", "on"});
    logWords({"-logsavesetting", "bysize", "1", "3"});

    // About 5 KiB in 100-byte lines: the file rotates at every KiB and the
    // oldest of more than three rotated files is removed.
    int delivered = 0;
    for (int i = 0; i < 48; ++i) {
        const int length = Virad::logFilter(4, "Scenario", __FILE__, "printPath", __LINE__, "Unknown",
                                            "line %02d of the scenario, long enough to fill a kilobyte in ten "
                                            "lines or so\n",
                                            i);
        check(length > 0, "a line of a switched-on module is printed");
        delivered += length > 0 ? 1 : 0;
    }
    check(Virad::logFilter(4, "Other.Module.With.A.Long.Name", __FILE__, "printPath", __LINE__, "Unknown",
                           "switched off\n") == 0,
          "a switched-off module prints nothing");
    check(g_printed.load() == (attached ? delivered : 0), "the attached printer sees every delivered line");

    const std::map<std::string, Virad::LogModuleInfo> statistics = Virad::getLogStatistics();
    const auto counted = statistics.find("Scenario");
    check(counted != statistics.end(), "the module has statistics");
    if (counted != statistics.end()) {
        check(counted->second.printedBytes > 0, "the module's lines are counted");
    }

    // The rotated files through the directory search and its std::string names.
    char pattern[520];
    std::snprintf(pattern, sizeof pattern, "%s/*", directory);
    Virad::CFileFind find;
    int files = 0;
    for (bool found = find.findFile(pattern); found; found = find.findNextFile()) {
        const std::string name = find.getFileName();
        const std::string path = find.getFilePath();
        check(path.size() > name.size(), "a found file's path holds its name");
        ++files;
    }
    find.close();
    std::printf("%d directory entries\n", files);

    logWords({"-logmodulestatistics", "off"});
    logWords({"-logpath", ""});
    Virad::logCleanup();
    check(Virad::detachPrint(printer) == attached, "detachPrint finds the attached printer");
}

// ---- Errors ----

void errors() {
    Virad::setLastError(0x10001234);
    check(Virad::getLastError() == 0x10001234, "the last error reads back");
    Virad::setErrMsg(0x10001234, "a message longer than the thirty-one characters kept inline");
    check(std::strcmp(Virad::getErrMsg(0x10001234), "a message longer than the thirty-one characters kept inline") == 0,
          "an error text reads back");
    const Virad::flex_string text = Virad::getErrorMessage(0x10001234);
    check(text == "a message longer than the thirty-one characters kept inline", "an error text copies back");
}

// ---- A timer firing twice, a thread ----

std::atomic<int> g_fired{0};

void onTimer(unsigned long) {
    ++g_fired;
}

void timer() {
    Virad::CTimer periodic("FaultTimer");
    const bool started = periodic.start(Virad::CTimer::Proc(&onTimer), 10, 20);
    check(started, "a timer starts");
    // Generous: a loaded machine may be slow, and a failed hand-out drops a
    // firing (reported), which the next period makes up for.
    for (int waited = 0; waited < 3000 && g_fired.load() < 2; waited += 5) {
        Virad::CThread::sleep(5);
    }
    periodic.stopAndWait();
    std::printf("timer fired %d times\n", g_fired.load());
}

std::atomic<bool> g_threadRan{false};

void threadBody(Virad::CThreadLite&) {
    g_threadRan = true;
}

void thread() {
    Virad::CThreadLite worker(Virad::CThreadLite::Procedure(&threadBody), "FaultThread");
    if (worker.createThread()) {
        for (int waited = 0; waited < 3000 && !worker.isThreadOver(); waited += 5) {
            Virad::CThread::sleep(5);
        }
        check(g_threadRan.load(), "a created thread runs its body");
    }
    std::list<Virad::CThreadManager::ThreadInfo> infos;
    if (Virad::CThreadManager::instance()->getThreadsInfo(infos)) {
        check(!infos.empty(), "the thread table lists the library's threads");
    } else {
        check(infos.empty(), "a thread table that could not be listed leaves the caller's list alone");
    }
}

// ---- Memory ----

void packets(int policy) {
    unsigned char data[100];
    std::memset(data, 0x5A, sizeof data);
    Memory::CPacket packet(1500, 16);
    if (policy == 4) {
        check(!packet.valid(), "no packet can be made under the no-packet policy");
        return;
    }
    if (packet.valid()) {
        check(packet.resize(0), "a valid packet can be emptied");
        check(packet.putBuffer(data, sizeof data) == sizeof data, "a valid packet takes bytes");
        Memory::CPacket copy(packet);
        check(copy.getBuffer() == packet.getBuffer(), "a copy shares the packet's bytes");
        Memory::CPacket slice(packet, 10, 20);
        if (slice.valid()) {
            check(slice.getBuffer() == packet.getBuffer() + 10, "a slice starts at its offset");
        }
    }
    Memory::CPacketManager* manager = Memory::CPacketManager::instance();
    void* block = manager->malloc(3000);
    if (block != nullptr) {
        std::memset(block, 1, 3000);
        manager->free(block);
    }
    Memory::CPacket big(300000);
    if (big.valid()) {
        check(big.capacity() >= 300000, "a valid large packet has its room");
    }
}

void buffer() {
    static unsigned char chunk[1000];
    static unsigned char accepted[40 * sizeof chunk];
    for (std::size_t i = 0; i < sizeof chunk; ++i) {
        chunk[i] = static_cast<unsigned char>(i * 7);
    }
    Memory::CBuffer grown;
    std::uint64_t expected = 0;
    for (int i = 0; i < 40; ++i) {
        const std::uint64_t before = grown.size();
        const std::uint64_t length = i % 2 == 0 ? sizeof chunk : 5000 % sizeof chunk + 1;
        const std::uint64_t put = grown.putBuffer(chunk, length);
        const bool allOrNothing = put == 0 || put == length;
        check(allOrNothing, "an append takes all or nothing");
        check(grown.size() == before + put, "an append adds what it reports");
        std::memcpy(accepted + expected, chunk, put);
        expected += put;
    }
    check(grown.size() == expected, "the buffer holds every accepted byte");
    if (expected != 0) {
        check(sameBytes(grown.getBuffer(), accepted, expected), "the accepted bytes, in order");
    }
}

// ---- Utilities ----

void ciphers() {
    const unsigned char key[16] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                   0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f};
    const unsigned char plain[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                     0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
    const unsigned char cipher[16] = {0x69, 0xc4, 0xe0, 0xd8, 0x6a, 0x7b, 0x04, 0x30,
                                      0xd8, 0xcd, 0xb7, 0x80, 0x70, 0xb4, 0xc5, 0x5a};
    unsigned char out[16] = {};
    Utils::CAes aes(Utils::CAes::ECB, key, Utils::CAes::bits128, nullptr);
    if (aes.encrypt(out, plain, sizeof plain)) {
        check(sameBytes(out, cipher, sizeof cipher), "AES-128 encrypts the published example");
    }
    Utils::CAes copy(aes);
    unsigned char back[16] = {};
    if (copy.decrypt(back, cipher, sizeof cipher)) {
        check(sameBytes(back, plain, sizeof plain), "a copied AES decrypts the published example");
    }

    const unsigned char desKey[24] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0x23, 0x45, 0x67, 0x89,
                                      0xab, 0xcd, 0xef, 0x01, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0x01, 0x23};
    const unsigned char desPlain[] = "The qufck brown fox jump"; // sic, as published
    const unsigned char desCipher[24] = {0xa8, 0x26, 0xfd, 0x8c, 0xe5, 0x3b, 0x85, 0x5f, 0xcc, 0xe2, 0x1c, 0x81,
                                         0x12, 0x25, 0x6f, 0xe6, 0x68, 0xd5, 0xc0, 0x5d, 0xd9, 0xb6, 0xb9, 0x00};
    unsigned char desOut[24] = {};
    Utils::CTripleDes des(desKey, sizeof desKey, Utils::CTripleDes::block8, nullptr);
    if (des.encrypt(desOut, desPlain, 24)) {
        check(sameBytes(desOut, desCipher, sizeof desCipher), "triple DES encrypts the published example");
    }
}

void digestsAndText() {
    Utils::CSha1 sha;
    sha.update(reinterpret_cast<const unsigned char*>("abc"), 3);
    char hex[41] = {};
    sha.hex(hex, sizeof hex);
    check(std::strcmp(hex, "a9993e364706816aba3e25717850c26c9cd0d89d") == 0, "SHA-1 of abc");

    char encoded[16] = {};
    check(Utils::base64Encode(encoded, "Hello", 5) == 9, "Base64 of Hello: 8 characters and the terminator");
    check(std::strcmp(encoded, "SGVsbG8=") == 0, "Base64 of Hello");

    char gbk[] = "\xc4\xe3\xba\xc3"; // "ni hao" in GBK
    unsigned char utf8[16] = {};
    const int length = Utils::Gb2312TUtf8(gbk, utf8, sizeof utf8);
    if (length != 0) {
        check(length == 6, "GBK to UTF-8 gives six bytes");
        check(sameBytes(utf8, "\xe4\xbd\xa0\xe5\xa5\xbd", 6), "GBK to UTF-8");
    }
    unsigned char utf8In[] = "\xe4\xbd\xa0\xe5\xa5\xbd";
    char gbkOut[16] = {};
    if (Utils::utf8TGb2312(utf8In, gbkOut, 6, sizeof gbkOut) != 0) {
        check(sameBytes(gbkOut, gbk, 4), "UTF-8 to GBK");
    }
    char format[64] = {};
    const std::string legacyFormat = ::CTime::getFormat();
    std::snprintf(format, sizeof format, "%s", legacyFormat.c_str());
    check(std::strcmp(format, "yyyy-MM-dd HH:mm:ss") == 0, "the legacy time format");
}

// ---- Files ----

void files(const char* directory) {
    char path[512];
    std::snprintf(path, sizeof path, "%s/nested/deeper/leaf", directory);
    if (Virad::CFile::makeDirectoryRecursively(path)) {
        check(Virad::CFile::access(path, 0), "a made directory exists");
    }
    std::snprintf(path, sizeof path, "%s/nested/data.bin", directory);
    Virad::CFile file;
    if (file.open(path, Virad::CFile::openWrite)) {
        char text[] = "written through the file layer";
        check(file.write(text, sizeof text) == static_cast<long>(sizeof text), "an open file takes bytes");
        file.close();
    }
    std::snprintf(path, sizeof path, "%s/nested", directory);
    Virad::CFile::removeDirectoryRecursively(path, true);
}

// ---- Components ----

class EchoFactory : public Component::IFactoryUnknown {
public:
    const char* clsid() const override { return "Fault.Echo"; }
};

class Thing : public Component::IUnknown {
public:
    void destroy() override { delete this; }
    void* queryInterface(const char*) override { return nullptr; }
};

Component::IUnknown* makeThing(const Component::ServerInfo*) {
    return new (std::nothrow) Thing; // null: the creator made nothing
}

void components() {
    static EchoFactory factory;
    check(factory.registerFactory("IFaultEcho"), "registerFactory is true");
    Component::IClient* client = nullptr;
    Component::IFactoryUnknown* found = Component::Detail::CComponentHelper::getComponentFactory(
        "IFaultEcho", Component::ClassID("Fault.Echo"), Component::ServerInfo::none, client);
    check(found == &factory, "the registered factory is found");
    {
        Component::ClassIDList ids("IFaultEcho");
        check(ids.count() == 1, "one class under the interface");
        if (ids.count() == 1) {
            check(ids[0] == "Fault.Echo", "the class id listed");
        }
    }
    check(std::strcmp(Virad::getErrMsg(Component::kErrorClassNotFound), "Component error: class not found!") == 0,
          "the component texts are registered with the first factory");

    check(Component::registerComponent("Fault.Thing", &makeThing), "registerComponent is true");
    Component::IUnknown* shared = Component::getComponentInstance("Fault.Thing", nullptr);
    if (shared != nullptr) {
        Component::IUnknown* again = Component::getComponentInstance("Fault.Thing", nullptr);
        check(again == shared, "one shared object per identity");
        if (again != nullptr) {
            again->release();
        }
        shared->release();
    }
    Component::IUnknown* made = Component::createComponentObject("Fault.Thing", nullptr);
    if (made != nullptr) {
        made->release();
    }
    check(Component::getComponentInstance("Fault.Missing", nullptr) == nullptr, "no creator, no object");
}

} // namespace

int main(int argc, char** argv) {
    const bool persist = argc == 5 && std::strcmp(argv[4], "persist") == 0;
    if (argc != 4 && !persist) {
        std::fprintf(stderr, "usage: %s POLICY N DIRECTORY [persist]\n", argv[0]);
        return 2;
    }
    const int policy = std::atoi(argv[1]);
    const unsigned long long failAt = std::strtoull(argv[2], nullptr, 10);
    const char* directory = argv[3];
    if (policy < 1 || policy > 4) {
        std::fprintf(stderr, "policy must be 1 to 4\n");
        return 2;
    }

    Faults::arm(failAt, persist);
    Memory::CPacketManager::config(static_cast<Memory::CPacketManager::Policy>(policy));
    printPath(directory);
    errors();
    timer();
    thread();
    packets(policy);
    buffer();
    ciphers();
    digestsAndText();
    files(directory);
    components();

    std::printf("allocations: %llu\n", Faults::allocationCount());
    std::fflush(stdout);
    return g_wrong == 0 ? 0 : 3;
}
