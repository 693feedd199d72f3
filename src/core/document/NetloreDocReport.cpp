// The raw whois export: every stored whois answer in a record envelope.

#include "core/document/BatchTexts.h"
#include "core/document/NetloreDoc.h"
#include "core/document/Progress.h"
#include "core/record/DateTimeText.h"

#include <string_view>

namespace {

// Appends a "%s" format with its one argument, so that the text goes in byte for
// byte whatever it holds.
void AppendFormat(std::string& out, std::string_view format, std::string_view value)
{
    const size_t at = format.find("%s");
    out.append(format.substr(0, at));
    out.append(value);
    out.append(format.substr(at + 2));
}

} // namespace

namespace {

// The stored text as it is, except that a line beginning with the envelope's own
// opening or closing marker gets one leading blank: an answer must not be able to
// end its record and forge another one in the report.
void AppendEnvelopedText(std::string& strReport, std::string_view text)
{
    static constexpr std::string_view kBegin = "<RECORD>";
    static constexpr std::string_view kEnd = "</RECORD>";
    if (text.find("RECORD>") == std::string_view::npos) {
        strReport.append(text);
        return;
    }
    size_t nLine = 0;
    while (nLine < text.size()) {
        const std::string_view rest = text.substr(nLine);
        if (rest.substr(0, kBegin.size()) == kBegin || rest.substr(0, kEnd.size()) == kEnd)
            strReport.push_back(' ');
        size_t nBreak = text.find_first_of("\r\n", nLine);
        if (nBreak == std::string_view::npos)
            nBreak = text.size();
        else if (text[nBreak] == '\r' && nBreak + 1 < text.size() && text[nBreak + 1] == '\n')
            nBreak += 2;
        else
            nBreak += 1;
        strReport.append(text.substr(nLine, nBreak - nLine));
        nLine = nBreak;
    }
}

} // namespace

int CNetloreDoc::CreateReport(const std::vector<std::string>& addresses, std::string& strReport, CProgress& progress)
{
    progress.Show(BatchTexts::kCreatingReport);
    const size_t n = addresses.size();
    // Sized up front: a large export would otherwise be copied again at every growth.
    const size_t nEnvelope = sizeof BatchTexts::kRecordBegin + sizeof BatchTexts::kRecordAddress +
                             sizeof BatchTexts::kRecordWhoisDone + sizeof BatchTexts::kRecordEnd + 64;
    size_t nExpected = strReport.size();
    for (const std::string& strAddress : addresses)
        if (const CIPAddressData* pRecord = strAddress.empty() ? nullptr : m_data.FindByIP(strAddress))
            if (pRecord->GetWhoisDone().IsValid())
                nExpected += nEnvelope + strAddress.size() + pRecord->RawWhoisView().size();
    strReport.reserve(nExpected);

    int nBlocks = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i % 5 == 0)
            progress.SetPos(int(uint64_t(i) * 100 / n));
        if (progress.PollCancel())
            break;
        const std::string& strAddress = addresses[i];
        if (strAddress.empty())
            continue;
        const CIPAddressData* pRecord = m_data.FindByIP(strAddress);
        // No record, or a lookup that never completed: nothing to export.
        if (!pRecord || !pRecord->GetWhoisDone().IsValid())
            continue;
        strReport.append(BatchTexts::kRecordBegin);
        AppendFormat(strReport, BatchTexts::kRecordAddress, strAddress);
        AppendFormat(strReport, BatchTexts::kRecordWhoisDone, FormatDateTimeText(pRecord->GetWhoisDone()));
        AppendEnvelopedText(strReport, pRecord->RawWhoisView());
        strReport.append(BatchTexts::kRecordEnd);
        ++nBlocks;
    }
    progress.Close();
    return nBlocks;
}
