// The module's own window classes and the windows made of them.
//
// A plug-in library is loaded, freed and loaded again by its host, perhaps at
// another address, and a library's classes outlive it unless it unregisters
// them. So the toolkit registers its classes under the module's instance when
// a window of them is made, keeps a list of the windows whose procedure lies
// in the module, and unregisters the classes as soon as the last of those
// windows is gone. Nothing of this runs while the library loads or unloads:
// a library whose windows are freed before it is (the plug-in's Quit) leaves
// nothing to do under the loader lock.
#pragma once
#include <windows.h>

namespace tav {

// Registers the class under the module's instance unless this module has it
// registered now. A registration left behind under the same instance (an
// earlier copy of the library at this address that never unregistered) is
// replaced, so the class always runs this copy's procedure.
void UseModuleClass(const wchar_t* name, WNDPROC proc, UINT style = 0);

// A window whose procedure lies in the module: of one of its classes, or a
// standard window it subclassed (restore: the procedure to put back).
void ModuleWindowCreated(HWND window, WNDPROC restore = nullptr);
void ModuleWindowDestroyed(HWND window);

// Unregisters the module's classes once none of its windows is left; called
// after a window of the module has been destroyed.
void ReleaseModuleClasses();

// How many windows of the module exist now.
size_t ModuleWindowCount();

}  // namespace tav
