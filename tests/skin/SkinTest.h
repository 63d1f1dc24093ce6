#pragma once
// One program runs every skin test class; each registers itself here.

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace knetix::test {

struct SkinTestClass {
    const char* name;
    std::function<std::unique_ptr<QObject>()> make;
};

std::vector<SkinTestClass>& skinTestClasses();

struct RegisterSkinTest {
    RegisterSkinTest(const char* name, std::function<std::unique_ptr<QObject>()> make)
    {
        skinTestClasses().push_back({name, std::move(make)});
    }
};

} // namespace knetix::test

#define KNETIX_SKIN_TEST(Class) \
    static knetix::test::RegisterSkinTest register##Class(#Class, [] { return std::make_unique<Class>(); })
