#pragma once
// The one QCoreApplication of a logos test program (event loop, sockets, timers).

#include <QCoreApplication>

namespace varnel::logos::test {

inline QCoreApplication &app()
{
    static int argc = 1;
    static char name[] = "varnel_logos_test";
    static char *argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

}  // namespace varnel::logos::test
