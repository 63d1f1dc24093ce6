#pragma once
// One program runs several Qt Test classes; each registers itself here and the
// shared main runs all of them, or the one named as first argument.

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace knetix::test {

struct QtTestClass {
    const char* name;
    std::function<std::unique_ptr<QObject>()> make;
};

std::vector<QtTestClass>& qtTestClasses();

struct RegisterQtTest {
    RegisterQtTest(const char* name, std::function<std::unique_ptr<QObject>()> make)
    {
        qtTestClasses().push_back({name, std::move(make)});
    }
};

} // namespace knetix::test

#define KNETIX_QT_TEST(Class) \
    static knetix::test::RegisterQtTest register##Class(#Class, [] { return std::make_unique<Class>(); })
