// fxp program files: golden bytes of both forms, round trips, refusals.
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "vst_fixture.h"
#include "tav/test/files.h"

namespace tav::vst::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutBig(Bytes& b, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<std::uint8_t>(v >> shift));
}
void PutText(Bytes& b, const char* text, std::size_t field) {
  const std::size_t n = std::strlen(text);
  b.insert(b.end(), text, text + n);
  b.insert(b.end(), field - n, 0);
}

// The 56 header bytes the test plug-in's program 0 gives.
void PutHeader(Bytes& b, const char* fxMagic, std::uint32_t byteSize) {
  PutText(b, "CcnK", 4);
  PutBig(b, byteSize);
  PutText(b, fxMagic, 4);
  PutBig(b, 1);
  PutText(b, "TstH", 4);
  PutBig(b, kTestVersion);
  PutBig(b, 3);
  PutText(b, "Program 0", 28);
}

// What the test plug-in's program 0 must give, written out by hand.
Bytes GoldenParameterFile() {
  Bytes b;
  PutHeader(b, "FxCk", 60);  // 48 + 4 × 3
  for (std::uint32_t v : {0x3E000000u, 0x3E800000u, 0x3EC00000u}) PutBig(b, v);  // 0.125, 0.25, 0.375
  return b;
}

Bytes GoldenChunkFile() {
  Bytes chunk = {'T', 'P', 'C', '1', 1};  // the plug-in's own program data
  PutText(chunk, "Program 0", 28);          // 25-byte name, 3 bytes padding
  for (int i = 0; i < 8; ++i) {
    const auto bits = std::bit_cast<std::uint32_t>(0.125f * static_cast<float>(i + 1));
    for (int k = 0; k < 4; ++k) chunk.push_back(static_cast<std::uint8_t>(bits >> (8 * k)));
  }
  Bytes b;
  PutHeader(b, "FPCh", 52 + static_cast<std::uint32_t>(chunk.size()));
  PutBig(b, static_cast<std::uint32_t>(chunk.size()));
  b.insert(b.end(), chunk.begin(), chunk.end());
  return b;
}

class FxpTest : public VstFixture {
 protected:
  void TearDown() override {
    std::error_code e;
    std::filesystem::remove_all(folder, e);
  }
  std::wstring File(const char* name) {
    std::filesystem::create_directories(folder);
    return (folder / name).wstring();
  }
  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                 ("tavolen-fxp-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                  "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(FxpTest, ParameterFormGoldenBytes) {
  TVstPlugIn& item = OpenItem();
  const int mark = Mark();
  EXPECT_EQ(item.SavePresetToBytes(), GoldenParameterFile());
  // The current program is selected again before its values are read.
  EXPECT_EQ(OpcodesSince(mark), (std::vector<int>{effGetProgram, effSetProgram, effGetProgramName}));
}

TEST_F(FxpTest, ChunkFormGoldenBytes) {
  Plug().flags |= 1 << effFlagsProgramChunks;
  TVstPlugIn& item = OpenItem();
  const int mark = Mark();
  EXPECT_EQ(item.SavePresetToBytes(), GoldenChunkFile());
  const auto calls = CallsSince(mark);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].opcode, effGetChunk);
  EXPECT_EQ(calls[1].index, 1);  // the program, not the bank
}

TEST_F(FxpTest, NoParametersGiveA56ByteFile) {
  Plug().numParams = 0;
  const Bytes b = OpenItem().SavePresetToBytes();
  ASSERT_EQ(b.size(), 56u);
  EXPECT_EQ(b[7], 48);
  EXPECT_EQ(b[27], 0);
}

TEST_F(FxpTest, ANameIsCutTo26Characters) {
  TVstPlugIn& item = OpenItem();
  item.SetProgramName("ABCDEFGHIJKLMNOPQRSTUVWX");  // the plug-in keeps 24
  Bytes b = item.SavePresetToBytes();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[28])), "ABCDEFGHIJKLMNOPQRSTUVWX");
  EXPECT_EQ(b[28 + 27], 0);
}

TEST_F(FxpTest, ParameterFormRoundTrip) {
  TVstPlugIn& item = OpenItem();
  item.SetParameter(0, 0.9f);
  item.SetParameter(2, 0.1f);
  item.SetProgramName("Bright");
  const std::wstring path = File("bright.fxp");
  item.SavePresetToFile(path);
  item.SetParameter(0, 0.0f);
  item.SetParameter(2, 0.0f);
  item.SetProgramName("Other");

  const int mark = Mark();
  item.LoadPresetFromFile(path);
  const auto calls = CallsSince(mark);
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].opcode, effBeginLoadProgram);
  EXPECT_EQ(calls[1].opcode, effSetProgramName);
  EXPECT_STREQ(calls[1].text, "Bright");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(calls[2 + i].kind, kCallSetParameter);
  EXPECT_EQ(Plug().lastPatchInfo.version, 1);
  EXPECT_EQ(Plug().lastPatchInfo.pluginUniqueID, kTestUniqueId);
  EXPECT_EQ(Plug().lastPatchInfo.pluginVersion, kTestVersion);
  EXPECT_EQ(Plug().lastPatchInfo.numElements, 3);
  EXPECT_EQ(item.GetParameter(0), 0.9f);
  EXPECT_EQ(item.GetParameter(2), 0.1f);
  EXPECT_EQ(item.ProgramName(), "Bright");
}

TEST_F(FxpTest, ChunkFormRoundTrip) {
  Plug().flags |= 1 << effFlagsProgramChunks;
  TVstPlugIn& item = OpenItem();
  item.SetParameter(1, 0.6f);
  const Bytes saved = item.SavePresetToBytes();
  item.SetParameter(1, 0.0f);
  const int mark = Mark();
  item.LoadPresetFromBytes(saved);
  EXPECT_EQ(OpcodesSince(mark), (std::vector<int>{effSetProgramName, effSetChunk}));
  EXPECT_EQ(Plug().lastChunkIsPreset, 1);
  EXPECT_EQ(Plug().lastChunkSize, static_cast<std::int32_t>(saved.size() - 60));
  EXPECT_EQ(item.GetParameter(1), 0.6f);
}

TEST_F(FxpTest, AnotherPlugInsFileIsRefusedBeforeAnyCall) {
  TVstPlugIn& item = OpenItem();
  for (Bytes b : {GoldenParameterFile(), GoldenChunkFile()}) {
    b[19] ^= 1;
    const int mark = Mark();
    try {
      item.LoadPresetFromBytes(b);
      ADD_FAILURE() << "accepted";
    } catch (const TVstError& e) {
      EXPECT_STREQ(e.what(), "此参数文件与当前所使用的插件不匹配!");
    }
    EXPECT_EQ(Plug().callCount, mark);
  }
}

TEST_F(FxpTest, MalformedFilesAreRefusedWithoutTouchingThePlugIn) {
  TVstPlugIn& item = OpenItem();
  std::vector<std::pair<std::string, Bytes>> cases;
  const Bytes params = GoldenParameterFile(), chunk = GoldenChunkFile();
  for (std::size_t n = 0; n < 56; ++n) cases.push_back({"parameters cut at " + std::to_string(n), Bytes(params.begin(), params.begin() + n)});
  for (std::size_t n = 0; n < 60; ++n) cases.push_back({"chunk cut at " + std::to_string(n), Bytes(chunk.begin(), chunk.begin() + n)});
  for (const char* magic : {"FxBk", "FBCh", "FxCK", "fxck", "\0\0\0\0", "FPCH"}) {
    Bytes b = params;
    std::memcpy(&b[8], magic, 4);
    cases.push_back({std::string("magic ") + magic, b});
  }
  for (const auto& [name, bytes] : cases) {
    const int mark = Mark();
    EXPECT_THROW(item.LoadPresetFromBytes(bytes), TVstError) << name;
    EXPECT_EQ(Plug().callCount, mark) << name;
  }
}

TEST_F(FxpTest, LyingCountsApplyOnlyWhatIsThere) {
  TVstPlugIn& item = OpenItem();
  struct Case {
    const char* name;
    std::uint32_t fileCount;
    std::size_t valuesHeld;
    int applied;
  } cases[] = {
      {"as written", 3, 3, 3},         {"count above the plug-in's", 1000, 3, 3},
      {"fewer in the file", 2, 3, 2},  {"negative count", 0xFFFFFFFFu, 3, 0},
      {"huge count", 0x7FFFFFFFu, 3, 3}, {"values missing", 3, 1, 1},
      {"no values at all", 3, 0, 0},   {"half a value", 3, 0, 0},
  };
  for (const Case& c : cases) {
    Bytes b = GoldenParameterFile();
    b.resize(56 + 4 * c.valuesHeld + (std::strcmp(c.name, "half a value") == 0 ? 2 : 0));
    for (int k = 0; k < 4; ++k) b[24 + k] = static_cast<std::uint8_t>(c.fileCount >> (24 - 8 * k));
    const int mark = Mark();
    item.LoadPresetFromBytes(b);
    int applied = 0;
    for (const TTestCall& call : CallsSince(mark)) applied += call.kind == kCallSetParameter;
    EXPECT_EQ(applied, c.applied) << c.name;
  }
}

TEST_F(FxpTest, ChunkSizesInTheFileAreNotTrusted) {
  Plug().flags |= 1 << effFlagsProgramChunks;
  TVstPlugIn& item = OpenItem();
  Bytes b = GoldenChunkFile();
  for (int k : {4, 5, 6, 7, 56, 57, 58, 59}) b[k] = 0xFF;  // byteSize and size claim gigabytes
  std::memset(&b[28], 'n', 28);                             // a name without its end
  b.resize(70);
  item.LoadPresetFromBytes(b);
  EXPECT_EQ(Plug().lastChunkSize, 10);
  Bytes empty = GoldenChunkFile();
  empty.resize(60);
  item.LoadPresetFromBytes(empty);
  EXPECT_EQ(Plug().lastChunkSize, 0);
}

TEST_F(FxpTest, MissingFileIsReportedAndAnEmptyFileRefused) {
  TVstPlugIn& item = OpenItem();
  const int mark = Mark();
  try {
    item.LoadPresetFromFile(File("absent.fxp"));
    ADD_FAILURE();
  } catch (const TVstError& e) {
    EXPECT_STREQ(e.what(), "参数文件不存在!!!!");
  }
  const std::wstring empty = File("empty.fxp");
  std::ofstream(std::filesystem::path(empty)).close();
  EXPECT_THROW(item.LoadPresetFromFile(empty), TVstError);
  EXPECT_EQ(Plug().callCount, mark);
}

TEST_F(FxpTest, AFaultDuringASaveLeavesThePreviousFile) {
  TVstPlugIn& item = OpenItem();
  const std::wstring path = File("kept.fxp");
  item.SavePresetToFile(path);
  const Bytes before = tav::test::ReadFileBytes<Bytes>(path);
  Plug().faultInParameters = 1;
  EXPECT_THROW(item.SavePresetToFile(path), TVstPlugInFault);
  EXPECT_EQ(tav::test::ReadFileBytes<Bytes>(path), before);
}

TEST_F(FxpTest, WithoutAPlugInSavesAreEmptyAndLoadsDoNothing) {
  TVstPlugIn& item = host.VstPlugIns().Add();
  const std::wstring path = File("none.fxp");
  item.SavePresetToFile(path);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
  item.LoadPresetFromBytes(GoldenParameterFile());
  EXPECT_EQ(Plug().callCount, 0);
}

}  // namespace
}  // namespace tav::vst::testing
