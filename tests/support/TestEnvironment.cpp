// Every test program runs headless and in the same locale whether ctest or a
// developer starts it: set before main(), so before Qt reads either.
// (A ctest ENVIRONMENT list cannot carry these: gtest_discover_tests splits
// it at the semicolon.)

#include <QByteArray>
#include <QtGlobal>

namespace {

const bool kTestEnvironmentSet = [] {
    // A developer may ask for a real screen (QT_QPA_PLATFORM=xcb) to watch a window test.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    qputenv("LC_ALL", QByteArray("C.UTF-8"));
    return true;
}();

}  // namespace
