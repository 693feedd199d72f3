#include "cli/CliOutput.h"

#include "cli/StopSignals.h"
#include "core/text/Utf8Text.h"

#include <cstdint>
#include <cstring>
#include <unistd.h>

namespace {

void AppendHex(std::string& out, unsigned char c)
{
    static const char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

} // namespace

std::string TerminalSafe(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = (unsigned char)text[i];
        if (c >= 0x80) {
            // C1 controls (U+0080..U+009F, or such a byte outside UTF-8) act as
            // escape sequences on terminals that honour them: CSI is 0x9b.
            const size_t n = Utf8SequenceAt(text, i);
            if (n == 0) {
                if (c <= 0x9f)
                    AppendHex(out, c);
                else
                    out += char(c);
            } else if (n == 2 && c == 0xc2 && (unsigned char)text[i + 1] <= 0x9f) {
                AppendHex(out, c);
                AppendHex(out, (unsigned char)text[i + 1]);
                ++i;
            } else {
                out.append(text.substr(i, n));
                i += n - 1;
            }
            continue;
        }
        const bool bLineEndCr = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        if ((c < 0x20 && c != '\t' && c != '\n' && !bLineEndCr) || c == 0x7f)
            AppendHex(out, c);
        else
            out += char(c);
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
