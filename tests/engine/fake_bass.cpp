#include "fake_bass.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace fake {

TFakeBass Bass;

void Reset() { Bass = TFakeBass{}; }

std::vector<std::string> Calls(const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& line : Bass.log)
    if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
  return out;
}

namespace {
template <class... A>
void Log(const char* name, const A&... args) {
  std::ostringstream line;
  line << name;
  ((line << ' ' << args), ...);
  Bass.log.push_back(line.str());
}
DWORD NewHandle() { return Bass.nextHandle++; }
std::string Hex(DWORD v) {
  std::ostringstream t;
  t << "0x" << std::hex << v;
  return t.str();
}
}  // namespace

}  // namespace fake

using fake::Bass;
using fake::Hex;
using fake::Log;

extern "C" {

DWORD BASSAPI BASS_ChannelGetData(DWORD, void* buffer, DWORD length) {
  const size_t left = Bass.source.size() - Bass.readPos;
  if (left == 0) return Bass.endResult;
  const size_t n = std::min<size_t>(left, length);
  std::memcpy(buffer, Bass.source.data() + Bass.readPos, n);
  Bass.readPos += n;
  return static_cast<DWORD>(n);
}

HSTREAM BASSAPI BASS_StreamCreateFile(BOOL, const void* file, QWORD, QWORD, DWORD flags) {
  const std::string name = static_cast<const char*>(file);
  Log("StreamCreateFile", name, Hex(flags));
  return Bass.streamNames.count(name) ? fake::NewHandle() : 0;
}

HSTREAM BASSAPI BASS_StreamCreateURL(const char* url, DWORD, DWORD flags, DOWNLOADPROC*, void*) {
  Log("StreamCreateURL", url, Hex(flags));
  return Bass.streamNames.count(url) ? fake::NewHandle() : 0;
}

HMUSIC BASSAPI BASS_MusicLoad(BOOL, const void* file, QWORD, DWORD, DWORD flags, DWORD freq) {
  const std::string name = static_cast<const char*>(file);
  Log("MusicLoad", name, Hex(flags));
  return Bass.musicNames.count(name) ? fake::NewHandle() : 0;
}

BOOL BASSAPI BASS_StreamFree(HSTREAM handle) {
  Log("StreamFree", handle);
  if (handle == 0) return FALSE;
  Bass.freed.insert(handle);
  return TRUE;
}

BOOL BASSAPI BASS_MusicFree(HMUSIC handle) {
  Log("MusicFree", handle);
  Bass.freed.insert(handle);
  return TRUE;
}

HSTREAM BASSAPI BASS_FX_ReverseCreate(DWORD chan, float block, DWORD flags) {
  Log("ReverseCreate", chan, block, Hex(flags));
  return Bass.failReverse ? 0 : fake::NewHandle();
}

HSTREAM BASSAPI BASS_FX_TempoCreate(DWORD chan, DWORD flags) {
  Log("TempoCreate", chan, Hex(flags));
  return Bass.failTempo ? 0 : fake::NewHandle();
}

DWORD BASSAPI BASS_FX_TempoGetSource(HSTREAM chan) {
  Log("TempoGetSource", chan);
  return chan - 1;  // stages are made one after the other
}

BOOL BASSAPI BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info) {
  Log("ChannelGetInfo", handle);
  *info = Bass.info;
  return TRUE;
}

HSTREAM BASSAPI BASS_StreamCreate(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void*) {
  Log("StreamCreate", freq, chans, flags, proc != nullptr);
  return fake::Bass.failOutput ? 0 : fake::NewHandle();
}

BOOL BASSAPI BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
  Log("SetAttribute", handle, Hex(attrib), value);
  return TRUE;
}

BOOL BASSAPI BASS_ChannelPlay(DWORD handle, BOOL restart) {
  Log("Play", handle, restart);
  return TRUE;
}
BOOL BASSAPI BASS_ChannelPause(DWORD handle) {
  Log("Pause", handle);
  return TRUE;
}
BOOL BASSAPI BASS_ChannelStop(DWORD handle) {
  Log("Stop", handle);
  return TRUE;
}
DWORD BASSAPI BASS_ChannelIsActive(DWORD) { return Bass.activeState; }

QWORD BASSAPI BASS_ChannelSeconds2Bytes(DWORD handle, double pos) {
  Log("Seconds2Bytes", handle, pos);
  return static_cast<QWORD>(pos * 176400.0);
}

BOOL BASSAPI BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
  Log("SetPosition", handle, pos, mode);
  return TRUE;
}

HFX BASSAPI BASS_ChannelSetFX(DWORD handle, DWORD type, int priority) {
  Log("SetFX", handle, Hex(type), priority);
  return fake::NewHandle();
}

BOOL BASSAPI BASS_FXSetParameters(HFX, const void* params) {
  const auto* band = static_cast<const BASS_BFX_PEAKEQ*>(params);
  Log("FXSet", band->lBand, band->fBandwidth, band->fQ, band->fCenter, band->fGain, band->lChannel);
  Bass.bands[band->lBand] = *band;
  return TRUE;
}

BOOL BASSAPI BASS_FXGetParameters(HFX, void* params) {
  auto* band = static_cast<BASS_BFX_PEAKEQ*>(params);
  Log("FXGet", band->lBand);
  if (Bass.refusedBands.count(band->lBand) || !Bass.bands.count(band->lBand)) return FALSE;
  *band = Bass.bands[band->lBand];
  return TRUE;
}

HPLUGIN BASSAPI BASS_PluginLoad(const char* file, DWORD flags) {
  Log("PluginLoad", file, flags);
  auto it = Bass.addOns.find(file);
  if (it == Bass.addOns.end()) return 0;
  const HPLUGIN handle = fake::NewHandle();
  Bass.addOnFormats[handle] = it->second;
  Bass.loadedAddOns[handle] = BASS_PLUGININFO{0x02040000, static_cast<DWORD>(it->second.size()),
                                              Bass.addOnFormats[handle].data()};
  return handle;
}

const BASS_PLUGININFO* BASSAPI BASS_PluginGetInfo(HPLUGIN handle) {
  auto it = Bass.loadedAddOns.find(handle);
  return it == Bass.loadedAddOns.end() ? nullptr : &it->second;
}

}  // extern "C"
