#pragma once

#include <csignal>
#include <sys/resource.h>

// Runs `write` while no file may grow past `bytes`: writes beyond fail as on a full disk.
template <class Write> auto WithFileSizeLimit(rlim_t bytes, Write write) {
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit small{bytes, saved.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const auto result = write();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    return result;
}
