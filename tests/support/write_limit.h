#pragma once

// Makes every write beyond a few bytes fail while it lives: the file-size limit holds even for
// root, so a failed write can be tested anywhere.

#include <csignal>
#include <sys/resource.h>

namespace kv::test {

struct WriteLimit {
    rlimit saved{};
    void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);

    explicit WriteLimit(rlim_t bytes = 100) {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~WriteLimit() { ::setrlimit(RLIMIT_FSIZE, &saved), std::signal(SIGXFSZ, handler); }
    WriteLimit(const WriteLimit&) = delete;
    WriteLimit& operator=(const WriteLimit&) = delete;
};

} // namespace kv::test
