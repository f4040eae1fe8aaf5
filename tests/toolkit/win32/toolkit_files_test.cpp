// The INI object and the file stream on the real file system.
#include <gtest/gtest.h>

#include <string>

#include "toolkit/win32/inifiles.h"
#include "toolkit/win32/streams.h"

namespace tav {
namespace {

std::wstring TempPath(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + name;
}

TEST(IniFile, WritesThroughAtOnceAndReadsBack) {
  const std::wstring path = TempPath(L"tav_toolkit_test.ini");
  DeleteFileW(path.c_str());
  {
    TIniFile ini(path);
    ini.WriteInteger(L"FormMain", L"Left", -196);
    ini.WriteBool(L"FormMain", L"Visible", true);
    ini.WriteBool(L"FormMain", L"Loop", false);
    ini.WriteString(L"FormList", L"Last", L"C:\\音乐\\歌.mp3");
    // Written through: another reader sees it before the object goes.
    wchar_t raw[32];
    GetPrivateProfileStringW(L"FormMain", L"Visible", L"", raw, 32, path.c_str());
    EXPECT_EQ(std::wstring(raw), L"1");
  }
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadInteger(L"FormMain", L"Left", 0), -196);
  EXPECT_TRUE(ini.ReadBool(L"FormMain", L"Visible", false));
  EXPECT_FALSE(ini.ReadBool(L"FormMain", L"Loop", true));
  EXPECT_EQ(ini.ReadString(L"FormList", L"Last", L""), L"C:\\音乐\\歌.mp3");
  EXPECT_EQ(ini.ReadString(L"FormList", L"None", L"默认"), L"默认");
  EXPECT_TRUE(ini.SectionExists(L"FormMain"));
  EXPECT_TRUE(ini.ValueExists(L"formmain", L"left"));
  EXPECT_FALSE(ini.SectionExists(L"FormVST"));
  // Text that is not an integer gives the default.
  struct {
    const wchar_t* text;
    int32_t expected;
  } table[] = {{L"12abc", 9}, {L"", 9}, {L"-7", -7}, {L"99999999999", 9}, {L"2147483647", 2147483647}};
  for (auto& c : table) {
    ini.WriteString(L"T", L"k", c.text);
    EXPECT_EQ(ini.ReadInteger(L"T", L"k", 9), c.expected) << Narrow(c.text);
  }
  ini.WriteString(L"T", L"b", L"2");
  EXPECT_TRUE(ini.ReadBool(L"T", L"b", false));
  ini.WriteString(L"T", L"b", L"yes");
  EXPECT_FALSE(ini.ReadBool(L"T", L"b", false));
  ini.DeleteKey(L"T", L"b");
  EXPECT_FALSE(ini.ValueExists(L"T", L"b"));
  ini.EraseSection(L"T");
  EXPECT_FALSE(ini.SectionExists(L"T"));
  // A long value comes back whole.
  const std::wstring longValue(3000, L'字');
  ini.WriteString(L"L", L"v", longValue);
  EXPECT_EQ(ini.ReadString(L"L", L"v", L""), longValue);
  DeleteFileW(path.c_str());
}

TEST(IniFile, FailedWriteIsReported) {
  TIniFile ini(TempPath(L"no such folder\\x\\y.ini"));
  EXPECT_THROW(ini.WriteInteger(L"S", L"k", 1), EIniFileException);
  EXPECT_EQ(ini.ReadInteger(L"S", L"k", 5), 5);
}

TEST(FileStream, CreateWriteSeekSizeAndErrors) {
  const std::wstring path = TempPath(L"tav_stream_test.bin");
  {
    TFileStream s(path, fmCreate);
    const char data[] = "RIFF----WAVE";
    s.WriteBuffer(data, 12);
    EXPECT_EQ(s.Size(), 12);
    EXPECT_EQ(s.Position(), 12);
    s.Seek(4, soBeginning);
    const uint32_t size = 36;
    s.WriteBuffer(&size, 4);
    EXPECT_EQ(s.Seek(0, soEnd), 12);
  }
  {
    // fmCreate empties an existing file.
    TFileStream s(path, fmOpenRead);
    char back[12];
    s.ReadBuffer(back, 12);
    EXPECT_EQ(std::string(back, 4), "RIFF");
    EXPECT_EQ(*reinterpret_cast<uint32_t*>(back + 4), 36u);
    EXPECT_THROW(s.ReadBuffer(back, 1), EReadError);
    EXPECT_THROW(s.WriteBuffer(back, 1), EWriteError);
  }
  { TFileStream s(path, fmCreate); }
  {
    TFileStream s(path, fmOpenReadWrite);
    EXPECT_EQ(s.Size(), 0);
  }
  DeleteFileW(path.c_str());
  EXPECT_THROW(TFileStream(path, fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(TempPath(L"no such folder\\f.wav"), fmCreate), EFCreateError);
}

}  // namespace
}  // namespace tav
