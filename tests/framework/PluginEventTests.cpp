#include "PluginEventSource.h"
#include "PluginEvents.h"
#include "TestPluginWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

using FB::PluginEvent;
using FB::PluginEventSource;

// Records the kinds of event it sees in a journal shared by all sinks of a test.
class RecordingSink : public FB::PluginEventSink {
public:
    RecordingSink(std::string name, std::vector<std::string>& journal, bool handles = false)
        : name(std::move(name)), journal(journal), handles(handles)
    {
    }

    bool onPluginEvent(PluginEvent* event, PluginEventSource* source) override
    {
        lastSource = source;
        if (dynamic_cast<FB::AttachedEvent*>(event))
            journal.push_back(name + ":attached");
        else if (dynamic_cast<FB::DetachedEvent*>(event))
            journal.push_back(name + ":detached");
        else
            journal.push_back(name + ":event");
        if (onEvent) onEvent(event, source);
        return handles;
    }

    std::string name;
    std::vector<std::string>& journal;
    bool handles;
    PluginEventSource* lastSource = nullptr;
    std::function<void(PluginEvent*, PluginEventSource*)> onEvent;
};

using Journal = std::vector<std::string>;

// A source and the journal its sinks write to.
class PluginEventSourceTest : public ::testing::Test {
protected:
    std::shared_ptr<RecordingSink> sink(std::string name, bool handles = false)
    {
        return std::make_shared<RecordingSink>(std::move(name), journal, handles);
    }

    Journal journal;
    std::shared_ptr<PluginEventSource> source = std::make_shared<PluginEventSource>();
};

TEST_F(PluginEventSourceTest, AddAndRemoveSendExactlyOneAttachedAndDetached)
{
    auto observer = sink("a");
    auto stranger = sink("b");

    source->addObserver(observer);
    source->addObserver(observer.get());  // the same sink again: no second observer
    source->removeObserver(stranger);
    source->removeObserver(observer);
    source->removeObserver(observer);

    EXPECT_EQ(journal, (Journal{"a:attached", "a:detached"}));
    EXPECT_EQ(observer->lastSource, source.get());
}

TEST_F(PluginEventSourceTest, DispatchGoesInOrderUntilOneHandles)
{
    struct Case {
        std::vector<bool> handles;
        Journal expected;
        bool handled;
    };
    const Case cases[] = {
        {{false, false, false}, {"0:event", "1:event", "2:event"}, false},
        {{false, true, false}, {"0:event", "1:event"}, true},
        {{true, true, true}, {"0:event"}, true},
    };
    for (const Case& c : cases) {
        source = std::make_shared<PluginEventSource>();
        std::vector<std::shared_ptr<RecordingSink>> sinks;
        for (size_t i = 0; i < c.handles.size(); ++i) {
            sinks.push_back(sink(std::to_string(i), c.handles[i]));
            source->addObserver(sinks.back());
        }
        journal.clear();
        FB::MouseDownEvent click(FB::MouseButtonEvent::Left, 3, 4);
        EXPECT_EQ(source->dispatchEvent(&click), c.handled);
        EXPECT_EQ(journal, c.expected);
    }
}

TEST_F(PluginEventSourceTest, DestroyedSinkIsSkippedAndDroppedSilently)
{
    auto gone = sink("gone");
    auto kept = sink("kept");
    source->addObserver(gone);
    source->addObserver(kept);
    gone.reset();
    journal.clear();

    FB::ResizedEvent resized;
    EXPECT_FALSE(source->dispatchEvent(&resized));
    source->removeObserver(kept);
    EXPECT_EQ(journal, (Journal{"kept:event", "kept:detached"}));
}

TEST_F(PluginEventSourceTest, SinkMayChangeObserversFromItsHandler)
{
    auto late = sink("late");
    auto first = sink("first");
    first->onEvent = [&](PluginEvent* event, PluginEventSource* from) {
        if (dynamic_cast<FB::RefreshEvent*>(event)) {
            from->addObserver(late);
            from->removeObserver(first);
        }
    };
    source->addObserver(first);
    journal.clear();

    FB::RefreshEvent refresh(0, 0, 10, 10);
    source->dispatchEvent(&refresh);  // walks the list as it was
    source->dispatchEvent(&refresh);
    EXPECT_EQ(journal, (Journal{"first:event", "late:attached", "first:detached", "late:event"}));
}

TEST(PluginEvent, TypedAccessThrowsBadCastForAnotherKind)
{
    FB::MouseDownEvent down(FB::MouseButtonEvent::Right, 1, 2, FB::MouseEvent::Shift);
    FB::MouseUpEvent up(FB::MouseButtonEvent::Left, 0, 0);
    FB::AttachedEvent attached;
    PluginEvent& event = down;
    EXPECT_EQ(event.asMouseDownEvent().button, 1);
    EXPECT_THROW(event.asMouseUpEvent(), std::bad_cast);
    EXPECT_THROW(event.asAttachedEvent(), std::bad_cast);
    EXPECT_NO_THROW(static_cast<PluginEvent&>(up).asMouseUpEvent());
    EXPECT_THROW(static_cast<PluginEvent&>(attached).asDetachedEvent(), std::bad_cast);
    try {
        static_cast<PluginEvent&>(attached).asMouseMoveEvent();
        FAIL();
    } catch (const std::bad_cast& e) {
        EXPECT_STREQ(e.what(), "bad cast");
    }
}

TEST(PluginEventSource, TellsAPluginWindowFromOtherSources)
{
    fbtest::TestPluginWindow window;
    PluginEventSource plain;
    EXPECT_TRUE(window.isPluginWindow());
    EXPECT_FALSE(plain.isPluginWindow());
}

}  // namespace
