// addrscope-whoisd: whois servers on loopback addresses that serve canned answers
// from folders, for demos and manual tests of addrscope against a known world.

#include "LoopbackWhoisServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int)
{
    g_stop = 1;
}

int Usage()
{
    std::fprintf(stderr, "usage: addrscope-whoisd [--port N] --serve ADDRESS=FOLDER [--serve ...]\n"
                         "                        [--mode ADDRESS=MODE]\n"
                         "  Each ADDRESS (a loopback address such as 127.0.0.2) answers a query with the\n"
                         "  file of that name in FOLDER (or the name plus .txt). All addresses share one\n"
                         "  port (default: a free one, printed on stdout).\n"
                         "  MODE: normal, close, silent, forever, zero, limit, reset, cr, nolines, huge,\n"
                         "        trickle, rst\n");
    return 2;
}

bool ParseMode(const std::string& name, EWhoisServerMode& mode)
{
    static const struct {
        const char* name;
        EWhoisServerMode mode;
    } kModes[] = {{"normal", EWhoisServerMode::normal},        {"close", EWhoisServerMode::closeAtOnce},
                  {"silent", EWhoisServerMode::neverAnswer},   {"forever", EWhoisServerMode::sendForever},
                  {"zero", EWhoisServerMode::zeroByte},        {"limit", EWhoisServerMode::queryLimit},
                  {"reset", EWhoisServerMode::closeMidAnswer}, {"cr", EWhoisServerMode::crOnly},
                  {"nolines", EWhoisServerMode::noLineEnds},   {"huge", EWhoisServerMode::tenMegabytes},
                  {"trickle", EWhoisServerMode::trickle},      {"rst", EWhoisServerMode::resetAtOnce}};
    for (const auto& m : kModes)
        if (name == m.name) {
            mode = m.mode;
            return true;
        }
    return false;
}

bool SplitPair(const char* arg, std::string& left, std::string& right)
{
    const char* eq = std::strchr(arg, '=');
    if (!eq || eq == arg || !eq[1])
        return false;
    left.assign(arg, eq);
    right.assign(eq + 1);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    CLoopbackWhoisServer server;
    int port = 0;
    struct Mode {
        std::string address;
        EWhoisServerMode mode;
    };
    std::vector<Mode> modes;
    bool any = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            port = std::atoi(argv[++i]);
            if (port < 0 || port > 65535)
                return Usage();
        } else if (arg == "--serve" && i + 1 < argc) {
            std::string address, folder;
            if (!SplitPair(argv[++i], address, folder))
                return Usage();
            server.AddAddress(address);
            server.SetAnswerFolder(address, folder);
            any = true;
        } else if (arg == "--mode" && i + 1 < argc) {
            std::string address, name;
            EWhoisServerMode mode;
            if (!SplitPair(argv[++i], address, name) || !ParseMode(name, mode))
                return Usage();
            modes.push_back({address, mode});
        } else {
            return Usage();
        }
    }
    if (!any)
        return Usage();
    for (const Mode& m : modes)
        server.SetMode(m.address, m.mode);
    if (!server.Start(port)) {
        std::fprintf(stderr, "addrscope-whoisd: cannot listen on the given addresses\n");
        return 1;
    }
    std::printf("port %d\n", server.Port());
    std::fflush(stdout);

    struct sigaction sa { };
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    while (!g_stop)
        pause();
    server.Stop();
    return 0;
}
