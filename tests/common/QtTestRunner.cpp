// Runs the registered Qt Test classes: all of them, or the one named as first argument.

#include "QtTestRunner.h"

#include <QApplication>
#include <QTest>

#include <cstring>

namespace knetix::test {

std::vector<QtTestClass>& qtTestClasses()
{
    static std::vector<QtTestClass> classes;
    return classes;
}

} // namespace knetix::test

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
    std::vector<char*> args(argv, argv + argc);
    if (only)
        args.erase(args.begin() + 1);
    int failed = 0;
    bool found = false;
    for (const auto& cls : knetix::test::qtTestClasses()) {
        if (only && std::strcmp(only, cls.name) != 0)
            continue;
        found = true;
        auto object = cls.make();
        failed += QTest::qExec(object.get(), int(args.size()), args.data()) != 0;
    }
    return found ? failed : 2;
}
