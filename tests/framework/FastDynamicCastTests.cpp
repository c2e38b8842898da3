// The remembering dynamic cast answers as std::dynamic_pointer_cast does, in
// whatever order objects of targets, non-targets and their subclasses come.
#include "FastDynamicCast.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Base {
    virtual ~Base() = default;
};
struct Target : Base {};
struct TargetChild : Target {};
struct Other : Base {};
struct OtherChild : Other {};
// Target reached through a second base: the cast must adjust the pointer.
struct Extra {
    virtual ~Extra() = default;
    int padding = 0;
};
struct TargetSecond : Extra, Target {};

TEST(FastDynamicCast, AnswersAsTheLanguageCastInAnyOrder)
{
    const std::shared_ptr<Base> objects[] = {
        std::make_shared<Other>(),
        std::make_shared<Other>(),
        std::make_shared<Target>(),
        std::make_shared<Other>(),
        std::make_shared<OtherChild>(),
        std::make_shared<TargetChild>(),
        std::make_shared<OtherChild>(),
        std::make_shared<TargetSecond>(),
        std::make_shared<Other>(),
        std::make_shared<TargetSecond>(),
        nullptr,
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < std::size(objects); ++i) {
            std::shared_ptr<Target> expected = std::dynamic_pointer_cast<Target>(objects[i]);
            std::shared_ptr<Target> cast = FB::fastDynamicPointerCast<Target>(objects[i]);
            EXPECT_EQ(cast.get(), expected.get()) << "object " << i;
            if (cast) {
                EXPECT_EQ(cast.use_count(), objects[i].use_count()) << "shares ownership";
            }
        }
    }
}

}  // namespace
