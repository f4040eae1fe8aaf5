// fxp program files: one program of a plug-in as parameters ("FxCk") or as
// the plug-in's opaque chunk ("FPCh"), every number big-endian.
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tav/seh_guard.h"
#include "tav/vst/vst_plugin.h"
#include "tav/vst/vst_text.h"

#ifdef _WIN32
#include "toolkit/win32/streams.h"
#endif

namespace tav::vst {

namespace {

constexpr std::size_t kParamHeaderSize = 56;
constexpr std::size_t kChunkHeaderSize = 60;
constexpr std::size_t kNameLimit = 26;
constexpr std::uint32_t kChunkMagic = static_cast<std::uint32_t>(FourCharsToId('C', 'c', 'n', 'K'));
constexpr std::uint32_t kParamsMagic = static_cast<std::uint32_t>(FourCharsToId('F', 'x', 'C', 'k'));
constexpr std::uint32_t kOpaqueMagic = static_cast<std::uint32_t>(FourCharsToId('F', 'P', 'C', 'h'));

const char* const kNoSuchFile = "参数文件不存在!!!!";
const char* const kOtherPlugIn = "此参数文件与当前所使用的插件不匹配!";
const char* const kNotAPreset = "不是一个有效的参数文件!";

// A value as it lies in the file: big-endian in memory.
std::uint32_t FileOrder(std::uint32_t value) {
  if constexpr (std::endian::native == std::endian::little) SwapInt32(value);
  return value;
}

std::uint32_t ReadBig(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

void Append(std::vector<std::uint8_t>& out, std::uint32_t fileOrderValue) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&fileOrderValue);
  out.insert(out.end(), p, p + 4);
}

void CopyName(const std::string& name, char (&field)[28]) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, name.data(), std::min(name.size(), kNameLimit));
}

std::filesystem::path PathOf(const std::wstring& name) {
#ifdef _WIN32
  return std::filesystem::path(name);
#else
  const std::string utf8 = WideToUtf8(name);
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#endif
}

// The whole file through the toolkit's file stream, whose errors pass; other
// builds use the standard streams.
void WriteWholeFile(const std::wstring& fileName, const std::vector<std::uint8_t>& bytes) {
#ifdef _WIN32
  tav::TFileStream file(fileName, tav::fmCreate);
  file.WriteBuffer(bytes.data(), bytes.size());
#else
  std::ofstream file(PathOf(fileName), std::ios::binary | std::ios::trunc);
  if (!file) throw TVstError("cannot create " + WideToUtf8(fileName));
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) throw TVstError("cannot write " + WideToUtf8(fileName));
#endif
}

std::vector<std::uint8_t> ReadWholeFile(const std::wstring& fileName) {
#ifdef _WIN32
  tav::TFileStream file(fileName, tav::fmOpenRead);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
  file.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
#else
  std::ifstream file(PathOf(fileName), std::ios::binary);
  if (!file) throw TVstError("cannot open " + WideToUtf8(fileName));
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
#endif
}

}  // namespace

void TVstPlugIn::BuildProgramRecord(std::int32_t program, TFxProgramRecord& record) {
  SetProgramNr(program);
  const std::int32_t count = numParams();
  record.chunkMagic = FileOrder(kChunkMagic);
  record.fxMagic = FileOrder(kParamsMagic);
  record.version = FileOrder(1);
  record.fxID = FileOrder(static_cast<std::uint32_t>(effect_ ? effect_->uniqueID : 0));
  record.fxVersion = FileOrder(static_cast<std::uint32_t>(effect_ ? effect_->version : 0));
  record.numParams = FileOrder(static_cast<std::uint32_t>(count));
  CopyName(ProgramName(), record.prgName);
  record.params.assign(static_cast<std::size_t>(count), 0);
  for (std::int32_t i = 0; i < count; ++i)
    record.params[i] = FileOrder(std::bit_cast<std::uint32_t>(GetParameter(i)));
  record.byteSize = FileOrder(static_cast<std::uint32_t>(4 * count + 48));
}

std::vector<std::uint8_t> TVstPlugIn::SavePresetToBytes() {
  std::vector<std::uint8_t> out;
  if (!effect_) return out;
  if (EffectOptions().Contains(effFlagsProgramChunks)) {
    char name[28];
    CopyName(ProgramName(), name);
    void* data = nullptr;
    const std::int32_t size = GetChunk(&data, /*isPreset=*/true);
    out.reserve(kChunkHeaderSize + static_cast<std::size_t>(size));
    Append(out, FileOrder(kChunkMagic));
    Append(out, FileOrder(static_cast<std::uint32_t>(size) + 52));
    Append(out, FileOrder(kOpaqueMagic));
    Append(out, FileOrder(1));
    Append(out, FileOrder(static_cast<std::uint32_t>(effect_->uniqueID)));
    Append(out, FileOrder(static_cast<std::uint32_t>(effect_->version)));
    Append(out, FileOrder(static_cast<std::uint32_t>(numParams())));
    out.insert(out.end(), name, name + sizeof name);
    Append(out, FileOrder(static_cast<std::uint32_t>(size)));
    out.resize(kChunkHeaderSize + static_cast<std::size_t>(size));
    unsigned code = 0;
    if (size > 0 && !tav::Guarded([&] { std::memcpy(out.data() + kChunkHeaderSize, data, size); }, &code))
      throw TVstPlugInFault(code);
    return out;
  }
  TFxProgramRecord record;
  BuildProgramRecord(ProgramNr(), record);
  for (std::uint32_t v : {record.chunkMagic, record.byteSize, record.fxMagic, record.version, record.fxID,
                          record.fxVersion, record.numParams})
    Append(out, v);
  out.insert(out.end(), record.prgName, record.prgName + sizeof record.prgName);
  for (std::uint32_t v : record.params) Append(out, v);
  return out;
}

void TVstPlugIn::SavePresetToFile(const std::wstring& fileName) {
  // The whole file is built first: a plug-in that fails while it is asked
  // leaves the previous file as it was.
  WriteWholeFile(fileName, SavePresetToBytes());
}

void TVstPlugIn::LoadPresetFromFile(const std::wstring& fileName) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(PathOf(fileName), error)) throw TVstError(kNoSuchFile);
  LoadPresetFromBytes(ReadWholeFile(fileName));
}

void TVstPlugIn::LoadPresetFromBytes(const std::vector<std::uint8_t>& bytes) {
  if (!effect_) return;
  // Only single programs in either form; banks and anything shorter than its
  // header are refused before the plug-in is touched.
  if (bytes.size() < kParamHeaderSize) throw TVstError(kNotAPreset);
  const std::uint32_t fxMagic = ReadBig(&bytes[8]);
  const bool opaque = fxMagic == kOpaqueMagic;
  if (!opaque && fxMagic != kParamsMagic) throw TVstError(kNotAPreset);
  if (opaque && bytes.size() < kChunkHeaderSize) throw TVstError(kNotAPreset);
  if (ReadBig(&bytes[16]) != static_cast<std::uint32_t>(effect_->uniqueID)) throw TVstError(kOtherPlugIn);
  const std::string name = BoundedText(reinterpret_cast<const char*>(&bytes[28]), 28);

  // An empty name renames nothing: the program keeps its own.
  if (opaque) {
    if (!name.empty()) SetProgramName(name);
    const std::size_t size = bytes.size() - kChunkHeaderSize;
    std::vector<std::uint8_t> chunk(size + 1);
    std::memcpy(chunk.data(), bytes.data() + kChunkHeaderSize, size);
    SetChunk(chunk.data(), SaturateToInt32(static_cast<std::int64_t>(size)), /*isPreset=*/true);
    return;
  }
  VstPatchChunkInfo info{};
  info.version = 1;
  info.pluginUniqueID = effect_->uniqueID;
  info.pluginVersion = effect_->version;
  info.numElements = numParams();
  BeginLoadProgram(info);
  if (!name.empty()) SetProgramName(name);
  const auto fileCount = static_cast<std::int64_t>(static_cast<std::int32_t>(ReadBig(&bytes[24])));
  const auto held = static_cast<std::int64_t>((bytes.size() - kParamHeaderSize) / 4);
  const std::int64_t count = std::min({fileCount, static_cast<std::int64_t>(numParams()), held});
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint32_t bits = ReadBig(&bytes[kParamHeaderSize + 4 * i]);
    SetParameter(static_cast<std::int32_t>(i), std::bit_cast<float>(bits));
  }
}

}  // namespace tav::vst
