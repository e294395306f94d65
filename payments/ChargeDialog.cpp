#include "payments/ChargeDialog.h"

#include <cstdio>

namespace tolmi {

std::string ChargeDialogTitle(std::string_view gatewayName) {
  return "Online Transaction Processing - " + std::string(gatewayName);
}

std::vector<std::string> ExpiryMonths() {
  std::vector<std::string> months;
  char text[8];
  for (int m = 1; m <= 12; ++m) {
    std::snprintf(text, sizeof text, "%02i", m);
    months.emplace_back(text);
  }
  return months;
}

std::vector<std::string> ExpiryYears(std::time_t now) {
  std::tm local{};
  int year = 2000;
  if (localtime_r(&now, &local)) year = local.tm_year + 1900;
  std::vector<std::string> years;
  for (int y = year; y <= year + 15; ++y) years.push_back(std::to_string(y));
  return years;
}

ChargeDialogModel OpenChargeDialog(bool forOrder) {
  return {ChargeDialogState::Idle, forOrder};
}

bool ChargeInputsEnabled(const ChargeDialogModel& model) {
  return model.forOrder && model.state == ChargeDialogState::Idle;
}

bool BeginCharge(ChargeDialogModel& model) {
  if (!ChargeInputsEnabled(model)) return false;
  model.state = ChargeDialogState::Working;
  return true;
}

void FinishCharge(ChargeDialogModel& model, ChargeVerdict verdict) {
  if (model.state != ChargeDialogState::Working) return;
  switch (verdict) {
    case ChargeVerdict::Approved: model.state = ChargeDialogState::Approved; break;
    case ChargeVerdict::Rejected: model.state = ChargeDialogState::Rejected; break;
    case ChargeVerdict::NoReply: model.state = ChargeDialogState::Error; break;
  }
}

void CancelCharge(ChargeDialogModel& model) { model.state = ChargeDialogState::Canceled; }

std::string_view ChargeStatusText(ChargeDialogState state) {
  switch (state) {
    case ChargeDialogState::Idle: return "";
    case ChargeDialogState::Working: return "Working";
    case ChargeDialogState::Approved: return "Approved";
    case ChargeDialogState::Rejected: return "Rejected";
    case ChargeDialogState::Error: return "Error";
    case ChargeDialogState::Canceled: return "Canceled";
  }
  return "";
}

ChargeStatusColour ChargeStatusColourOf(ChargeDialogState state) {
  switch (state) {
    case ChargeDialogState::Approved: return ChargeStatusColour::Green;
    case ChargeDialogState::Rejected:
    case ChargeDialogState::Error: return ChargeStatusColour::Red;
    default: return ChargeStatusColour::Plain;
  }
}

std::string WorkingFrame(int tick) {
  if (tick < 0) tick = 0;
  return "Working" + std::string(static_cast<std::size_t>(tick % 6), '.');
}

}  // namespace tolmi
