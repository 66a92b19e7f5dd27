// Registry of the Qt Test classes of one test program. Each test file adds its
// class with SCOURLET_QT_TEST(ClassName); the program runs one class (--class
// Name) or all of them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QObject>

namespace scourlet::testing {

using QtTestFactory = std::function<std::unique_ptr<QObject>()>;
bool registerQtTest(std::string name, QtTestFactory factory);

}  // namespace scourlet::testing

#define SCOURLET_QT_TEST(ClassName)                                        \
    static const bool ClassName##Registered = scourlet::testing::registerQtTest( \
        #ClassName, [] { return std::make_unique<ClassName>(); })
