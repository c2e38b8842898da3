// How deeply page callbacks nest on one thread.
//
// A callback is called inside the command that answers it, so a callback that
// calls a control again runs one level deeper each time; unbounded, a page that
// answers itself would overflow the thread's stack and take its host down. Each
// delivery of a callback counts one level on the calling thread (across all
// controls of that thread); a command that would deliver while kMaxDepth
// deliveries are running refuses instead.
#pragma once

namespace Plexhost {

class CallbackNesting {
public:
    static constexpr int kMaxDepth = 16;

    // Deliveries running on this thread.
    static int depth();
    // False when a command must refuse: its callbacks would nest too deeply.
    static bool allowsCommand() { return depth() < kMaxDepth; }

    // One delivery, counted while it lives.
    class Delivery {
    public:
        Delivery();
        ~Delivery();
        Delivery(const Delivery&) = delete;
        Delivery& operator=(const Delivery&) = delete;
    };
};

}  // namespace Plexhost
