#include "cli/TerminalProgress.h"

#include <atomic>
#include <unistd.h>

namespace {

std::atomic<bool> g_bInterrupted {false};

void OnInterrupt(int)
{
    g_bInterrupted = true;
}

constexpr int kBarCells = 30;
constexpr auto kRedrawGap = std::chrono::milliseconds(100);

} // namespace

CTerminalProgress::CTerminalProgress(FILE* pStream)
    : m_pStream(pStream)
    , m_bTerminal(pStream && isatty(fileno(pStream)))
{ }

CTerminalProgress::~CTerminalProgress()
{
    Close();
}

std::string CTerminalProgress::FormatLine(const std::string& strText, int nPos)
{
    const int pos = nPos < 0 ? 0 : nPos > 100 ? 100 : nPos;
    const int percent = pos == 100 ? 100 : pos % 100;
    std::string line;
    line.reserve(strText.size() + kBarCells + 10);
    for (char c : strText)
        line += (static_cast<unsigned char>(c) < 0x20) ? ' ' : c;
    line += " [";
    const int filled = pos * kBarCells / 100;
    line.append(size_t(filled), '#');
    line.append(size_t(kBarCells - filled), ' ');
    line += "] ";
    line += std::to_string(percent);
    line += '%';
    return line;
}

bool CTerminalProgress::Show(const std::string& strText)
{
    if (!m_bShown) {
        g_bInterrupted = false;
        struct sigaction action { };
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        m_bHandlerSet = sigaction(SIGINT, &action, &m_oldAction) == 0;
    }
    m_bShown = true;
    m_strText = strText;
    m_nPos = 0;
    Draw(true);
    return true;
}

void CTerminalProgress::SetText(const std::string& strText)
{
    if (strText != m_strText) {
        m_strText = strText;
        m_bDirty = true;
        Draw(false);
    }
}

void CTerminalProgress::SetPos(int nPos)
{
    if (nPos != m_nPos) {
        m_nPos = nPos;
        m_bDirty = true;
        Draw(false);
    }
}

bool CTerminalProgress::PollCancel()
{
    if (!g_bInterrupted.exchange(false))
        return false;
    m_bCancelled = true;
    return true;
}

void CTerminalProgress::Close()
{
    if (!m_bShown)
        return;
    if (m_bDirty)
        Draw(true);
    if (m_bTerminal && m_nLastWidth > 0) {
        std::fprintf(m_pStream, "\r%*s\r", int(m_nLastWidth), "");
        std::fflush(m_pStream);
    }
    m_nLastWidth = 0;
    if (m_bHandlerSet) {
        sigaction(SIGINT, &m_oldAction, nullptr);
        m_bHandlerSet = false;
    }
    m_bShown = false;
}

void CTerminalProgress::Draw(bool bForce)
{
    if (!m_bTerminal || !m_bShown)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!bForce && now - m_lastDraw < kRedrawGap)
        return;
    m_lastDraw = now;
    m_bDirty = false;
    const std::string line = FormatLine(m_strText, m_nPos);
    std::fprintf(m_pStream, "\r%s", line.c_str());
    if (line.size() < m_nLastWidth)
        std::fprintf(m_pStream, "%*s", int(m_nLastWidth - line.size()), "");
    std::fflush(m_pStream);
    m_nLastWidth = line.size();
}
