#include "core/document/RecoveryFile.h"

#include "core/document/Archive.h"
#include "core/document/ArchiveIo.h"
#include "core/document/AtomicFile.h"
#include "core/document/NetloreDoc.h"

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

CRecoveryFile::~CRecoveryFile()
{
    WaitForWrite();
}

void CRecoveryFile::Reset(const std::string& strDocPath)
{
    Remove();
    m_strDocPath = strDocPath;
}

void CRecoveryFile::Adopt(const std::string& strRecoveryPath, std::unique_ptr<CDocumentLock> pLock)
{
    WaitForWrite();
    m_bResultPending = false;
    m_strPath = strRecoveryPath;
    m_pUntitledLock = std::move(pLock);
}

void CRecoveryFile::Remove()
{
    // A write still going would bring the file back.
    WaitForWrite();
    m_bResultPending = false;
    m_pieces.clear();
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

bool CRecoveryFile::ChoosePath(std::string& strError)
{
    strError.clear();
    if (!m_strPath.empty())
        return true;
    if (!m_strDocPath.empty()) {
        m_strPath = PathFor(m_strDocPath);
        return true;
    }
    return ChooseUntitledPath(strError);
}

bool CRecoveryFile::Write(CNetloreDoc& doc, std::string& strError)
{
    WaitForWrite();
    if (!ChoosePath(strError))
        return false;
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

namespace {

// Keeps the bytes in pieces of 1 MiB.
class CPiecesSink : public CByteSink
{
public:
    static constexpr size_t kPiece = size_t(1) << 20;

    explicit CPiecesSink(std::vector<std::string>& pieces)
        : m_pieces(pieces)
    {
        m_pieces.clear();
    }
    bool Write(const char* pData, size_t nSize) override
    {
        while (nSize > 0) {
            if (m_pieces.empty() || m_pieces.back().size() == kPiece) {
                m_pieces.emplace_back();
                m_pieces.back().reserve(kPiece);
            }
            std::string& piece = m_pieces.back();
            const size_t n = std::min(nSize, kPiece - piece.size());
            piece.append(pData, n);
            pData += n;
            nSize -= n;
        }
        return true;
    }

private:
    std::vector<std::string>& m_pieces;
};

} // namespace

bool CRecoveryFile::StartWrite(CNetloreDoc& doc, std::string& strError)
{
    strError.clear();
    if (IsWriting())
        return false;
    WaitForWrite();
    if (!ChoosePath(strError))
        return false;
    {
        CPiecesSink sink(m_pieces);
        CArchive ar(sink);
        doc.Serialize(ar);
        if (!ar.Flush()) {
            strError = m_strPath + ": write error";
            return false;
        }
    }
    m_bWriteEnded.store(false, std::memory_order_relaxed);
    m_bResultPending = true;
    m_writer = std::thread([this, strPath = m_strPath] {
        CAtomicFile file;
        bool bOk = file.Open(strPath);
        for (size_t i = 0; bOk && i < m_pieces.size(); ++i)
            bOk = file.Write(m_pieces[i].data(), m_pieces[i].size());
        bOk = bOk && file.Commit();
        m_bWriteOk = bOk;
        m_strWriteError = bOk ? std::string() : file.GetError().empty() ? strPath + ": write error" : file.GetError();
        m_bWriteEnded.store(true, std::memory_order_release);
    });
    return true;
}

CRecoveryFile::EWrite CRecoveryFile::TakeWriteResult(std::string& strError)
{
    strError.clear();
    if (!m_bResultPending)
        return EWrite::kNone;
    if (IsWriting())
        return EWrite::kWriting;
    WaitForWrite();
    m_bResultPending = false;
    if (m_bWriteOk)
        return EWrite::kWritten;
    strError = m_strWriteError;
    return EWrite::kFailed;
}

void CRecoveryFile::WaitForWrite()
{
    if (m_writer.joinable())
        m_writer.join();
}
