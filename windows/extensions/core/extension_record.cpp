#include "windows/extensions/core/extension_record.h"

namespace gantry {

std::int32_t RecordFarm(bool readSucceeded, std::uint32_t type, std::size_t byteCount, std::uint32_t value) {
  if (!readSucceeded || type != kRegistryDword || byteCount != 4) return kRecordWithoutFarm;
  return static_cast<std::int32_t>(value);
}

bool RestoresRecord(std::int32_t farmId, std::int32_t recordFarm) {
  return farmId == 0 || recordFarm == farmId || recordFarm == kRecordWithoutFarm;
}

namespace {
std::u16string_view DeliveredUnits(const ValueRead& read) {
  std::size_t units = read.byteCount / 2;
  if (units > read.units.size()) units = read.units.size();
  return std::u16string_view(read.units.data(), units);
}
}  // namespace

std::u16string ShortcutBackupText(const ValueRead& read) {
  if (!read.succeeded) return {};
  const std::u16string_view units = DeliveredUnits(read);
  return std::u16string(units.substr(0, units.find(u'\0')));
}

std::optional<std::u16string> BackupStringText(const ValueRead& read) {
  if (!read.succeeded) return std::nullopt;
  if (read.type != kRegistryString && read.type != kRegistryExpandableString) return std::nullopt;
  if (read.byteCount == 0) return std::u16string();
  if (read.byteCount % 2 != 0) return std::nullopt;
  const std::u16string_view units = DeliveredUnits(read);
  if (units.size() * 2 != read.byteCount || units.back() != u'\0') return std::nullopt;
  return std::u16string(units.substr(0, units.find(u'\0')));
}

StepOutcome ClassifyRestoreStep(RestoreStep step, std::uint32_t result) {
  if (result == 0) return StepOutcome::Done;
  switch (step) {
    case RestoreStep::DeleteExtensionClass:
    case RestoreStep::DeleteClientClass:
      if (result == kErrorFileNotFound) return StepOutcome::Done;
      break;
    case RestoreStep::OpenExplorer:
      if (result == kErrorFileNotFound) return StepOutcome::NothingToRestore;
      break;
    case RestoreStep::ReadApplication:
      if (result == kErrorFileNotFound || result == kErrorMoreData || result == kErrorInvalidData) {
        return StepOutcome::NothingToRestore;
      }
      break;
    default:
      break;
  }
  return StepOutcome::Failed;
}

bool RecordRestoration::Note(RestoreStep step, std::uint32_t result) {
  if (ended_) return false;
  switch (ClassifyRestoreStep(step, result)) {
    case StepOutcome::Done:
      return true;
    case StepOutcome::NothingToRestore:
      ended_ = true;
      return false;
    case StepOutcome::Failed:
      if (failure_ == 0) failure_ = result;
      ended_ = step != RestoreStep::WriteClassDefault && step != RestoreStep::DeleteExtensionClass;
      return !ended_;
  }
  return false;
}

}  // namespace gantry
