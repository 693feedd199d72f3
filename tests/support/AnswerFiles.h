#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The bytes of every file below root (the recorded answers under tests/data/whois),
// in the order of their sorted paths, so that generated documents are the same every run.
inline std::vector<std::string> ReadAnswerFiles(const std::filesystem::path& root)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<std::string> answers;
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        answers.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return answers;
}
