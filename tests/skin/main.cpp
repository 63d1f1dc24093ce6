// Runs the skin test classes: all of them, or the one named as first argument.

#include "SkinTest.h"

#include <QApplication>
#include <QTest>

#include <cstring>

namespace knetix::test {

std::vector<SkinTestClass>& skinTestClasses()
{
    static std::vector<SkinTestClass> classes;
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
    for (const auto& cls : knetix::test::skinTestClasses()) {
        if (only && std::strcmp(only, cls.name) != 0)
            continue;
        found = true;
        auto object = cls.make();
        failed += QTest::qExec(object.get(), int(args.size()), args.data()) != 0;
    }
    return found ? failed : 2;
}
