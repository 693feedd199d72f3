#include "core/RecoveryFile.h"

#include "core/Archive.h"
#include "core/AtomicFile.h"
#include "core/NetloreDoc.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool EndsWith(const std::string& str, const std::string& strEnd)
{
    return str.size() >= strEnd.size() && str.compare(str.size() - strEnd.size(), strEnd.size(), strEnd) == 0;
}

} // namespace

std::string CRecoveryFile::DocumentOf(const std::string& strRecoveryPath)
{
    const std::string strSuffix(kSuffix);
    if (strRecoveryPath.size() <= strSuffix.size() || !EndsWith(strRecoveryPath, strSuffix))
        return std::string();
    return strRecoveryPath.substr(0, strRecoveryPath.size() - strSuffix.size());
}

bool CRecoveryFile::IsUntitledDocument(const std::string& strDocPath)
{
    const std::string strName = fs::path(strDocPath).filename().string();
    return strName.rfind(kUntitledPrefix, 0) == 0 && EndsWith(strName, ".qdl");
}

std::vector<std::string> CRecoveryFile::FindUntitled(const std::string& strFolder)
{
    std::vector<std::string> found;
    if (strFolder.empty())
        return found;
    std::error_code ec;
    for (fs::directory_iterator it(strFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string strPath = it->path().string();
        const std::string strDoc = DocumentOf(strPath);
        if (!strDoc.empty() && IsUntitledDocument(strDoc) && it->is_regular_file(ec))
            found.push_back(strPath);
    }
    std::sort(found.begin(), found.end());
    return found;
}

void CRecoveryFile::Reset(const std::string& strDocPath)
{
    Remove();
    m_strDocPath = strDocPath;
}

void CRecoveryFile::Adopt(const std::string& strRecoveryPath, std::unique_ptr<CDocumentLock> pLock)
{
    m_strPath = strRecoveryPath;
    m_pUntitledLock = std::move(pLock);
}

void CRecoveryFile::Remove()
{
    if (!m_strPath.empty())
        ::unlink(m_strPath.c_str());
    m_strPath.clear();
    // Releasing removes the untitled document's lock file too.
    m_pUntitledLock.reset();
}

bool CRecoveryFile::ChooseUntitledPath(std::string& strError)
{
    if (m_strFolder.empty())
        return false;
    std::error_code ec;
    fs::create_directories(m_strFolder, ec);
    // A leftover of an earlier run with the same process id keeps its name: it
    // waits to be offered, and is never written over.
    const std::string strStem = m_strFolder + "/" + kUntitledPrefix + std::to_string(::getpid()) + "-";
    for (int n = 1; n <= 100; ++n) {
        const std::string strDoc = strStem + std::to_string(n) + ".qdl";
        std::error_code ecExists;
        if (fs::exists(PathFor(strDoc), ecExists) || fs::exists(CDocumentLock::LockPathFor(strDoc), ecExists))
            continue;
        auto pLock = std::make_unique<CDocumentLock>();
        const CDocumentLock::EResult result = pLock->Acquire(strDoc);
        if (result == CDocumentLock::failed) {
            strError = CDocumentLock::LockPathFor(strDoc) + ": " + pLock->Error();
            return false;
        }
        if (result == CDocumentLock::acquired) {
            m_pUntitledLock = std::move(pLock);
            m_strPath = PathFor(strDoc);
            return true;
        }
    }
    strError = m_strFolder + ": no free name for a recovery file";
    return false;
}

bool CRecoveryFile::Write(CNetloreDoc& doc, std::string& strError)
{
    strError.clear();
    if (m_strPath.empty()) {
        if (!m_strDocPath.empty())
            m_strPath = PathFor(m_strDocPath);
        else if (!ChooseUntitledPath(strError))
            return false;
    }
    CAtomicFile file;
    bool bOk = file.Open(m_strPath);
    if (bOk) {
        CArchive ar(file);
        doc.Serialize(ar);
        bOk = ar.Flush() && file.Commit();
    }
    if (!bOk)
        strError = file.GetError().empty() ? m_strPath + ": write error" : file.GetError();
    return bOk;
}
