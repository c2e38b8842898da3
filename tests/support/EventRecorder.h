// An observer for window tests: records every plug-in event it sees as a line
// of text ("MouseDown(0, -5, 7, 1)": button, x, y, modifiers) and answers as
// told: `handles` decides per event (no rule: not handled).
//
//   auto recorder = std::make_shared<EventRecorder>();
//   surface.addObserver(recorder);
//   recorder->handles = [](const std::string& event) { return event.rfind("Refresh", 0) == 0; };
#pragma once

#include "PluginEventSink.h"
#include "PluginEvents.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class EventRecorder : public FB::PluginEventSink {
public:
    bool onPluginEvent(FB::PluginEvent* event, FB::PluginEventSource*) override
    {
        std::string line = describe(event);
        events.push_back(line);
        if (throws && throws(line)) throw std::runtime_error("observer failed");
        if (auto* raw = dynamic_cast<FB::WindowsEvent*>(event); raw && rawResult && handles && handles(line))
            *raw->result = rawResult;
        return handles && handles(line);
    }

    // The events other than the raw window messages.
    std::vector<std::string> translated() const
    {
        std::vector<std::string> lines;
        for (const auto& line : events)
            if (line.rfind("Windows(", 0) != 0) lines.push_back(line);
        return lines;
    }

    static std::string describe(FB::PluginEvent* event)
    {
        using namespace FB;
        auto text = [](auto... values) {
            std::string joined;
            ((joined += (joined.empty() ? "" : ", ") + format(values)), ...);
            return "(" + joined + ")";
        };
        if (auto* e = dynamic_cast<WindowsEvent*>(event)) return "Windows" + text(e->message);
        if (dynamic_cast<AttachedEvent*>(event)) return "Attached";
        if (dynamic_cast<DetachedEvent*>(event)) return "Detached";
        if (dynamic_cast<ResizedEvent*>(event)) return "Resized";
        if (auto* e = dynamic_cast<RefreshEvent*>(event)) return "Refresh" + text(e->top, e->left, e->bottom, e->right);
        if (auto* e = dynamic_cast<TimerEvent*>(event)) return "Timer" + text(e->timerId);
        if (auto* e = dynamic_cast<KeyDownEvent*>(event))
            return "KeyDown" + text(e->keyCode, e->systemKeyCode, e->modifiers);
        if (auto* e = dynamic_cast<KeyUpEvent*>(event))
            return "KeyUp" + text(e->keyCode, e->systemKeyCode, e->modifiers);
        if (auto* e = dynamic_cast<MouseDownEvent*>(event))
            return "MouseDown" + text(e->button, e->x, e->y, e->modifiers);
        if (auto* e = dynamic_cast<MouseUpEvent*>(event)) return "MouseUp" + text(e->button, e->x, e->y, e->modifiers);
        if (auto* e = dynamic_cast<MouseDoubleClickEvent*>(event))
            return "DoubleClick" + text(e->button, e->x, e->y, e->modifiers);
        if (auto* e = dynamic_cast<MouseMoveEvent*>(event)) return "MouseMove" + text(e->x, e->y, e->modifiers);
        if (auto* e = dynamic_cast<MouseScrollEvent*>(event))
            return "Scroll" + text(e->x, e->y, e->dx, e->dy, e->modifiers);
        return "Unknown";
    }

    std::vector<std::string> events;
    std::function<bool(const std::string&)> handles;
    std::function<bool(const std::string&)> throws;
    intptr_t rawResult = 0;  // written by a handled WindowsEvent

private:
    static std::string format(double value)
    {
        std::string text = std::to_string(value);
        text.erase(text.find_last_not_of('0') + 1);
        if (!text.empty() && text.back() == '.') text.pop_back();
        return text;
    }
    template <class Number>
    static std::string format(Number value)
    {
        return std::to_string(value);
    }
};
