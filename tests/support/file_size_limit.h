#pragma once
// Runs a write with the process's file-size limit lowered, so that it is cut
// short part-way as on a full disk: past the limit a write fails (EFBIG)
// instead of raising SIGXFSZ. The limit and the signal's handling come back after.

#include <sys/resource.h>

#include <csignal>

template <typename Write>
auto withFileSizeLimit(rlim_t bytes, Write write) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit saved = limit;
    limit.rlim_cur = bytes;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    const auto result = write();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    return result;
}
