#include "player/core/vst_window.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace tav::player {

std::string VstCaption(std::string_view vendor, std::string_view effectName) {
  return std::string("VST 插件: ").append(vendor).append(" - ").append(effectName);
}

TVstClientSize VstRequestedClientSize(int width, int height) {
  return {std::max(width, kVstEmptyClientWidth), std::max(height, kVstEmptyClientHeight)};
}

TVstClientSize VstClientSize(const TVstEditorRect& rect) {
  return VstRequestedClientSize(int(rect.right) - int(rect.left), int(rect.bottom) - int(rect.top));
}

std::string VstProgramItemText(int program, std::string_view name) {
  char number[16];
  std::snprintf(number, sizeof number, "%.3d", program);
  return std::string(number).append(" - ").append(name);
}

std::string VstFxpExportName(std::string_view chosen) {
  constexpr std::string_view ext = ".fxp";
  std::string name(chosen);
  if (name.size() < ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext) != 0) name += ext;
  return name;
}

std::string VstPresetFileName(std::string_view programFolder, std::string_view plugInPath) {
  const size_t slash = plugInPath.find_last_of("\\/");
  const std::string_view fileName = slash == std::string_view::npos ? plugInPath : plugInPath.substr(slash + 1);
  return std::string(programFolder).append(kVstPresetFolder).append("\\").append(fileName).append(kVstPresetExtension);
}

void TVstWindowController::LoadFVst(const std::string& path) {
  if (loaded_) {
    // The old plug-in goes in any case; a preset it could not save is told
    // and the new one loads.
    if (std::exception_ptr failed = Unload()) {
      try {
        std::rethrow_exception(failed);
      } catch (const std::exception& e) {
        view_.ShowError(e.what());
      } catch (...) {
      }
    }
    if (loaded_) return;  // the old plug-in was still busy and stays
  }
  // One item at most, however many loads fail.
  slot_.EnsureItem();
  slot_.Open(path);
  if (slot_.EditOpen() != 0) view_.ShowError(kVstEditorFaultText);
  view_.SetCaption(VstCaption(slot_.VendorString(), slot_.EffectName()));
  editorRect_ = TVstEditorRect{};  // a plug-in without a rectangle leaves it all zero
  slot_.EditGetRect(editorRect_);
  const TVstClientSize client = VstClientSize(editorRect_);
  view_.SetClientSize(client.Width, client.Height);

  programCount_ = std::max<int32_t>(slot_.NumPrograms(), 0);
  view_.ClearPrograms();
  for (int32_t i = 0; i < programCount_; ++i) {
    slot_.SetProgram(i);
    view_.AddProgram(VstProgramItemText(i, slot_.ProgramName()));
  }
  slot_.SetProgram(0);
  // The saved preset after the walk through the programs, which some
  // plug-ins answer by loading their factory values; it goes into program 0.
  const std::string preset = VstPresetFileName(programFolder_, path);
  if (view_.FileExists(preset)) {
    try {
      slot_.LoadPreset(preset);
    } catch (...) {
    }
  }
  slot_.SetTempo(kVstLoadTempo);
  view_.SetIdleTimer(true);

  slot_.AttachPass();
  faultTold_ = false;
  flags_.SetEnabled(view_.EnabledChecked());
  flags_.SetActive(true);
  loaded_ = true;
  plugInPath_ = path;
}

std::exception_ptr TVstWindowController::Unload() {
  view_.SetIdleTimer(false);
  flags_.SetActive(false);
  flags_.Sleep(kVstUnloadWaitMs);
  // A block still inside the plug-in after the bounded wait: the plug-in is
  // not closed under it and stays as it is (the pass is off).
  if (!flags_.WaitIdle()) return {};
  if (!slot_.IsOpen()) return {};
  std::exception_ptr failed;
  try {
    slot_.SavePreset(PresetFile());
  } catch (...) {
    failed = std::current_exception();
  }
  slot_.Release();
  view_.SetClientSize(kVstEmptyClientWidth, kVstEmptyClientHeight);
  view_.SetCaption(kVstEmptyCaption);
  view_.ClearPrograms();
  programCount_ = 0;
  loaded_ = false;
  return failed;
}

void TVstWindowController::VSTUnClick() {
  if (std::exception_ptr failed = Unload()) std::rethrow_exception(failed);
}

bool TVstWindowController::WhilePassHeld(const std::function<void()>& call) {
  const bool wasActive = flags_.Active();
  flags_.SetActive(false);
  if (!flags_.WaitIdle()) return false;
  try {
    call();
  } catch (...) {
    if (wasActive) flags_.SetActive(true);
    throw;
  }
  if (wasActive) flags_.SetActive(true);
  return true;
}

void TVstWindowController::ProgramClick(int index) {
  if (!loaded_ || index < 0 || index >= programCount_ || index >= view_.ProgramItemCount()) return;
  if (!WhilePassHeld([&] { slot_.SetProgram(index); })) return;
  const int items = std::min<int>(programCount_, view_.ProgramItemCount());
  for (int i = 0; i < items; ++i) view_.SetProgramChecked(i, false);
  view_.SetProgramChecked(index, true);
}

void TVstWindowController::VSTEnaClick() { flags_.SetEnabled(view_.EnabledChecked()); }

void TVstWindowController::Timer1Timer() {
  if (!loaded_) return;
  slot_.Idle();
  if (!faultTold_ && slot_.PassFault() != 0) {
    faultTold_ = true;  // before the box: the timer runs on under it
    view_.ShowError(kVstProcessFaultText);
  }
}

void TVstWindowController::ImportFxp(const std::string& file) {
  if (!flags_.Active() || !slot_.IsOpen()) return;
  WhilePassHeld([&] { slot_.LoadPreset(file); });
}

void TVstWindowController::ExportFxp(const std::string& chosen) {
  if (!flags_.Active() || !slot_.IsOpen()) return;
  WhilePassHeld([&] { slot_.SavePreset(VstFxpExportName(chosen)); });
}

void TVstWindowController::StreamStarting(float rate) {
  // The plug-in is suspended and resumed while no block runs through it.
  WhilePassHeld([&] { slot_.ChangeSampleRate(rate); });
}

bool TVstWindowController::EditorSizeRequest(int width, int height) {
  if (!loaded_) return false;
  const TVstClientSize client = VstRequestedClientSize(width, height);
  view_.SetClientSize(client.Width, client.Height);
  return true;
}

TVstWindowController::TPlace TVstWindowController::FormCreate(ISettingsStore* settings) {
  TPlace place;
  std::string file;
  bool enabled = true;
  try {
    if (settings) {
      place.Left = settings->ReadInteger(kVstSection, "Left", kVstDesignLeft);
      place.Top = settings->ReadInteger(kVstSection, "Top", kVstDesignTop);
      place.Visible = settings->ReadBool(kVstSection, "Visible", false);
      enabled = settings->ReadBool(kVstSection, "VstEna", true);
      file = settings->ReadString(kVstSection, "VstPlugFile", "");
    }
  } catch (...) {
  }
  view_.SetEnabledChecked(enabled);
  try {
    view_.EnsureFolder(programFolder_ + kVstPresetFolder);
    if (!file.empty() && view_.FileExists(file)) LoadFVst(file);
  } catch (...) {
  }
  return place;
}

void TVstWindowController::FormDestroy(ISettingsStore* settings, int left, int top) {
  try {
    if (settings) {
      settings->WriteInteger(kVstSection, "Left", left);
      settings->WriteInteger(kVstSection, "Top", top);
      settings->WriteString(kVstSection, "VstPlugFile", loaded_ ? plugInPath_ : std::string());
      settings->WriteBool(kVstSection, "VstEna", view_.EnabledChecked());
    }
  } catch (...) {
  }
  if (!loaded_) return;
  try {
    WhilePassHeld([&] { slot_.SavePreset(PresetFile()); });
  } catch (...) {
  }
  // The editor's window is a child of this window, which goes before the
  // host does: the plug-in closes its editor while its parent exists.
  try {
    slot_.CloseEditor();
  } catch (...) {
  }
}

void TVstWindowController::WriteVisible(ISettingsStore* settings, bool visible) {
  try {
    if (settings) settings->WriteBool(kVstSection, "Visible", visible);
  } catch (...) {
  }
}

}  // namespace tav::player
