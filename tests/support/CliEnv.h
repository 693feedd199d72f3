#pragma once

#include <cstring>
#include <string>
#include <vector>

// environ comes from unistd.h.
#include <unistd.h>

// The environment a spawned addrscope-cli gets: ours with a fixed locale and time
// zone, and its own cache folder (strCacheHome), so that no run is answered from
// the answer cache of another test or of the user. A test that shares a cache
// between runs names the file in its settings ("Answer Cache").
inline std::vector<std::string> CliEnvironment(const std::string& strCacheHome)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "LC_", 3) != 0 && std::strncmp(*e, "LANG", 4) != 0 && std::strncmp(*e, "TZ=", 3) != 0 &&
            std::strncmp(*e, "XDG_CACHE_HOME=", 15) != 0)
            env.emplace_back(*e);
    env.emplace_back("LC_ALL=C");
    env.emplace_back("TZ=UTC");
    env.emplace_back("XDG_CACHE_HOME=" + strCacheHome);
    return env;
}

inline std::vector<char*> EnvPointers(std::vector<std::string>& env)
{
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    return envp;
}
