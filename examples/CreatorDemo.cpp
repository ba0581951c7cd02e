// Components made by creators: the class of an interface chosen through its
// default component, then made from the example component library "Greeter"
// (GreeterComponent.cpp), which the library loads by class id from beside
// this program. Shared objects are handed out once per server; created
// objects are always new.
#include "Greeter.h"

#include <Dozuv2.h>

#include <cstdio>

using namespace Orvane::Component;

namespace {

const char* greetingOf(IUnknown* object) {
    auto* greeter = object != nullptr ? static_cast<IGreeter*>(object->queryInterface(kGreeterIid)) : nullptr;
    return greeter != nullptr ? greeter->greeting() : "nothing made";
}

} // namespace

void creatorDemo() {
    CLocalComSelectManager::setDefaultComponent(kGreeterIid, "Greeter");
    const Orvane::Virad::flex_string classId = CLocalComSelectManager::getDefaultClassID(kGreeterIid);
    std::printf("the default class of %s is %s; of IUnknown, %s\n", kGreeterIid, classId.c_str(),
                CLocalComSelectManager::getDefaultClassID("IUnknown").c_str());

    ServerInfo bob;
    bob.text1 = "10.0.0.1";
    bob.number1 = 80;
    bob.userName = "bob";
    IUnknown* local = getComponentInstance(classId.c_str(), nullptr);
    IUnknown* localAgain = getComponentInstance(classId.c_str(), nullptr);
    IUnknown* forBob = getComponentInstance(classId.c_str(), &bob);
    IUnknown* fresh = createComponentObject(classId.c_str(), nullptr);
    std::printf("shared, local:     %s\n", greetingOf(local));
    std::printf("shared, again:     %s (%s object)\n", greetingOf(localAgain),
                local == localAgain ? "the same" : "another");
    std::printf("shared, for bob:   %s\n", greetingOf(forBob));
    std::printf("created, local:    %s\n", greetingOf(fresh));
    IUnknown* missing = getComponentInstance("NoSuchComponentLibrary", nullptr);
    std::printf("a class without a library: %s\n", greetingOf(missing));
    std::printf("a remote class id: %s\n", getClassId("Echo", "greeter").c_str());
    for (IUnknown* object : {local, localAgain, forBob, fresh}) {
        Detail::CComponentHelper::release(object);
    }
}
