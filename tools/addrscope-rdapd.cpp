// addrscope-rdapd [--https CERT KEY] [--port N] DIR: serves the RDAP answers in DIR
// (files named *-ADDRESS.json) on 127.0.0.1 until interrupted; see
// LoopbackRdapServer.h for the modes.

#include "LoopbackRdapServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int)
{
    g_stop = 1;
}
} // namespace

int main(int argc, char** argv)
{
    std::string cert, key, dir;
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--https") == 0 && i + 2 < argc) {
            cert = argv[++i];
            key = argv[++i];
        } else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else {
            dir = argv[i];
        }
    }
    if (dir.empty()) {
        std::fprintf(stderr, "usage: addrscope-rdapd [--https CERT KEY] [--port N] DIR\n");
        return 2;
    }
    CLoopbackRdapServer server;
    if (!server.LoadAnswers(dir) || !server.Start(cert, key, port)) {
        std::fprintf(stderr, "addrscope-rdapd: cannot serve %s\n", dir.c_str());
        return 1;
    }
    server.SetRedirectBase(server.BaseUrl("ok"));
    std::printf("%s\n", server.BaseUrl("ok").c_str());
    std::fflush(stdout);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    while (!g_stop)
        pause();
    return 0;
}
