// Writes a synthetic Apache combined-format access log, plain and gzip, for the
// import benchmarks: visitors come in sessions of a few requests from one
// address, every address of the pool appears at least once, about 5% of the
// requests get a 404 and a sprinkling are worm and FrontPage probes.
//
//   gen_weblog OUT.log [LINES=1000000] [ADDRESSES=50000] [IPV6_PERCENT=0]
// writes OUT.log and OUT.log.gz. IPV6_PERCENT of the addresses are IPv6 clients,
// written as servers log them (RFC 5952 text, full 64-bit interface identifiers
// under a few dozen provider prefixes).

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// xorshift64*: fast and the same on every machine, so runs are comparable.
class CRandom
{
public:
    explicit CRandom(uint64_t seed)
        : m_state(seed)
    { }
    uint64_t Next()
    {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 2685821657736338717ull;
    }
    uint32_t Below(uint32_t n) { return uint32_t(Next() % n); }

private:
    uint64_t m_state;
};

const char* const kPages[] = {
    "/",
    "/index.html",
    "/about/",
    "/blog/2026/11/why-whois-still-matters.html",
    "/css/site.css",
    "/js/app.min.js",
    "/images/logo.png",
    "/favicon.ico",
    "/downloads/addrscope-1.2.tar.gz",
    "/search?q=ip+whois&page=2",
    "/feed.xml",
    "/contact.php",
    "/private/report.pdf",
    "/docs/manual.html#import",
};
const char* const kMissing[] = {
    "/wp-login.php",
    "/old/page.html",
    "/images/missing-banner.gif",
    "/robots.txt",
    "/administrator/index.php",
    "/apple-touch-icon.png",
    "/blog/2019/gone.html?ref=mail",
};
const char* const kProbes[] = {
    "GET /default.ida?NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN%u9090%u6858 HTTP/1.0",
    "GET /scripts/root.exe?/c+dir HTTP/1.0",
    "GET /_vti_inf.html HTTP/1.0",
    "GET /_vti_bin/owssvr.dll?UL=1&ACT=4&BUILD=5606&STRMVER=4&CAPREQ=0 HTTP/1.1",
    "GET /MSOffice/cltreq.asp?UL=1&ACT=4&BUILD=5606&STRMVER=4&CAPREQ=0 HTTP/1.1",
};
const char* const kReferrers[] = {
    "-",
    "https://www.example.com/",
    "https://search.example.net/?q=addrscope",
    "https://news.example.org/item?id=4711",
};
const char* const kAgents[] = {
    "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0.0.0 Safari/537.36",
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:121.0) Gecko/20100101 Firefox/121.0",
    "Mozilla/5.0 (iPhone; CPU iPhone OS 17_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.1 "
    "Mobile/15E148 Safari/604.1",
    "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
    "curl/7.88.1",
};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

template <class T, size_t N> constexpr uint32_t Count(const T (&)[N])
{
    return uint32_t(N);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: gen_weblog OUT.log [LINES=1000000] [ADDRESSES=50000] [IPV6_PERCENT=0]\n");
        return 2;
    }
    const std::string path = argv[1];
    const uint64_t lines = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1000000;
    const uint32_t addresses = argc > 3 ? uint32_t(std::strtoul(argv[3], nullptr, 10)) : 50000;
    const uint32_t ipv6Percent = argc > 4 ? uint32_t(std::strtoul(argv[4], nullptr, 10)) : 0;
    if (lines == 0 || addresses == 0 || ipv6Percent > 100) {
        std::fprintf(stderr, "gen_weblog: LINES and ADDRESSES must be positive, IPV6_PERCENT at most 100\n");
        return 2;
    }

    CRandom random(0x5eed2026);
    // Distinct addresses spread over public-looking space.
    std::vector<std::string> pool;
    pool.reserve(addresses);
    const uint32_t ipv6Clients = uint32_t(uint64_t(addresses) * ipv6Percent / 100);
    CRandom ipv6Random(0x1b6c11e7);
    for (uint32_t i = 0; i < addresses; ++i) {
        // Every k-th address is IPv6, spread evenly over the pool.
        if (ipv6Clients > 0 && uint64_t(i) * ipv6Clients / addresses != uint64_t(i + 1) * ipv6Clients / addresses) {
            // No group is zero, so the text is already the canonical one.
            const uint64_t iid = ipv6Random.Next();
            char sz[48];
            std::snprintf(sz, sizeof sz, "2a0%x:%x:%x:%x:%x:%x:%x:%x", 1 + (i & 7), 0x100 + (i >> 3) % 40,
                          1 + (i >> 6 & 0xfff), 1 + (i & 0x3f), unsigned(iid >> 48) | 1,
                          unsigned(iid >> 32 & 0xffff) | 1, unsigned(iid >> 16 & 0xffff) | 1,
                          unsigned(iid & 0xffff) | 1);
            pool.push_back(sz);
            continue;
        }
        const uint32_t a = 11 + (i * 2654435761u >> 8) % 212; // 11..222
        pool.push_back(std::to_string(a) + "." + std::to_string((i >> 16) & 255) + "." +
                       std::to_string((i >> 8) & 255) + "." + std::to_string(i & 255));
    }
    // Every address once, in shuffled order, before sessions pick at random.
    std::vector<uint32_t> order(addresses);
    for (uint32_t i = 0; i < addresses; ++i)
        order[i] = i;
    for (uint32_t i = addresses - 1; i > 0; --i)
        std::swap(order[i], order[random.Below(i + 1)]);

    FILE* plain = std::fopen(path.c_str(), "wb");
    gzFile gz = gzopen((path + ".gz").c_str(), "wb6");
    if (!plain || !gz) {
        std::fprintf(stderr, "gen_weblog: cannot create %s or %s.gz\n", path.c_str(), path.c_str());
        return 1;
    }
    gzbuffer(gz, 1u << 18);

    std::string buffer;
    buffer.reserve(1u << 21);
    uint64_t written = 0, bytes = 0, notFound = 0, probes = 0;
    uint64_t session = 0;
    int64_t seconds = 0;
    char line[1024];
    while (written < lines) {
        const uint32_t client = session < addresses ? order[session] : random.Below(addresses);
        ++session;
        const uint32_t requests = 1 + random.Below(8);
        const char* agent = kAgents[random.Below(Count(kAgents))];
        for (uint32_t r = 0; r < requests && written < lines; ++r, ++written) {
            seconds += random.Below(3);
            const int64_t day = 1 + seconds / 86400 % 28;
            const int64_t hms = seconds % 86400;
            std::string request;
            int status = 200;
            const uint32_t roll = random.Below(1000);
            if (roll < 3) {
                request = kProbes[random.Below(Count(kProbes))];
                status = 404;
                ++probes;
            } else if (roll < 53) {
                request = std::string("GET ") + kMissing[random.Below(Count(kMissing))] + " HTTP/1.1";
                status = 404;
            } else {
                request = std::string(random.Below(20) == 0 ? "POST " : "GET ") + kPages[random.Below(Count(kPages))] +
                          " HTTP/1.1";
                status = random.Below(10) == 0 ? 304 : 200;
            }
            if (status == 404)
                ++notFound;
            const int len = std::snprintf(
                line, sizeof line, "%s - - [%02d/%s/2026:%02d:%02d:%02d +0000] \"%s\" %d %u \"%s\" \"%s\"\n",
                pool[client].c_str(), int(day), kMonths[11], int(hms / 3600), int(hms / 60 % 60), int(hms % 60),
                request.c_str(), status, status == 304 ? 0u : 200 + random.Below(50000),
                kReferrers[random.Below(Count(kReferrers))], agent);
            buffer.append(line, size_t(len));
        }
        if (buffer.size() > (1u << 20)) {
            std::fwrite(buffer.data(), 1, buffer.size(), plain);
            gzwrite(gz, buffer.data(), unsigned(buffer.size()));
            bytes += buffer.size();
            buffer.clear();
        }
    }
    std::fwrite(buffer.data(), 1, buffer.size(), plain);
    gzwrite(gz, buffer.data(), unsigned(buffer.size()));
    bytes += buffer.size();
    const bool ok = std::fclose(plain) == 0 && gzclose(gz) == Z_OK;
    std::printf("%s: %llu lines, %llu bytes, %u addresses, %llu 404s (%llu probes)\n", path.c_str(),
                (unsigned long long)written, (unsigned long long)bytes,
                std::min<uint32_t>(addresses, uint32_t(session)), (unsigned long long)notFound,
                (unsigned long long)probes);
    return ok ? 0 : 1;
}
