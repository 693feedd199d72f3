#include "cli/CliOutput.h"

#include "cli/StopSignals.h"

#include <cstring>
#include <unistd.h>

std::string TerminalSafe(std::string_view text)
{
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = (unsigned char)text[i];
        const bool bLineEndCr = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        if ((c < 0x20 && c != '\t' && c != '\n' && !bLineEndCr) || c == 0x7f) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

bool IsTerminal(FILE* pStream)
{
    return pStream && ::isatty(::fileno(pStream)) != 0;
}

void CliWriteUntrusted(FILE* pStream, std::string_view text)
{
    if (IsTerminal(pStream)) {
        const std::string safe = TerminalSafe(text);
        std::fwrite(safe.data(), 1, safe.size(), pStream);
    } else {
        std::fwrite(text.data(), 1, text.size(), pStream);
    }
}

bool CliWriteFlushed(FILE* pStream, std::string_view text)
{
    const bool bOk = std::fwrite(text.data(), 1, text.size(), pStream) == text.size() && std::fflush(pStream) == 0;
    if (!bOk)
        CStopSignals::NoteOutputFailed();
    return bOk;
}

void CliMessage(const CCliContext& ctx, const char* pszCommand, const std::string& strMessage)
{
    std::string line = "addrscope-cli";
    if (pszCommand && *pszCommand)
        line += std::string(" ") + pszCommand;
    line += ": " + TerminalSafe(strMessage) + "\n";
    std::fwrite(line.data(), 1, line.size(), ctx.err);
    std::fflush(ctx.err);
}

std::string SystemReason(int nErrno)
{
    return std::strerror(nErrno);
}
