// The VST window's behaviour apart from its controls: loading one VST 2
// effect plug-in into item 0 of the player's VST host and unloading it again,
// the window's caption and client size from the plug-in's editor, the
// program items, the "启用" switch, fxp import and export, the automatic
// preset file per plug-in, the settings section "FormVST", the sample rate of
// a new stream and the faults the plug-in reports. The window hands in what
// it shows, the host's item and the engine's pass flags through three
// interfaces. Paths are UTF-8.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "player/core/settings_store.h"

namespace tav::player {

inline constexpr const char* kVstSection = "FormVST";
inline constexpr int kVstDesignLeft = 192, kVstDesignTop = 107;
inline constexpr const char* kVstEmptyCaption = "VST 音效插件宿主";
// The client of the window without a plug-in.
inline constexpr int kVstEmptyClientWidth = 267, kVstEmptyClientHeight = 114;
// What the unload waits before it touches the plug-in, in milliseconds.
inline constexpr int kVstUnloadWaitMs = 200;
inline constexpr double kVstLoadTempo = 120.0;
inline constexpr const char* kVstPresetFolder = "PluginCfg";
inline constexpr const char* kVstPresetExtension = ".fprest";

// The editor's rectangle as the plug-in gives it (16-bit values).
struct TVstEditorRect {
  int16_t top = 0, left = 0, bottom = 0, right = 0;
};

struct TVstClientSize {
  int Width = 0, Height = 0;
};

// "VST 插件: " + vendor + " - " + effect name.
std::string VstCaption(std::string_view vendor, std::string_view effectName);
// The client for an editor: its rectangle, but never smaller than the empty
// window's client (267 x 114), so that a plug-in without an editor or with a
// small one leaves the caption and both menus in view.
TVstClientSize VstClientSize(const TVstEditorRect& rect);
// The client for a size the editor asks for itself (the same minimum).
TVstClientSize VstRequestedClientSize(int width, int height);
// A program item: the number with at least three digits, " - ", the name.
std::string VstProgramItemText(int program, std::string_view name);
// An export target: ".fxp" appended unless the name already ends in ".fxp"
// (letter case counts).
std::string VstFxpExportName(std::string_view chosen);
// The plug-in's preset file: programFolder (ending in a separator) +
// "PluginCfg\" + the plug-in file's name with its extension + ".fprest".
std::string VstPresetFileName(std::string_view programFolder, std::string_view plugInPath);

// Item 0 of the player's VST host, as the window drives it. Failures raise
// exceptions whose what() is the text for the user (UTF-8).
class IVstPlugInSlot {
 public:
  virtual ~IVstPlugInSlot() = default;
  // Adds an empty item when the host has none.
  virtual void EnsureItem() = 0;
  // Sets the item's file and opens the plug-in; raises when that fails.
  virtual void Open(const std::string& path) = 0;
  // The item exists and its plug-in is open.
  virtual bool IsOpen() = 0;
  // The engine's pass drives the open plug-in from now on (VstActive still clear).
  virtual void AttachPass() = 0;
  virtual void LoadPreset(const std::string& file) = 0;
  virtual void SavePreset(const std::string& file) = 0;
  // Opens the editor inside the window; the exception code of a fault inside
  // the plug-in's editor while it opened, 0 when there was none.
  virtual unsigned EditOpen() = 0;
  // The plug-in writes its rectangle into `rect` when it has one.
  virtual void EditGetRect(TVstEditorRect& rect) = 0;
  virtual std::string VendorString() = 0;
  virtual std::string EffectName() = 0;
  virtual int32_t NumPrograms() = 0;
  virtual void SetProgram(int32_t program) = 0;
  virtual std::string ProgramName() = 0;
  virtual void SetTempo(double tempo) = 0;
  // effIdle (when the plug-in asked for it) and effEditIdle (while its editor is open).
  virtual void Idle() = 0;
  virtual void CloseEditor() = 0;
  // The engine's pass lets go of the plug-in; the editor and the plug-in are
  // closed and item 0 is freed (the library unloads).
  virtual void Release() = 0;
  // The host's sample rate changes: every open plug-in is suspended, told
  // the rate and resumed. False when it was the rate already.
  virtual bool ChangeSampleRate(float rate) = 0;
  // The exception code of the first fault inside the plug-in's processing
  // since it was attached; 0 while there was none.
  virtual unsigned PassFault() = 0;
};

// The engine's flags of the VST pass and the waits around them.
class IVstPassFlags {
 public:
  virtual ~IVstPassFlags() = default;
  virtual bool Active() = 0;
  virtual void SetActive(bool on) = 0;
  virtual void SetEnabled(bool on) = 0;
  virtual void Sleep(int ms) = 0;
  // Waits, bounded, for a block inside the plug-in (VstActive clear). True
  // when none is.
  virtual bool WaitIdle() = 0;
};

// What the VST window shows and the few things it asks the platform.
class IVstWindowView {
 public:
  virtual ~IVstWindowView() = default;
  virtual void SetCaption(const std::string& utf8) = 0;
  virtual void SetClientSize(int width, int height) = 0;
  virtual void ClearPrograms() = 0;
  virtual void AddProgram(const std::string& utf8) = 0;
  virtual int ProgramItemCount() = 0;
  virtual void SetProgramChecked(int index, bool checked) = 0;
  virtual bool EnabledChecked() = 0;
  virtual void SetEnabledChecked(bool checked) = 0;
  virtual void SetIdleTimer(bool on) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Creates the folder when it does not exist (raises when it cannot).
  virtual void EnsureFolder(const std::string& path) = 0;
  // An error box owned by the window, as the toolkit shows a failure.
  virtual void ShowError(const std::string& utf8) = 0;
};

// Texts of the faults the window tells.
inline constexpr char kVstEditorFaultText[] =
    "VST插件的编辑器在打开时出错,无法显示。插件仍可处理声音。";
inline constexpr char kVstProcessFaultText[] = "VST插件在处理声音时出错,已停用。请关闭这个插件。";

class TVstWindowController {
 public:
  // programFolder: the folder of the program, ending in a separator (UTF-8).
  TVstWindowController(IVstPlugInSlot& slot, IVstPassFlags& flags, IVstWindowView& view,
                       std::string programFolder)
      : slot_(slot), flags_(flags), view_(view), programFolder_(std::move(programFolder)) {}

  bool Loaded() const { return loaded_; }
  const std::string& PlugInPath() const { return plugInPath_; }
  int32_t ProgramCount() const { return programCount_; }
  const TVstEditorRect& EditorRect() const { return editorRect_; }
  std::string PresetFile() const { return VstPresetFileName(programFolder_, plugInPath_); }

  // Loads the plug-in at path (unloading the one held first). A failure to
  // open raises with the host's text; the flags stay as they were.
  void LoadFVst(const std::string& path);
  // "关闭VST插件". The unload always runs to its end; a preset that could
  // not be saved raises afterwards.
  void VSTUnClick();
  // A program choice, an fxp import or export, a new rate and the save at
  // the end reach the plug-in while no block runs through it.
  // A program item (index into the program menu).
  void ProgramClick(int index);
  // "启用" after the check changed.
  void VSTEnaClick();
  // The idle timer (18 ms); tells a processing fault once.
  void Timer1Timer();
  // "导入参数文件.." / "导出参数文件.." with the chosen file (none: cancelled);
  // nothing while the pass is off.
  bool CanUseFxp() { return flags_.Active(); }
  void ImportFxp(const std::string& file);
  void ExportFxp(const std::string& chosen);
  // A stream of `rate` starts (GUI thread): the plug-in is told the rate.
  void StreamStarting(float rate);
  // The editor asks for a client of this size: the window takes it.
  bool EditorSizeRequest(int width, int height);

  // Create and destroy handlers: the settings, the folder, the reload at
  // start and the save and the editor's close at the end. Their failures
  // stay silent.
  // Create reads "Left", "Top", "Visible" and "VstEna" (the check is set
  // here; the window takes the place and the visibility it answers), then
  // makes "PluginCfg" and loads "VstPlugFile" with its preset.
  struct TPlace {
    int Left = kVstDesignLeft, Top = kVstDesignTop;
    bool Visible = false;
  };
  TPlace FormCreate(ISettingsStore* settings);
  void FormDestroy(ISettingsStore* settings, int left, int top);
  // "Visible" when the window is shown (its visibility) or closed (false).
  void WriteVisible(ISettingsStore* settings, bool visible);

 private:
  // The unload; the exception of a preset that could not be saved.
  std::exception_ptr Unload();
  // Makes `call` into the plug-in while no block runs through it: the pass
  // off, the block inside the plug-in waited for, the call, the pass on again
  // as it was (also when the call raises). False, the call not made and the
  // pass left off, when a block is still inside after the bounded wait.
  bool WhilePassHeld(const std::function<void()>& call);

  IVstPlugInSlot& slot_;
  IVstPassFlags& flags_;
  IVstWindowView& view_;
  std::string programFolder_;
  bool loaded_ = false;
  std::string plugInPath_;
  TVstEditorRect editorRect_;
  int32_t programCount_ = 0;
  bool faultTold_ = false;
};

}  // namespace tav::player
