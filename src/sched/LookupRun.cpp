#include "sched/LookupRun.h"

#include "cache/AnswerCache.h"
#include "cache/AnswerCacheWriter.h"
#include "cache/CacheAddress.h"
#include "core/document/NetloreDoc.h"
#include "core/record/Clock.h"
#include "core/record/IPDataArray.h"
#include "facts/WhoisFacts.h"
#include "facts/WhoisFactsCache.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <utility>

namespace {

// Answers kept for the cache are written in one transaction once this many wait,
// and at every timer tick and the end of a run.
constexpr size_t kCacheBatch = 200;

// The range an answer's facts name, as the cache stores addresses.
std::optional<std::pair<CCacheAddress, CCacheAddress>> CacheRangeOf(const CWhoisFacts& facts)
{
    if (facts.m_bHasRange)
        return std::make_pair(CCacheAddress::FromIPv4(facts.m_dwRangeStart),
                              CCacheAddress::FromIPv4(facts.m_dwRangeEnd));
    if (!facts.m_range6)
        return std::nullopt;
    auto fnAddress = [](const CIPAddress& a) {
        const std::array<uint8_t, 16> bytes = a.Bytes();
        return CCacheAddress::FromBytes(6, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    };
    const auto first = fnAddress(facts.m_range6->First());
    const auto last = fnAddress(facts.m_range6->Last());
    if (!first || !last)
        return std::nullopt;
    return std::make_pair(*first, *last);
}

// Ticks in a row on which no worker thread could be started before the run gives up.
constexpr int kMaxStartFailures = 10;

CRunFinished WhoisEnd(const std::string& strAddress, const std::string& strReusedFrom,
                      ERunStatus status = ERunStatus::ok, const std::string& strReason = std::string())
{
    CRunFinished finished;
    finished.m_nKind = lookupWhois;
    finished.m_strAddress = strAddress;
    finished.m_status = status;
    finished.m_strReusedFrom = strReusedFrom;
    finished.m_strReason = strReason;
    return finished;
}

} // namespace

CLookupRun::CLookupRun(CNetloreDoc& doc, CNameResolver& resolver, CIcmpService* pIcmp, const CClock& clock,
                       CCompletionSink* pSink)
    : m_doc(doc)
    , m_clock(clock)
    , m_pSession(std::make_unique<CLookupSession>(resolver, pIcmp, clock, pSink))
    , m_fnNow([] { return SteadyClock::now(); })
    , m_progress(clock)
{
    m_lastCheckpoint = m_fnNow();
}

CLookupRun::~CLookupRun()
{
    FlushCache();
}

void CLookupRun::SetAnswerCache(CAnswerCache* pCache, bool bAnswerFromCache, CAnswerCacheWriter* pWriter)
{
    FlushCache();
    m_pCache = pCache;
    m_pCacheWriter = pCache ? pWriter : nullptr;
    m_bAnswerFromCache = bAnswerFromCache;
}

void CLookupRun::SetCheckpointCadence(int nSeconds, int nResults)
{
    m_nCheckpointSeconds = nSeconds;
    m_nCheckpointResults = nResults;
}

void CLookupRun::SetSteadyClock(std::function<SteadyClock::time_point()> fnNow)
{
    m_fnNow = std::move(fnNow);
    m_lastCheckpoint = m_fnNow();
}

// ------------------------------------------------------------------ queueing

CQueueCounts CLookupRun::Queue(const std::vector<std::string>& addresses, const CLookupChoice& choice)
{
    // A new run counts only its own lookups (a quick lookup outside a run is no part of it).
    if (!m_bRunning)
        m_bTallyDone = true;
    CQueueCounts total;
    auto fnQueue = [this](int nKind, const std::string& strAddress, uint32_t nGap) {
        const bool bQueued = m_pSession->Queue(m_doc, nKind, strAddress, nGap);
        if (bQueued && nKind == lookupWhois) {
            m_givenUp.erase(strAddress);
            m_failures.erase(strAddress);
        }
        return bQueued;
    };
    CIPDataArray& data = m_doc.GetData();
    const uint32_t nGap = m_pSession->GetSettings().m_dwRescanGap;
    const COleDateTime dtNow = m_clock.Now();
    std::vector<std::string> one(1);
    std::vector<std::string> fromCache;
    const bool bAskCache = m_pCache && m_bAnswerFromCache && choice.m_bKinds[size_t(lookupWhois)];
    for (const std::string& strAddress : addresses) {
        one[0] = strAddress;
        const bool bWaited = bAskCache && data.GetWaitingList(lookupWhois).Contains(strAddress);
        CQueueCounts counts =
            QueueChosenLookups(data, fnQueue, one, choice, nGap, dtNow, m_bReuse ? &m_reuse : nullptr, &m_progress);
        if (bAskCache && !bWaited && data.GetWaitingList(lookupWhois).Contains(strAddress) &&
            AnswerFromCache(strAddress)) {
            fromCache.push_back(strAddress);
            --counts.m_nQueued;
            ++counts.m_nFromKnownRange;
        }
        total.m_nQueued += counts.m_nQueued;
        total.m_nKept += counts.m_nKept;
        total.m_nFromKnownRange += counts.m_nFromKnownRange;
        if (counts.m_nFromKnownRange > 0 && !fromCache.empty() && fromCache.back() == strAddress) {
            ++m_nCached;
            m_doc.SetModifiedFlag();
            const CRunFinished finished = WhoisEnd(strAddress, kFromCache);
            NoteFinished(finished);
            if (m_pListener)
                m_pListener->OnAddressFinished(finished);
        } else if (counts.m_nFromKnownRange > 0) {
            ++m_nReused;
            m_doc.SetModifiedFlag();
            const CRunFinished finished = WhoisEnd(strAddress, m_reuse.GetReusedFrom(strAddress));
            NoteFinished(finished);
            if (m_pListener)
                m_pListener->OnAddressFinished(finished);
        }
    }
    if (!fromCache.empty())
        data.GetWaitingList(lookupWhois).RemoveTexts(fromCache);
    if (total.m_nFromKnownRange > 0)
        m_doc.UpdateAllViews(nullptr);
    // Answers from known ranges alone are a run too: its end sums them up.
    if (total.m_nQueued > 0 || total.m_nFromKnownRange > 0)
        m_bRunning = true;
    // A registry that shut us out is not asked again in this session.
    for (const std::string& strRegistry : std::vector<std::string>(m_deniedSaid))
        RegistryDenied(strRegistry);
    return total;
}

bool CLookupRun::QueueExplicit(int nKind, const std::string& strAddress)
{
    if (strAddress.empty() || !m_pSession->Queue(m_doc, nKind, strAddress))
        return false;
    if (!m_bRunning)
        m_bTallyDone = true;
    if (nKind == lookupWhois) {
        m_reuse.NoteExplicit(strAddress);
        m_givenUp.erase(strAddress);
        m_failures.erase(strAddress);
    }
    m_bRunning = true;
    return true;
}

void CLookupRun::OnDocumentChanged()
{
    OnDocumentSaved();
    m_reuse.Clear();
    m_givenUp.clear();
    m_failures.clear();
    m_progress.Reset();
    const CIPDataArray& data = m_doc.GetData();
    const uint32_t nGap = m_pSession->GetSettings().m_dwRescanGap;
    const COleDateTime dtNow = m_clock.Now();
    for (int i = 0; i < data.GetSize(); ++i) {
        const CIPAddressData* pRecord = data.GetAt(i);
        if (pRecord && data.HasFreshWhois(pRecord->IPAddressView(), nGap, dtNow))
            m_reuse.NoteKnownRange(pRecord->IPAddressView(), GetWhoisFacts(data, *pRecord), pRecord->GetWhoisDone());
    }
}

void CLookupRun::OnDocumentSaved()
{
    m_nUnsaved = 0;
    m_lastCheckpoint = m_fnNow();
}

// ------------------------------------------------------------------ driving

void CLookupRun::OnTimer()
{
    if (m_doc.HasPendingLookups())
        m_pSession->Tick(m_doc);
    else
        EndIfIdle();
    m_pSession->RunningWorkers();
    NotePauses();
    FlushCache();
    Checkpoint();
}

bool CLookupRun::TickIfDue()
{
    if (!m_pSession->TickIfDue(m_doc, m_fnNow()))
        return false;
    NotePauses();
    return true;
}

void CLookupRun::Complete(int nCode, CLookupJob* pJob)
{
    OnOutcome(m_pSession->Complete(&m_doc, nCode, pJob));
    Checkpoint();
}

int CLookupRun::MergeArrived(SteadyClock::time_point deadline, int nMost)
{
    const int nMerged = m_pSession->MergeArrived(
        &m_doc, deadline, [this](const CLookupOutcome& o) { OnOutcome(o); }, nMost);
    if (nMerged > 0)
        Checkpoint();
    return nMerged;
}

void CLookupRun::RunToEnd(const std::function<bool()>& fnStopAsked, std::chrono::milliseconds grace,
                          std::chrono::milliseconds slice)
{
    while (m_doc.HasPendingLookups()) {
        const auto now = m_fnNow();
        if (m_bStopAsked && !m_bCancelled && now >= m_graceEnd) {
            if (m_pListener)
                m_pListener->OnGraceOver(RunningCount());
            CancelRunning();
        }
        if (TickIfDue() && m_pSession->ConsecutiveStartFailures() >= kMaxStartFailures &&
            m_pSession->RunningWorkers() == 0 && RunningCount() == 0) {
            m_bStartFailed = true;
            m_pSession->Stop(m_doc);
            continue;
        }
        const auto deadline = m_pSession->IsStopping() ? now + slice : std::min(m_pSession->NextTick(), now + slice);
        MergeArrived(deadline);
        if (!m_bStopAsked && fnStopAsked && fnStopAsked())
            Stop(grace);
        if (m_bStopAsked)
            m_pSession->Stop(m_doc);
    }
    Finish();
    FlushCache();
    if (m_pListener)
        m_pListener->OnRunEnded();
    m_bTallyDone = true;
}

void CLookupRun::Checkpoint(bool bNow)
{
    if (m_nUnsaved == 0)
        return;
    if (!m_doc.IsModified()) {
        m_nUnsaved = 0;
        return;
    }
    const auto now = m_fnNow();
    if (!bNow && m_nUnsaved < m_nCheckpointResults &&
        now - m_lastCheckpoint < std::chrono::seconds(m_nCheckpointSeconds))
        return;
    const ECheckpoint result = m_pListener ? m_pListener->OnCheckpointDue(bNow) : ECheckpoint::written;
    switch (result) {
    case ECheckpoint::busy:
        return;
    case ECheckpoint::written:
        m_nUnsaved = 0;
        break;
    case ECheckpoint::failed:
        // Still unsaved, but the next try waits its turn instead of following every result.
        m_nUnsaved = 1;
        break;
    }
    m_lastCheckpoint = now;
}

void CLookupRun::StopAll()
{
    m_pSession->Stop(m_doc);
    m_doc.GetData().ClearAllPending();
    m_reuse.ClearWaiting();
    m_progress.Reset();
    NotePauses();
}

void CLookupRun::Stop(std::chrono::milliseconds grace)
{
    m_bStopAsked = true;
    m_graceEnd = m_fnNow() + grace;
    m_pSession->Stop(m_doc);
    m_reuse.ClearWaiting();
}

void CLookupRun::CancelRunning()
{
    m_bCancelled = true;
    m_pSession->CancelRunning();
}

void CLookupRun::Finish()
{
    m_pSession->JoinAll();
    // Every worker has reported: what they delivered is queued, so nothing is waited
    // for. (The queue waits by the real clock; the run's own may have been moved.)
    MergeArrived(SteadyClock::now());
    NotePauses();
}

// ------------------------------------------------------------------ state

int CLookupRun::NotDone(int nKind) const
{
    return m_progress.GetTotal(nKind) - m_progress.GetDone(nKind);
}

int CLookupRun::RunningCount() const
{
    int n = 0;
    for (int k = 0; k < kLookupKindCount; ++k)
        n += int(m_doc.GetData().GetRunningList(k).size());
    return n;
}

// ------------------------------------------------------------------ outcomes

void CLookupRun::OnOutcome(const CLookupOutcome& outcome)
{
    if (outcome.m_nKind < 0)
        return;
    if (outcome.m_bStored)
        ++m_nUnsaved;
    if (outcome.m_bCancelled) {
        if (!outcome.m_strLimitRegistry.empty())
            NotePauses();
        return;
    }
    if (outcome.m_bRequeued) {
        // It waits again; a neighbour's answer that came while it ran may cover it.
        if (outcome.m_nKind == lookupWhois)
            ReuseForWaiting(outcome.m_strAddress);
        if (!outcome.m_strLimitRegistry.empty())
            NotePauses();
        return;
    }
    CRunFinished finished;
    finished.m_nKind = outcome.m_nKind;
    finished.m_strAddress = outcome.m_strAddress;
    finished.m_status = outcome.m_bGaveUp   ? ERunStatus::gaveUp
                        : outcome.m_bFailed ? ERunStatus::failed
                                            : ERunStatus::ok;
    finished.m_strReason = outcome.m_strReason;
    finished.m_nEmptyAnswers = outcome.m_nEmptyAnswers;
    finished.m_bZeroByteCut = outcome.m_bZeroByteCut;
    if (outcome.m_nKind == lookupWhois) {
        if (outcome.m_bGaveUp)
            m_givenUp.insert(outcome.m_strAddress);
        else
            m_givenUp.erase(outcome.m_strAddress);
        m_reuse.ForgetReusedFrom(outcome.m_strAddress);
        if (outcome.m_bGaveUp)
            m_doc.UpdateAllViews(&outcome.m_strAddress);
    }
    Finished(finished);
    if (!outcome.m_strDeniedRegistry.empty())
        RegistryDenied(outcome.m_strDeniedRegistry);
    if (outcome.m_nKind == lookupWhois && outcome.m_bStored) {
        KeepForCache(outcome.m_strAddress);
        ReuseAnswer(outcome.m_strAddress);
    }
}

void CLookupRun::Finished(CRunFinished finished)
{
    m_progress.Finished(finished.m_nKind, finished.m_strAddress);
    NoteFinished(finished);
    if (m_pListener)
        m_pListener->OnAddressFinished(finished);
}

void CLookupRun::NoteFinished(const CRunFinished& finished)
{
    if (m_bTallyDone) {
        m_tally = CRunTally();
        m_bTallyDone = false;
    }
    m_tally.Add(finished);
    if (finished.m_nKind != lookupWhois)
        return;
    if (finished.m_status == ERunStatus::ok)
        m_failures.erase(finished.m_strAddress);
    else
        m_failures[finished.m_strAddress] = FinishedStatus(finished, ERecordStatus::kFailed);
}

const CRecordStatus* CLookupRun::FailureOf(const std::string& strAddress) const
{
    const auto it = m_failures.find(strAddress);
    return it == m_failures.end() ? nullptr : &it->second;
}

void CLookupRun::ReuseAnswer(const std::string& strAddress)
{
    if (!m_bReuse)
        return;
    CIPDataArray& data = m_doc.GetData();
    const CIPAddressData* pRecord = data.FindByIP(strAddress);
    if (!pRecord)
        return;
    const CWhoisFacts facts = GetWhoisFacts(data, *pRecord);
    const std::string strText = pRecord->GetRawWhois();
    const std::vector<std::string> answered =
        m_reuse.ApplyFinalAnswer(data, strAddress, strText, facts, pRecord->GetWhoisDone());
    if (answered.empty())
        return;
    m_nReused += int(answered.size());
    m_nUnsaved += int(answered.size());
    m_doc.SetModifiedFlag();
    m_doc.UpdateAllViews(nullptr);
    for (const std::string& strNeighbour : answered) {
        m_givenUp.erase(strNeighbour);
        Finished(WhoisEnd(strNeighbour, strAddress));
    }
}

// ------------------------------------------------------------------ answer cache

int64_t CLookupRun::UnixNow() const
{
    time_t t = 0;
    if (m_clock.Now().GetAsTimeT(t))
        return int64_t(t);
    return int64_t(std::time(nullptr));
}

bool CLookupRun::AnswerFromCache(const std::string& strAddress)
{
    const std::optional<CCacheAddress> address = CCacheAddress::Parse(strAddress);
    if (!address)
        return false;
    const CCacheLookup hit = m_pCache->Lookup(*address, UnixNow());
    if (!hit.m_strError.empty()) {
        CacheProblem(hit.m_strError);
        return false;
    }
    if (!hit.m_bFound || hit.m_answer.m_strAnswer.empty())
        return false;
    CIPDataArray& data = m_doc.GetData();
    data.SetWhoisResult(strAddress, ReHeadWhoisText(hit.m_answer.m_strAnswer, strAddress),
                        COleDateTime::FromTimeT(time_t(hit.m_answer.m_nFetched)));
    m_reuse.NoteReusedFrom(strAddress, kFromCache);
    m_progress.Finished(lookupWhois, strAddress);
    ++m_nUnsaved;
    return true;
}

void CLookupRun::KeepForCache(const std::string& strAddress)
{
    if (!m_pCache)
        return;
    const CIPDataArray& data = m_doc.GetData();
    const CIPAddressData* pRecord = data.FindByIP(strAddress);
    const std::optional<CCacheAddress> asked = CCacheAddress::Parse(strAddress);
    if (!pRecord || !asked)
        return;
    const CWhoisFacts& facts = GetWhoisFacts(data, *pRecord);
    // The rules of range reuse: a registry's own final answer whose range holds the address.
    if (!IsReusableRange(facts))
        return;
    const auto range = CacheRangeOf(facts);
    if (!range)
        return;
    CAnswerCachePut put;
    put.m_asked = *asked;
    put.m_first = range->first;
    put.m_last = range->second;
    put.m_strSource = facts.m_bFromRdap ? "rdap" : "whois";
    put.m_strServer = facts.m_strRegistry;
    put.m_strAnswer = pRecord->GetRawWhois();
    time_t tFetched = 0;
    put.m_nFetched = pRecord->GetWhoisDone().GetAsTimeT(tFetched) ? int64_t(tFetched) : UnixNow();
    put.m_bStub = facts.m_bIsRegistryStub;
    m_cachePuts.push_back(std::move(put));
    if (m_cachePuts.size() >= kCacheBatch)
        FlushCache();
}

void CLookupRun::FlushCache()
{
    if (!m_pCache || m_cachePuts.empty())
        return;
    if (m_pCacheWriter) {
        m_pCacheWriter->Post(m_cachePuts, UnixNow());
        return;
    }
    const CCachePutResult r = m_pCache->PutAll(m_cachePuts, UnixNow());
    m_cachePuts.clear();
    if (r.m_outcome == ECachePut::kFailed)
        CacheProblem(r.m_strReason);
}

void CLookupRun::CacheProblem(const std::string& strText)
{
    // Said once a run; a cache that cannot be read or written never fails a lookup.
    if (m_bCacheProblemSaid)
        return;
    m_bCacheProblemSaid = true;
    m_strCacheNotice = "Answer cache: " + strText;
}

std::string CLookupRun::TakeCacheNotice()
{
    std::string strNotice = std::move(m_strCacheNotice);
    m_strCacheNotice.clear();
    if (m_pCache && strNotice.empty())
        strNotice = m_pCache->TakeNotice();
    if (m_pCacheWriter && strNotice.empty()) {
        if (std::string strWriter = m_pCacheWriter->TakeNotice(); !strWriter.empty())
            strNotice = "Answer cache: " + strWriter;
    }
    return strNotice;
}

void CLookupRun::ReuseForWaiting(const std::string& strAddress)
{
    if (!m_bReuse)
        return;
    CIPDataArray& data = m_doc.GetData();
    const std::string strFrom =
        m_reuse.AnswerFromKnownRange(data, strAddress, m_pSession->GetSettings().m_dwRescanGap, m_clock.Now());
    if (strFrom.empty()) {
        m_reuse.NoteWaiting(strAddress);
        return;
    }
    data.GetWaitingList(lookupWhois).RemoveTexts({strAddress});
    ++m_nReused;
    ++m_nUnsaved;
    m_doc.SetModifiedFlag();
    m_doc.UpdateAllViews(&strAddress);
    Finished(WhoisEnd(strAddress, strFrom));
}

void CLookupRun::RegistryDenied(const std::string& strRegistry)
{
    const std::string strReason = CLookupSession::DeniedReason(strRegistry);
    if (std::find(m_deniedSaid.begin(), m_deniedSaid.end(), strRegistry) == m_deniedSaid.end()) {
        m_deniedSaid.push_back(strRegistry);
        if (m_pListener)
            m_pListener->OnRegistryDenied(strRegistry, strReason);
    }
    // Its other waiting addresses end here too, each with the reason.
    for (const std::string& strAddress : m_pSession->FailWaitingOf(m_doc, strRegistry)) {
        m_reuse.ForgetReusedFrom(strAddress);
        Finished(WhoisEnd(strAddress, std::string(), ERunStatus::failed,
                          std::string(LookupFailureToken(ELookupFailure::kRegistryRefused))));
    }
}

void CLookupRun::NotePauses()
{
    const std::string strNow = m_pSession->BackoffText();
    if (strNow == m_strPauses)
        return;
    m_strPauses = strNow;
    if (m_pListener)
        m_pListener->OnPauseChanged(m_strPauses);
}

void CLookupRun::EndIfIdle()
{
    m_progress.Reset();
    if (!m_bRunning)
        return;
    m_bRunning = false;
    m_bStopAsked = false;
    m_bCancelled = false;
    m_graceEnd = SteadyClock::time_point::max();
    if (m_pListener)
        m_pListener->OnRunEnded();
    m_bTallyDone = true;
}
