// The rules of the "Dictionary" settings page over the sheet's private settings record: adding a
// dictionary file, pointing one at another file, removing and renaming, descriptions, and the check
// on Apply. Paths are stored relative to the text service's folder and shown in full; a file that
// cannot be stored so that it is found again (another drive, a path too long) is refused with a
// notice instead of storing a path that names another file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/settings_record.h"
#include "quillsvc/settings/notice.h"

namespace quillet::settings {

class DictPageModel {
 public:
  // `moduleFile`: the full file name of the text service; stored paths are relative to its folder.
  DictPageModel(SettingsView settings, std::u16string moduleFile) : s_(settings), moduleFile_(std::move(moduleFile)) {}

  size_t count() const { return s_.dictionaryCount(); }
  std::u16string Name(size_t p) const { return Dictionary(p).name(); }
  std::u16string StoredPath(size_t p) const { return Dictionary(p).path(); }
  // What "Path:" shows: the full form of the stored path (empty when it cannot be formed).
  std::u16string FullPath(size_t p) const;
  std::u16string Description(size_t p) const { return Dictionary(p).description(); }

  // "Add" before any file is chosen: a notice when the list is full.
  std::optional<Notice> CheckAdd() const;

  struct ChoiceOutcome {
    enum class Kind {
      kStored,         // added (or, for Browse, pointed at the file) at `position`
      kAlreadyListed,  // the file is on the list already, at `position`; notice set
      kRefused,        // full list, another drive, a path too long; notice set
    };
    Kind kind = Kind::kRefused;
    size_t position = 0;
    Notice notice;
  };
  // A file chosen for "Add": appended with its file name (without folder and extension) as its name.
  ChoiceOutcome Add(std::u16string_view chosenFile);
  // A file chosen for "Browse..." of dictionary p: its path changes, its name stays.
  ChoiceOutcome Browse(size_t p, std::u16string_view chosenFile);

  // Removes dictionary p; tabs that used it move to the dictionary that is first afterwards. The last
  // one may go too (Apply then refuses until one is added).
  bool Remove(size_t p);
  bool Rename(size_t p, std::u16string_view name);                 // at most 15 characters
  bool SetDescription(size_t p, std::u16string_view description);  // at most 255 characters

  // Apply: refuses an empty list; otherwise commits when anything changed since the last commit.
  ApplyDecision Apply();
  void CommitFailed() { changed_ = true; }
  bool changed() const { return changed_; }

 private:
  DictionaryRecord Dictionary(size_t p) const { return s_.dictionary(p < count() ? p : kMaxDictionaries); }
  bool Mark(bool changed) {
    changed_ = changed_ || changed;
    return changed;
  }
  // The list position of a dictionary naming the same file as `fullPath`, or -1.
  int FindFile(std::u16string_view fullPath) const;
  // The stored form of a chosen file, or a refusal.
  std::optional<Notice> StoredForm(std::u16string_view chosenFile, std::u16string* relative) const;

  SettingsView s_;
  std::u16string moduleFile_;
  bool changed_ = false;
};

inline constexpr std::u16string_view kTooManyDictionariesText = u"Can not add more dictionary.";
inline constexpr std::u16string_view kAlreadyListedText = u"This dictionary is already on list.";
inline constexpr std::u16string_view kNoDictionariesText = u"Must add at least one dictionary.";
inline constexpr std::u16string_view kOtherDriveText =
    u"This dictionary is on another drive than Quillet. Copy the file to the drive Quillet is installed on, "
    u"then choose it there.";
inline constexpr std::u16string_view kPathTooLongText =
    u"The path of this dictionary is too long. Move the file to a folder with a shorter path, then choose it "
    u"there.";
inline constexpr std::u16string_view kNotAFileText = u"This file can not be used as a dictionary.";

}  // namespace quillet::settings
