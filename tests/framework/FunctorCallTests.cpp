#include "FunctorCall.h"
#include "TraceLog.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

TEST(FunctorCall, DestructionWritesOneTraceLineByResultKind)
{
    std::vector<std::string> lines;
    auto previous = FB::setTraceSink([&](const std::string& channel, const std::string& message) {
        if (channel == "FunctorCall") lines.push_back(message);
    });
    {
        auto voidCall = FB::makeFunctorCall([] {});
        auto valueCall = FB::makeFunctorCall([] { return 7; }, std::make_shared<int>(1));
        voidCall->call();
        valueCall->call();
        EXPECT_EQ(valueCall->getResult(), 7);
        EXPECT_TRUE(valueCall->holdsReference);
        EXPECT_FALSE(voidCall->holdsReference);
    }
    FB::setTraceSink(previous);
    EXPECT_EQ(lines,
        (std::vector<std::string>{"Destroying FunctorCall object (non-void)", "Destroying FunctorCall object (void)"}));
}

}  // namespace
