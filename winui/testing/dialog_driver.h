// Driving real dialogs from a test with window messages, as a person would with mouse and keys:
// finding the windows a program shows, clicking buttons, reading and answering message boxes, and
// saving a picture of what is on the screen.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace quillet::winui::testing {

// Polls `find` until it returns a window or `ms` pass; null then.
HWND WaitForWindow(const std::function<HWND()>& find, int ms = 15000);
// A visible top-level window of process `processId` (0: any) with the class and, when given, the
// title, other than `except`.
HWND FindTopWindow(DWORD processId, const wchar_t* className, const wchar_t* title, HWND except = nullptr);
// A dialog (class "#32770") owned by `owner`; null when there is none.
HWND FindOwnedDialog(HWND owner);

// Posts a button click (BN_CLICKED) from item `id` to its dialog; the dialog handles it when its loop
// runs, so a message box it then shows does not block the caller.
void PostClick(HWND dialog, int id);
// Replaces an item's text, as typing would (the item reports the change to its dialog).
void SetItemText(HWND dialog, int id, std::u16string_view text);
std::u16string ItemText(HWND dialog, int id);
std::u16string Text(HWND window);

// The text of a message box, and answering it with one of its buttons (IDOK, IDYES, ...).
std::u16string MessageBoxText(HWND box);
void AnswerMessageBox(HWND box, int button);
// Waits for a message box owned by `owner`, returns its text and answers it with OK; empty when no
// box came within `ms`.
std::u16string ExpectMessageBox(HWND owner, int ms = 15000);

// Lets a window that was just shown or changed finish painting (its thread must run its loop).
void SettlePainting(HWND window);

// Saves the screen pixels under `window` as a PNG file in the pictures folder (created when needed):
// <build>/pictures/<name>.png. Returns the file's path, empty on failure.
std::u16string SavePicture(HWND window, std::u16string_view name);

}  // namespace quillet::winui::testing
