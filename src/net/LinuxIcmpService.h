#pragma once

#include "net/IcmpService.h"

// ICMP and ICMPv6 echo over Linux sockets: an unprivileged datagram ("ping")
// socket where net.ipv4.ping_group_range allows it (the setting serves both
// families), a raw socket otherwise.
class CLinuxIcmpService : public CIcmpService
{
public:
    enum class ESocketKind
    {
        Automatic, // ping socket first, raw socket when that is not permitted
        Datagram, // ping socket only
        Raw, // raw socket only
    };

    explicit CLinuxIcmpService(ESocketKind kind = ESocketKind::Automatic)
        : m_kind(kind)
    { }

    std::unique_ptr<CIcmpSession> Open(std::string& strError) override;
    std::unique_ptr<CIcmpSession> OpenIPv6(std::string& strError) override;

private:
    std::unique_ptr<CIcmpSession> OpenFamily(bool bIPv6, std::string& strError);

    ESocketKind m_kind;
};
