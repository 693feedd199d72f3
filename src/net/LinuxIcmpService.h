#pragma once

#include "net/IcmpService.h"

// ICMP echo over Linux sockets: an unprivileged ICMP datagram ("ping") socket
// where net.ipv4.ping_group_range allows it, a raw ICMP socket otherwise.
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

private:
    ESocketKind m_kind;
};
