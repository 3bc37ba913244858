#include "quillsvc/settings/dict_page_model.h"

#include "quillsvc/settings/module_paths.h"
#include "quillsvc/settings/section_snapshot.h"

namespace quillet::settings {

std::u16string DictPageModel::FullPath(size_t p) const {
  if (p >= count()) return u"";
  return AbsoluteFromModule(moduleFile_, StoredPath(p));
}

std::optional<Notice> DictPageModel::CheckAdd() const {
  if (s_.rawDictionaryCount() >= kMaxDictionaries) {
    return Notice{std::u16string(kTooManyDictionariesText), NoticeIcon::kWarning};
  }
  return std::nullopt;
}

int DictPageModel::FindFile(std::u16string_view fullPath) const {
  for (size_t i = 0; i < count(); ++i) {
    // Compared by the file they name, so "english.dict" and ".\English.dict" are the same.
    const std::u16string listed = FullPath(i);
    if (!listed.empty() && SamePath(listed, fullPath)) return static_cast<int>(i);
  }
  return -1;
}

std::optional<Notice> DictPageModel::StoredForm(std::u16string_view chosenFile, std::u16string* relative) const {
  const RelativePath r = RelativeToModule(moduleFile_, chosenFile);
  switch (r.status) {
    case RelativeStatus::kOk:
      *relative = r.path;
      return std::nullopt;
    case RelativeStatus::kOtherRoot:
      return Notice{std::u16string(kOtherDriveText), NoticeIcon::kWarning};
    case RelativeStatus::kTooLong:
      return Notice{std::u16string(kPathTooLongText), NoticeIcon::kWarning};
    case RelativeStatus::kNotAbsolute:
      break;
  }
  return Notice{std::u16string(kNotAFileText), NoticeIcon::kWarning};
}

DictPageModel::ChoiceOutcome DictPageModel::Add(std::u16string_view chosenFile) {
  ChoiceOutcome out;
  if (std::optional<Notice> full = CheckAdd()) {
    out.notice = *full;
    return out;
  }
  std::u16string relative;
  if (std::optional<Notice> refused = StoredForm(chosenFile, &relative)) {
    out.notice = *refused;
    return out;
  }
  const int listed = FindFile(AbsoluteFromModule(moduleFile_, relative));
  if (listed >= 0) {
    out.kind = ChoiceOutcome::Kind::kAlreadyListed;
    out.position = static_cast<size_t>(listed);
    out.notice = Notice{std::u16string(kAlreadyListedText), NoticeIcon::kWarning};
    return out;
  }
  if (!AddDictionary(s_, relative)) {
    out.notice = Notice{std::u16string(kPathTooLongText), NoticeIcon::kWarning};
    return out;
  }
  Mark(true);
  out.kind = ChoiceOutcome::Kind::kStored;
  out.position = count() - 1;
  return out;
}

DictPageModel::ChoiceOutcome DictPageModel::Browse(size_t p, std::u16string_view chosenFile) {
  ChoiceOutcome out;
  if (p >= count()) {
    out.notice = Notice{std::u16string(kNotAFileText), NoticeIcon::kWarning};
    return out;
  }
  std::u16string relative;
  if (std::optional<Notice> refused = StoredForm(chosenFile, &relative)) {
    out.notice = *refused;
    return out;
  }
  // The selected dictionary's own file counts as listed too: choosing it again changes nothing.
  if (FindFile(AbsoluteFromModule(moduleFile_, relative)) >= 0) {
    out.kind = ChoiceOutcome::Kind::kAlreadyListed;
    out.position = p;
    out.notice = Notice{std::u16string(kAlreadyListedText), NoticeIcon::kWarning};
    return out;
  }
  const SectionSnapshot before(s_, kDictionariesSection);
  Dictionary(p).SetPath(relative);
  Mark(before.Changed());
  out.kind = ChoiceOutcome::Kind::kStored;
  out.position = p;
  return out;
}

bool DictPageModel::Remove(size_t p) { return Mark(RemoveDictionary(s_, p)); }

bool DictPageModel::Rename(size_t p, std::u16string_view name) {
  if (p >= count()) return false;
  const SectionSnapshot before(s_, kDictionariesSection);
  Dictionary(p).SetName(name);
  return Mark(before.Changed());
}

bool DictPageModel::SetDescription(size_t p, std::u16string_view description) {
  if (p >= count()) return false;
  const SectionSnapshot before(s_, kDictionariesSection);
  Dictionary(p).SetDescription(description);
  return Mark(before.Changed());
}

ApplyDecision DictPageModel::Apply() {
  ApplyDecision d;
  if (count() == 0) {
    d.refused = true;
    d.notice = Notice{std::u16string(kNoDictionariesText), NoticeIcon::kError};
    return d;
  }
  d.commit = changed_;
  changed_ = false;
  return d;
}

}  // namespace quillet::settings
