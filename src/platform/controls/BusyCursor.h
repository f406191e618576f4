#pragma once

namespace controls {

// The busy cursor over the program's windows while the user waits for the program: from
// the start of a handler that guard() runs to its end, whatever statements it sends and
// rows it reads. A window that waits for the user in the meantime (a modal window, a
// message, a file dialog) has the normal cursor while it is on the screen, and a handler
// run from that window shows the busy cursor again.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace controls
