#include "ui/frame/FilePrompt.h"

#include "io/IoTexts.h"

#include <gtest/gtest.h>

// The import prompt's filter, as Qt's dialog matches it: "all files" is every file
// (access_log has no dot), and the log filter takes rotated and underscore-named logs.
TEST(FilePrompt, WindowsPatternsBecomeQtPatternsThatFindEveryLog)
{
    EXPECT_EQ(CFilePrompt::QtFilter(IoTexts::kImportPromptFilter).toStdString(),
              "text files (*.txt);;log files (*.log *_log *.log.*);;gzip files (*.gz);;all files (*)");
    EXPECT_EQ(CFilePrompt::QtFilter("Quaddle Files (*.qdl)|*.qdl;*.qdl.bak|Plain|*.txt||").toStdString(),
              "Quaddle Files (*.qdl *.qdl.bak);;Plain (*.txt)");
}
