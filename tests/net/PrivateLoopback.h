#pragma once

#include <cstdio>
#include <functional>
#include <net/if.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// Runs fn on a thread of its own inside a fresh network namespace that has only
// a loopback interface and allows ping sockets for every group. Namespaces belong
// to threads, so the rest of the test process stays where it was; threads fn
// starts inherit the namespace. Returns false (fn not run) with the reason when
// no namespace can be made here.
inline bool RunInPrivateLoopback(const std::function<void()>& fn, std::string& strWhy)
{
    bool ran = false;
    std::thread worker([&] {
        if (unshare(CLONE_NEWNET) != 0) {
            strWhy = "cannot create a network namespace (needs root or CAP_SYS_ADMIN)";
            return;
        }
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ifreq ifr {};
        std::snprintf(ifr.ifr_name, sizeof ifr.ifr_name, "lo");
        const bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &ifr) == 0 &&
                        (ifr.ifr_flags |= IFF_UP, ioctl(fd, SIOCSIFFLAGS, &ifr) == 0);
        if (fd >= 0)
            close(fd);
        // /proc/sys/net shows the namespace of the thread that opens it.
        FILE* f = std::fopen("/proc/sys/net/ipv4/ping_group_range", "w");
        const bool allowed = f && std::fputs("0 2147483647", f) >= 0;
        if (f)
            std::fclose(f);
        if (!up || !allowed) {
            strWhy = "cannot set up loopback in a private network namespace";
            return;
        }
        fn();
        ran = true;
    });
    worker.join();
    return ran;
}
