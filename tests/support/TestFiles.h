#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

// A fresh folder under the system's temporary folder, removed with the object.
class CTempDir
{
public:
    CTempDir()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "addrscope-test-XXXXXX").string();
        if (!mkdtemp(templ.data()))
            std::abort();
        m_path = templ;
    }
    ~CTempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// A fixture from tests/data.
inline std::string TestDataPath(const std::string& relative)
{
    return std::string(ADDRSCOPE_TEST_DATA) + "/" + relative;
}

// A settings file in dir (empty unless it exists already): --settings must name an
// existing file.
inline std::string SettingsFile(const CTempDir& dir, const std::string& name = "s.ini")
{
    const std::string path = dir.File(name);
    if (access(path.c_str(), F_OK) != 0)
        WriteFileBytes(path, "");
    return path;
}
