#pragma once

// SIGINT (Ctrl-C) and SIGTERM as a request to stop. While a StopSignals lives, the first of
// them only sets a flag, which a long operation polls and turns into its own orderly end (a
// measurement's abort, which still lists and saves what was counted). Each handler resets
// itself as it runs, so the same signal again ends the process at once, as it would without us.

#include <memory>

namespace kv {

class StopSignals {
public:
    // Installs the handlers and clears the flag. One object at a time; the dispositions in force
    // before come back when it goes.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal that asked to stop (SIGINT or SIGTERM), or 0 while none has. Any thread.
    int received() const;

private:
    struct Previous;
    std::unique_ptr<Previous> m_previous;
};

} // namespace kv
