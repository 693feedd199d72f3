#pragma once

#include "cli/CliCommand.h"

#include <cstdio>
#include <string>
#include <string_view>

// Text from outside (whois answers, addresses and texts from documents and logs)
// with its control characters shown as \xNN, so it cannot move the cursor, retitle
// the window or replay keys on a terminal. TAB and LF stay, and so does a CR right
// before an LF (a whois line end); every other C0 control, DEL and every C1 control
// (U+0080..U+009F, and bytes 0x80..0x9F outside valid UTF-8) is shown.
std::string TerminalSafe(std::string_view text);

bool IsTerminal(FILE* pStream);

// Writes text from outside to a result stream: shown safely on a terminal, the
// bytes unchanged into a pipe or file.
void CliWriteUntrusted(FILE* pStream, std::string_view text);

// Writes the bytes and flushes them; a failure (a closed pipe, a full disk) asks
// the running command to stop and save, as a stop signal does.
bool CliWriteFlushed(FILE* pStream, std::string_view text);

// "addrscope-cli COMMAND: message" on standard error, always made safe (a
// diagnostic line stays one line, wherever it goes). Nothing with -q when bQuiet.
void CliMessage(const CCliContext& ctx, const char* pszCommand, const std::string& strMessage);

// The system's reason for an error number.
std::string SystemReason(int nErrno);
