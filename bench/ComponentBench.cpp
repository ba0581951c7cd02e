// The component model beside what a user would otherwise pick: copying and
// dropping a TComPtr against a std::shared_ptr (one thread, and two threads
// on one object), and a local factory lookup against a two-level
// std::map<std::string, ...> (interface, then class) under a
// std::recursive_mutex, both holding the same 8 x 8 entries.
#include <Dozuv2.h>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace Orvane::Component;

namespace {

class Counted : public IUnknown {
public:
    void destroy() override { delete this; }
    void* queryInterface(const char*) override { return this; }
};

// Shared by the threads of a run, like the shared_ptr below.
const TComPtr<Counted> g_component(static_cast<Counted*>(Detail::CComponentHelper::makeComponentObject(new Counted)),
                                   nullptr);
const std::shared_ptr<Counted> g_shared = std::make_shared<Counted>();

void BM_ComPtrCopy(benchmark::State& state) {
    for (auto _ : state) {
        TComPtr<Counted> copy(g_component);
        benchmark::DoNotOptimize(copy.get());
    }
}
BENCHMARK(BM_ComPtrCopy)->Threads(1)->Threads(2);

void BM_SharedPtrCopy(benchmark::State& state) {
    for (auto _ : state) {
        std::shared_ptr<Counted> copy(g_shared);
        benchmark::DoNotOptimize(copy.get());
    }
}
BENCHMARK(BM_SharedPtrCopy)->Threads(1)->Threads(2);

class Factory : public IFactoryUnknown {
public:
    explicit Factory(std::string classId) : m_classId(std::move(classId)) {}
    const char* clsid() const override { return m_classId.c_str(); }

private:
    std::string m_classId;
};

std::vector<std::string> names(const char* stem) {
    std::vector<std::string> result;
    for (int i = 0; i < 8; ++i) {
        result.push_back(stem + std::to_string(i));
    }
    return result;
}

const std::vector<std::string> g_interfaces = names("IBenchInterface");
const std::vector<std::string> g_classes = names("Local.BenchClass");

struct Registries {
    std::vector<std::unique_ptr<Factory>> factories;
    std::recursive_mutex mutex;
    std::map<std::string, std::map<std::string, IFactoryUnknown*>> map;

    Registries() {
        for (const std::string& iid : g_interfaces) {
            for (const std::string& cid : g_classes) {
                factories.push_back(std::make_unique<Factory>(cid));
                factories.back()->registerFactory(iid.c_str());
                map[iid][cid] = factories.back().get();
            }
        }
    }
};

Registries& registries() {
    static Registries instance;
    return instance;
}

void BM_FactoryLookup(benchmark::State& state) {
    registries();
    const char* iid = g_interfaces[5].c_str();
    const char* cid = g_classes[3].c_str();
    for (auto _ : state) {
        IClient* client = nullptr;
        benchmark::DoNotOptimize(Detail::CComponentHelper::getComponentFactory(iid, cid, ServerInfo::none, client));
    }
}
BENCHMARK(BM_FactoryLookup);

void BM_StdMapLookup(benchmark::State& state) {
    Registries& r = registries();
    const char* iid = g_interfaces[5].c_str();
    const char* cid = g_classes[3].c_str();
    for (auto _ : state) {
        std::lock_guard<std::recursive_mutex> guard(r.mutex);
        IFactoryUnknown* found = nullptr;
        const auto entry = r.map.find(iid);
        if (entry != r.map.end()) {
            const auto item = entry->second.find(cid);
            found = item != entry->second.end() ? item->second : nullptr;
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_StdMapLookup);

} // namespace

BENCHMARK_MAIN();
