// A checkpoint written in the background holds the document as it stood when the
// checkpoint began, whatever the window does to the document meanwhile.

#include "core/document/RecoveryFile.h"

#include "core/document/NetloreDoc.h"
#include "core/record/DottedQuad.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

int RecordsIn(const std::string& strPath)
{
    CNetloreDoc doc;
    if (!doc.OnOpenDocument(strPath, [](const std::string&) {}))
        return -1;
    return doc.GetData().GetSize();
}

} // namespace

TEST(RecoveryFileThreadedTest, BackgroundWritesKeepTheirMomentAndReportTheirEnd)
{
    CTempDir dir;
    const std::string strDoc = dir.File("doc.qdl");
    CNetloreDoc doc;
    for (uint32_t i = 0; i < 20000; ++i)
        doc.AddIP(FormatDottedQuad(0x0A000000u + i));

    CRecoveryFile recovery;
    recovery.Reset(strDoc);
    std::string strError;
    EXPECT_EQ(recovery.TakeWriteResult(strError), CRecoveryFile::EWrite::kNone);
    ASSERT_TRUE(recovery.StartWrite(doc, strError)) << strError;
    // The window goes on changing the document while the file is written.
    for (uint32_t i = 0; i < 5000; ++i)
        doc.AddIP(FormatDottedQuad(0x0B000000u + i));
    // One write at a time: a second checkpoint waits for the first.
    if (recovery.IsWriting()) {
        EXPECT_FALSE(recovery.StartWrite(doc, strError));
        EXPECT_TRUE(strError.empty());
    }
    recovery.WaitForWrite();
    EXPECT_EQ(recovery.TakeWriteResult(strError), CRecoveryFile::EWrite::kWritten);
    EXPECT_EQ(recovery.TakeWriteResult(strError), CRecoveryFile::EWrite::kNone) << "said once";
    EXPECT_EQ(RecordsIn(strDoc + CRecoveryFile::kSuffix), 20000);

    // The next checkpoint has the later records.
    ASSERT_TRUE(recovery.StartWrite(doc, strError)) << strError;
    recovery.WaitForWrite();
    EXPECT_EQ(recovery.TakeWriteResult(strError), CRecoveryFile::EWrite::kWritten);
    EXPECT_EQ(RecordsIn(strDoc + CRecoveryFile::kSuffix), 25000);

    // Removing waits for a write still going, so the file does not come back.
    ASSERT_TRUE(recovery.StartWrite(doc, strError)) << strError;
    recovery.Remove();
    EXPECT_FALSE(std::filesystem::exists(strDoc + CRecoveryFile::kSuffix));
    EXPECT_EQ(recovery.TakeWriteResult(strError), CRecoveryFile::EWrite::kNone);

    // A failure names the file and the reason, once.
    std::filesystem::create_directory(dir.File("other.qdl") + CRecoveryFile::kSuffix);
    recovery.Reset(dir.File("other.qdl"));
    ASSERT_TRUE(recovery.StartWrite(doc, strError)) << strError;
    recovery.WaitForWrite();
    EXPECT_EQ(recovery.TakeWriteResult(strError), CRecoveryFile::EWrite::kFailed);
    EXPECT_NE(strError.find(dir.File("other.qdl") + CRecoveryFile::kSuffix), std::string::npos) << strError;
}
