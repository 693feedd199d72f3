#pragma once

#include "net/IcmpService.h"
#include "net/IcmpStatus.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// What the fake answers to one request.
struct CFakeEchoOutcome {
    int m_nReplies = 0;
    CIcmpEchoReply m_reply;
    uint32_t m_dwStatus = kIpRequestTimedOut; // when there is no reply

    static CFakeEchoOutcome Reply(uint32_t dwFrom, uint32_t dwStatus, uint32_t dwMilliseconds)
    {
        CFakeEchoOutcome o;
        o.m_nReplies = 1;
        o.m_reply = CIcmpEchoReply {dwFrom, dwStatus, dwMilliseconds};
        return o;
    }
    static CFakeEchoOutcome Reply6(const CIPAddress& from, uint32_t dwStatus, uint32_t dwMilliseconds)
    {
        CFakeEchoOutcome o = Reply(0, dwStatus, dwMilliseconds);
        o.m_reply.m_address6 = from;
        return o;
    }
    static CFakeEchoOutcome NoReply(uint32_t dwStatus = kIpRequestTimedOut)
    {
        CFakeEchoOutcome o;
        o.m_dwStatus = dwStatus;
        return o;
    }
};

// A request as the fake received it, data copied.
struct CFakeEchoRequest {
    uint32_t m_dwAddress = 0;
    int m_nTtl = 0;
    std::vector<uint8_t> m_data;
    uint32_t m_dwTimeout = 0;
    CIPAddress m_address6; // an IPv6 target (through an IPv6 session)
    bool m_bIPv6Session = false;
};

// An ICMP service with scripted answers: a queue of outcomes, or a responder that
// decides from the request (a route for traces). Without either, every request
// times out. Records every request; safe to share between threads.
class CFakeIcmpService : public CIcmpService
{
public:
    using Responder = std::function<CFakeEchoOutcome(const CFakeEchoRequest&)>;

    void FailOpen(const std::string& strMessage)
    {
        std::lock_guard lock(m_mutex);
        m_bFailOpen = true;
        m_strOpenError = strMessage;
    }
    void Queue(const CFakeEchoOutcome& outcome)
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(outcome);
    }
    void SetResponder(Responder responder)
    {
        std::lock_guard lock(m_mutex);
        m_responder = std::move(responder);
    }
    std::vector<CFakeEchoRequest> Requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    int Opens() const
    {
        std::lock_guard lock(m_mutex);
        return m_nOpens;
    }

    std::unique_ptr<CIcmpSession> Open(std::string& strError) override { return OpenFamily(false, strError); }
    std::unique_ptr<CIcmpSession> OpenIPv6(std::string& strError) override { return OpenFamily(true, strError); }

private:
    class CSession : public CIcmpSession
    {
    public:
        CSession(CFakeIcmpService& owner, bool bIPv6)
            : m_owner(owner)
            , m_bIPv6(bIPv6)
        { }
        int SendEcho(const CIcmpEchoRequest& request, CIcmpEchoReply& reply, uint32_t& dwStatus) override
        {
            CFakeEchoRequest sent;
            sent.m_dwAddress = request.m_dwAddress;
            sent.m_nTtl = request.m_nTtl;
            sent.m_data.assign(request.m_pData, request.m_pData + request.m_nDataSize);
            sent.m_dwTimeout = request.m_dwTimeout;
            sent.m_address6 = request.m_address6;
            sent.m_bIPv6Session = m_bIPv6;
            const CFakeEchoOutcome outcome = m_owner.Answer(sent);
            if (outcome.m_nReplies > 0)
                reply = outcome.m_reply;
            else
                dwStatus = outcome.m_dwStatus;
            return outcome.m_nReplies;
        }

    private:
        CFakeIcmpService& m_owner;
        bool m_bIPv6;
    };

    std::unique_ptr<CIcmpSession> OpenFamily(bool bIPv6, std::string& strError)
    {
        std::lock_guard lock(m_mutex);
        ++m_nOpens;
        if (m_bFailOpen) {
            strError = m_strOpenError;
            return nullptr;
        }
        return std::make_unique<CSession>(*this, bIPv6);
    }

    CFakeEchoOutcome Answer(const CFakeEchoRequest& sent)
    {
        Responder responder;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(sent);
            if (!m_queue.empty()) {
                CFakeEchoOutcome o = m_queue.front();
                m_queue.pop_front();
                return o;
            }
            responder = m_responder;
        }
        return responder ? responder(sent) : CFakeEchoOutcome::NoReply();
    }

    mutable std::mutex m_mutex;
    bool m_bFailOpen = false;
    std::string m_strOpenError;
    std::deque<CFakeEchoOutcome> m_queue;
    Responder m_responder;
    std::vector<CFakeEchoRequest> m_requests;
    int m_nOpens = 0;
};
