#include "core/document/Archive.h"

#include "support/ArchiveBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Written(void (*fn)(CArchive&))
{
    CStringByteSink sink;
    CArchive ar(sink);
    fn(ar);
    EXPECT_TRUE(ar.Flush());
    return sink.Bytes();
}

struct Reader {
    explicit Reader(std::string b)
        : data(std::move(b))
        , source(data)
        , ar(source, "/x/doc.qdl", [this](const std::string& m) { messages.push_back(m); })
    { }
    std::string data;
    CMemoryByteSource source;
    std::vector<std::string> messages;
    CArchive ar;
};

std::string ReadOne(const std::string& data, CArchiveException::Cause* pCause = nullptr)
{
    Reader r(data);
    std::string s = "unchanged";
    try {
        r.ar.ReadString(s);
    } catch (const CArchiveException& e) {
        if (pCause)
            *pCause = e.GetCause();
        return "<error>";
    }
    return s;
}

} // namespace

TEST(Archive, StringLengthPrefixes)
{
    CStringByteSink sink;
    CArchive ar(sink);
    for (uint64_t n : {0ull, 254ull, 255ull, 65533ull, 65534ull, 0xFFFFFFFEull, 0xFFFFFFFFull, 0x123456789ull})
        ar.WriteStringLength(n);
    ASSERT_TRUE(ar.Flush());
    const std::string expected = std::string("\x00", 1) + "\xFE" + "\xFF" + bytes::U16(255) + "\xFF" +
                                 bytes::U16(65533) + "\xFF\xFF\xFF" + bytes::U32(65534) + "\xFF\xFF\xFF" +
                                 bytes::U32(0xFFFFFFFEu) + "\xFF\xFF\xFF\xFF\xFF\xFF\xFF" + bytes::U64(0xFFFFFFFFull) +
                                 "\xFF\xFF\xFF\xFF\xFF\xFF\xFF" + bytes::U64(0x123456789ull);
    EXPECT_EQ(sink.Bytes(), expected);
}

TEST(Archive, ThreeHundredCharacterTextHasPrefixFF2C01)
{
    const std::string s = Written([](CArchive& ar) { ar.WriteString(std::string(300, 'x')); });
    ASSERT_EQ(s.size(), 303u);
    EXPECT_EQ(s.substr(0, 3), "\xFF\x2C\x01");
}

TEST(Archive, ReadsEveryPrefixForm)
{
    EXPECT_EQ(ReadOne("\x03"
                      "abc"),
              "abc");
    EXPECT_EQ(ReadOne(std::string("\xFF") + bytes::U16(3) + "abc"), "abc");
    EXPECT_EQ(ReadOne(std::string("\xFF\xFF\xFF") + bytes::U32(3) + "abc"), "abc");
    EXPECT_EQ(ReadOne(std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF") + bytes::U64(3) + "abc"), "abc");
    EXPECT_EQ(ReadOne(std::string(1, '\0')), "");
}

TEST(Archive, ReadsUtf16AsSingleBytes)
{
    // FF FE FF marks UTF-16LE; the count is in 16-bit units. Latin-1 code points keep
    // their byte, others become '?', a surrogate pair one '?'.
    const std::string utf16 = std::string("A\0\xE9\0\x20\x20\x3D\xD8\x00\xDE"
                                          "z\0",
                                          12);
    EXPECT_EQ(ReadOne(std::string("\xFF\xFE\xFF\x06", 4) + utf16), "A\xE9??z");
    // The two-byte form after the marker.
    EXPECT_EQ(ReadOne(std::string("\xFF\xFE\xFF\xFF", 4) + bytes::U16(1) + std::string("b\0", 2)), "b");
    // A count of units whose bytes are not all there.
    CArchiveException::Cause cause {};
    EXPECT_EQ(ReadOne(std::string("\xFF\xFE\xFF\x03", 4) + std::string("a\0b\0c", 5), &cause), "<error>");
    EXPECT_EQ(cause, CArchiveException::endOfFile);
}

TEST(Archive, LengthPastTheEndIsEndOfDataWithoutAllocating)
{
    // 2^62 bytes announced: refused before anything is allocated for them.
    for (const std::string& prefix :
         {std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF") + bytes::U64(1ull << 62),
          std::string("\xFF\xFF\xFF") + bytes::U32(0xFFFFFFF0u), std::string("\xFF") + bytes::U16(300),
          std::string("\x05"), std::string("\xFF\xFF"), std::string()}) {
        CArchiveException::Cause cause {};
        EXPECT_EQ(ReadOne(prefix + "abc", &cause), "<error>");
        EXPECT_EQ(cause, CArchiveException::endOfFile);
    }
}

TEST(Archive, NumbersAreLittleEndian)
{
    const std::string s = Written([](CArchive& ar) {
        ar.WriteU16(0x0102);
        ar.WriteU32(0x03040506);
        ar.WriteI32(-2);
        ar.WriteDouble(1.0);
    });
    EXPECT_EQ(s, std::string("\x02\x01\x06\x05\x04\x03\xFE\xFF\xFF\xFF", 10) + bytes::Dbl(1.0));
    Reader r(s);
    EXPECT_EQ(r.ar.ReadU16(), 0x0102);
    EXPECT_EQ(r.ar.ReadU32(), 0x03040506u);
    EXPECT_EQ(r.ar.ReadI32(), -2);
    EXPECT_EQ(r.ar.ReadDouble(), 1.0);
    EXPECT_TRUE(r.ar.AtEnd());
}

TEST(Archive, ObjectTagsAndClassTable)
{
    const std::string s = Written([](CArchive& ar) {
        ar.WriteObjectClass(CArchiveClass::classCIPAddressData);
        ar.WriteObjectClass(CArchiveClass::classCIPAddressData);
        ar.WriteObjectClass(CArchiveClass::classCIPAddressData);
    });
    EXPECT_EQ(s, bytes::NewClassTag() + bytes::ClassRefTag() + bytes::ClassRefTag());

    Reader r(s + std::string("\xFF\x7F", 2) + bytes::U32(0x80000001u) + std::string(2, '\0'));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(r.ar.ReadObjectClass(CArchiveClass::classCIPAddressData), &CArchiveClass::classCIPAddressData);
    EXPECT_EQ(r.ar.ReadObjectClass(CArchiveClass::classCIPAddressData), nullptr); // null tag
}

TEST(Archive, BadObjectEntries)
{
    auto causeOf = [](const std::string& data) {
        Reader r(data);
        try {
            r.ar.ReadObjectClass(CArchiveClass::classCIPAddressData);
            r.ar.ReadObjectClass(CArchiveClass::classCIPAddressData);
        } catch (const CArchiveException& e) {
            return int(e.GetCause());
        }
        return -1;
    };
    const std::string wrongSchema = std::string("\xFF\xFF\x02\x00\x0E\x00", 6) + "CIPAddressData";
    EXPECT_EQ(causeOf(wrongSchema), CArchiveException::badSchema);
    EXPECT_EQ(causeOf(std::string("\xFF\xFF\x01\x00\x07\x00", 6) + "CFooBar"), CArchiveException::badClass);
    // Known, but not a record.
    EXPECT_EQ(causeOf(std::string("\xFF\xFF\x01\x00\x0F\x00", 6) + "CSerStringArray"), CArchiveException::badClass);
    // A class name too long to be ours is refused unread.
    EXPECT_EQ(causeOf(std::string("\xFF\xFF\x01\x00\xFF\xFF", 6)), CArchiveException::badClass);
    // A class reference before any class, and to the record's own index.
    EXPECT_EQ(causeOf(bytes::ClassRefTag()), CArchiveException::badIndex);
    EXPECT_EQ(causeOf(bytes::NewClassTag() + std::string("\x02\x80", 2)), CArchiveException::badIndex);
    // A back-reference to the object read first.
    EXPECT_EQ(causeOf(bytes::NewClassTag() + std::string("\x02\x00", 2)), CArchiveException::badIndex);
    EXPECT_EQ(causeOf(std::string("\xFF\xFF\x01\x00\x0E\x00", 6) + "CIPAddr"), CArchiveException::endOfFile);
}

TEST(Archive, MessagesNameTheFileAndEndOfDataIsReportedOnce)
{
    Reader r("");
    r.ar.ReportError(CArchiveException(CArchiveException::endOfFile));
    r.ar.ReportError(CArchiveException(CArchiveException::endOfFile));
    r.ar.ReportError(CArchiveException(CArchiveException::badSchema));
    r.ar.ReportError(CArchiveException(CArchiveException::badClass));
    r.ar.ReportError(CArchiveException(CArchiveException::badIndex));
    r.ar.ReportError(CArchiveException(CArchiveException::generic));
    const std::vector<std::string> expected = {
        "An attempt was made to access /x/doc.qdl past its end.", "/x/doc.qdl contains an incorrect schema.",
        "/x/doc.qdl contained an unexpected object.", "/x/doc.qdl has a bad format.",
        "An unknown error occurred while accessing /x/doc.qdl."};
    EXPECT_EQ(r.messages, expected);
    EXPECT_EQ(r.ar.GetErrorCount(), 5);
}

TEST(Archive, LargeBlocksCrossTheBuffer)
{
    const std::string big(200000, 'q');
    CStringByteSink sink;
    {
        CArchive ar(sink);
        ar.WriteU8(7);
        ar.WriteString(big);
        ar.WriteString(big.substr(0, 70000));
        ASSERT_TRUE(ar.Flush());
    }
    Reader r(sink.Bytes());
    EXPECT_EQ(r.ar.ReadU8(), 7);
    std::string s;
    r.ar.ReadString(s);
    EXPECT_EQ(s, big);
    r.ar.ReadString(s);
    EXPECT_EQ(s.size(), 70000u);
    EXPECT_TRUE(r.ar.AtEnd());
}
