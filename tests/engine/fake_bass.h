// A small stand-in for the audio library's functions the engine calls: a
// decoding source of given bytes, handles, a call log and failure switches.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bass.h"
#include "bass_fx.h"

namespace fake {

struct TFakeBass {
  // Every call, as "Name arg arg ...".
  std::vector<std::string> log;
  DWORD nextHandle = 100;

  // What the decoding stream delivers, and how far it has been read.
  std::vector<uint8_t> source;
  size_t readPos = 0;
  DWORD endResult = 0xFFFFFFFFu;  // what GetData returns past the data: (DWORD)-1 the end, 0 a stall

  // Stream creation.
  std::set<std::string> streamNames;  // names StreamCreateFile/URL accept
  std::set<std::string> musicNames;   // names MusicLoad accepts
  bool failReverse = false;
  bool failTempo = false;
  bool failOutput = false;  // StreamCreate refuses
  BASS_CHANNELINFO info{44100, 2, 0, 0, 0, 0, 0, nullptr};
  DWORD activeState = BASS_ACTIVE_STOPPED;  // IsActive's answer
  std::set<DWORD> freed;

  // Equaliser: bands by number; bands whose Get is refused.
  std::map<int, BASS_BFX_PEAKEQ> bands;
  std::set<int> refusedBands;

  // Add-ons: file path -> formats; paths not listed are refused.
  std::map<std::string, std::vector<BASS_PLUGINFORM>> addOns;
  std::map<HPLUGIN, BASS_PLUGININFO> loadedAddOns;
  std::map<HPLUGIN, std::vector<BASS_PLUGINFORM>> addOnFormats;
};

extern TFakeBass Bass;
// Back to a fresh state (log empty, no source).
void Reset();
// Log lines that start with `prefix`.
std::vector<std::string> Calls(const std::string& prefix);

}  // namespace fake
